// The simulated files: file handles with Windows' sharing rules among the handles and streams
// that hold a file, what a handle tells of its file, and renaming or deleting through a handle.
// Simulated machine only.
#include "platform/sim/files_internal.h"

#include <fcntl.h>

#include <cerrno>
#include <cstddef>
#include <memory>

#include "platform/host/call_layer.h"
#include "platform/text/ansi.h"

namespace plat::sim {
namespace fs = std::filesystem;
using namespace files_detail;
namespace {

// What an access right does to a file, in the bits of the sharing rules (FILE_SHARE_READ for
// reading, _WRITE for writing or appending, _DELETE for deleting or renaming).
DWORD SharingBits(DWORD access) {
    DWORD bits = 0;
    if (access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA | FILE_EXECUTE)) bits |= FILE_SHARE_READ;
    if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) bits |= FILE_SHARE_WRITE;
    if (access & (DELETE | GENERIC_ALL)) bits |= FILE_SHARE_DELETE;
    return bits;
}

// Whether a handle may only append: it has the right to append data but not the right to write it
// anywhere (which GENERIC_WRITE and GENERIC_ALL carry). Windows then puts every write at the end of
// the file, whatever the file position or the offset given.
bool AppendsOnly(DWORD access) {
    return (access & FILE_APPEND_DATA) && !(access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA));
}

FILETIME ToFileTime(const struct timespec& t) {
    constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ull;
    const uint64_t ticks = (static_cast<uint64_t>(t.tv_sec) + kSecondsFrom1601To1970) * 10000000ull +
                           static_cast<uint64_t>(t.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

std::vector<SimFiles::Holder> SimFiles::HoldersOf(const HostFileId& id) const {
    std::vector<Holder> holders;
    // A stream made on a descriptor holds its file through the descriptor's file handle.
    for (const auto& [stream, file] : streams_)
        if (file.descriptor < 0 && file.id == id) holders.push_back(Holder{file.access, file.share});
    for (const auto& [value, file] : files_open_)
        if (file->id == id) holders.push_back(Holder{file->access, file->share});
    return holders;
}

bool SimFiles::SharingConflict(const HostFileId& id, DWORD access, DWORD share) const {
    for (const Holder& holder : HoldersOf(id))
        if ((access & ~holder.share) || (holder.access & ~share)) return true;
    return false;
}

bool SimFiles::HeldAgainstDeletion(const HostFileId& id) const {
    for (const Holder& holder : HoldersOf(id))
        if (!(holder.share & FILE_SHARE_DELETE)) return true;
    return false;
}

// Opens a file as CreateFileA does, with Windows' sharing rules among the handles and streams open
// on it. Without FILE_FLAG_OPEN_REPARSE_POINT a symbolic link is followed (and a link that leads
// nowhere has its target made, by the dispositions that create); with it the link is opened as
// itself. A folder, or a link to one, opens only with FILE_FLAG_BACKUP_SEMANTICS, which the
// simulated machine does not model.
HANDLE SimFiles::CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                             DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    const std::string name = lpFileName ? lpFileName : "";
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        system_.SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto host = ResolveExistingFolder(name);
    if (!host) return INVALID_HANDLE_VALUE;

    const bool as_itself = (dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
    const bool name_exists = NameExists(*host);
    const bool link = IsSymbolicLink(*host);
    const bool opens_link = link && as_itself;
    // What the open reaches: the name itself, or what a followed link leads to.
    const bool target_exists = link && !as_itself ? IdOf(*host, true).has_value() : name_exists;

    if (dwCreationDisposition == CREATE_NEW && name_exists) {
        system_.SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (target_exists && IsFolderOrFolderLink(*host)) {
        if (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) {
            plat::host::Layer().NoteNotModelled("CreateFileA of a folder");
            system_.SetLastError(plat::host::kNotModelled);
        } else {
            system_.SetLastError(ERROR_ACCESS_DENIED);
        }
        return INVALID_HANDLE_VALUE;
    }
    if (!target_exists && (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING)) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    const DWORD access = SharingBits(dwDesiredAccess);
    const bool truncates = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
    const bool changes = (access & (FILE_SHARE_WRITE | FILE_SHARE_DELETE)) || truncates || !target_exists;
    if (changes && IsReadOnly(name)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const DWORD share = dwShareMode & (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (target_exists && SharingConflict(*IdOf(*host, !as_itself), access, share)) {
        system_.SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }

    auto file = std::make_shared<OpenFile>();
    file->name = name;
    file->host = *host;
    file->access = access;
    file->share = share;
    file->append_only = AppendsOnly(dwDesiredAccess);
    if (opens_link) {
        file->link = true;
        file->id = *IdOf(*host, false);
    } else {
        int flags = O_CLOEXEC | (as_itself ? O_NOFOLLOW : 0);
        const bool reads = (access & FILE_SHARE_READ) != 0;
        const bool writes = (access & FILE_SHARE_WRITE) != 0 || truncates;
        flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
        if (file->append_only) flags |= O_APPEND;
        switch (dwCreationDisposition) {
            case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
            case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
            case OPEN_ALWAYS: flags |= O_CREAT; break;
            case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
            default: break;
        }
        file->fd = ::open(host->c_str(), flags, 0644);
        if (file->fd < 0) {
            system_.SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS
                                 : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                                   : ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        struct stat st {};
        ::fstat(file->fd, &st);
        file->id = HostFileId{st.st_dev, st.st_ino};
    }
    const uintptr_t value = handles_.Add(HandleKind::File, file, name);
    files_open_[value] = file;
    // The two dispositions that may open or create tell which they did.
    const bool opened_existing = target_exists && (dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS);
    system_.SetLastError(opened_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<SimFiles::OpenFile> SimFiles::FindFile(HANDLE handle) const {
    auto it = files_open_.find(reinterpret_cast<uintptr_t>(handle));
    return it == files_open_.end() ? nullptr : it->second;
}

BOOL SimFiles::GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
    auto file = FindFile(hFile);
    if (!file) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFileInformation) {
        system_.SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    struct stat st {};
    if ((file->link ? ::lstat(file->host.c_str(), &st) : ::fstat(file->fd, &st)) != 0) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    info.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | (file->link ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
    const Drive* drive = DriveOf(file->name);
    if (drive && drive->type == DRIVE_CDROM) info.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    info.ftCreationTime = ToFileTime(st.st_ctim);
    info.ftLastAccessTime = ToFileTime(st.st_atim);
    info.ftLastWriteTime = ToFileTime(st.st_mtim);
    info.dwVolumeSerialNumber = drive ? drive->serial : 0;
    const uint64_t size = file->link ? 0 : static_cast<uint64_t>(st.st_size);
    info.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info.nFileSizeLow = static_cast<DWORD>(size);
    info.nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    const uint64_t index = static_cast<uint64_t>(st.st_ino);
    info.nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info.nFileIndexLow = static_cast<DWORD>(index);
    *lpFileInformation = info;
    return TRUE;
}

// Renames an open file or marks it for deletion when its last handle closes; both need the handle
// to have been opened with DELETE access. A new name is a full path in the native form the call
// takes ("\??\C:\..."); other forms are not modelled.
BOOL SimFiles::SetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                          LPVOID lpFileInformation, DWORD dwBufferSize) {
    auto file = FindFile(hFile);
    if (!file) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (FileInformationClass != FileRenameInfo && FileInformationClass != FileDispositionInfo) {
        plat::host::Layer().NoteNotModelled("SetFileInformationByHandle of another class");
        system_.SetLastError(plat::host::kNotModelled);
        return FALSE;
    }
    if (!lpFileInformation) {
        system_.SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!(file->access & FILE_SHARE_DELETE)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (FileInformationClass == FileDispositionInfo) {
        if (dwBufferSize < sizeof(FILE_DISPOSITION_INFO)) {
            system_.SetLastError(ERROR_BAD_LENGTH);
            return FALSE;
        }
        file->delete_on_close = static_cast<const FILE_DISPOSITION_INFO*>(lpFileInformation)->DeleteFile != 0;
        return TRUE;
    }
    return RenameOpenFile(*file, *static_cast<const FILE_RENAME_INFO*>(lpFileInformation), dwBufferSize);
}

BOOL SimFiles::RenameOpenFile(OpenFile& file, const FILE_RENAME_INFO& info, DWORD size) {
    if (size < offsetof(FILE_RENAME_INFO, FileName) || info.FileNameLength % 2 != 0 ||
        size < offsetof(FILE_RENAME_INFO, FileName) + info.FileNameLength) {
        system_.SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string native =
        text::Utf16ToAnsiLossy(std::u16string_view(info.FileName, info.FileNameLength / 2));
    const std::string prefix = "\\??\\";
    const std::string to_name = native.compare(0, prefix.size(), prefix) == 0 ? native.substr(prefix.size()) : "";
    if (info.RootDirectory || !HasDrive(to_name) || to_name.size() < 3 || to_name[2] != '\\') {
        plat::host::Layer().NoteNotModelled("SetFileInformationByHandle with a name other than \\??\\ and a full path");
        system_.SetLastError(plat::host::kNotModelled);
        return FALSE;
    }
    auto to = ResolveExistingFolder(to_name);
    if (!to) return FALSE;
    if (!MoveName(file.host, file.name, file.id, *to, to_name, info.ReplaceIfExists != 0)) return FALSE;
    file.host = *to;
    file.name = to_name;
    return TRUE;
}

bool SimFiles::CloseFileHandle(uintptr_t value) {
    auto it = files_open_.find(value);
    if (it == files_open_.end()) return false;
    std::shared_ptr<OpenFile> file = it->second;
    files_open_.erase(it);
    handles_.Remove(value, HandleKind::File);
    for (auto d = descriptors_.begin(); d != descriptors_.end();)
        d = d->second == value ? descriptors_.erase(d) : std::next(d);
    if (file->delete_on_close) {
        // The file goes with its last handle; until then the mark passes to another one.
        for (auto& [other_value, other] : files_open_) {
            if (other->id == file->id) {
                other->delete_on_close = true;
                return true;
            }
        }
        if (IdOf(file->host, false) == std::optional<HostFileId>(file->id)) {
            std::error_code ec;
            fs::remove(file->host, ec);
        }
    }
    return true;
}

}  // namespace plat::sim
