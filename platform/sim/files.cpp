// The simulated files and drives. Simulated machine only.
#include "platform/sim/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/host/call_layer.h"
#include "platform/sim/wildcard.h"
#include "platform/text/ansi.h"
#include "platform/text/names.h"

namespace plat::sim {
namespace fs = std::filesystem;
namespace {

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    if (path.size() < folder.size()) return false;
    if (!text::EqualNames(std::string_view(path).substr(0, folder.size()), folder)) return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
}

char DriveLetter(const std::string& path) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
}

bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// Windows drops trailing dots and blanks from the last name of a path.
std::string TrimTrailingDotsAndBlanks(std::string name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// A search in progress: the entries found, handed out one by one.
struct FindState {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

// File systems: NTFS on every drive but a CD's, as Windows formats them.
struct Volume {
    const char* file_system;
    DWORD max_component;
    DWORD flags;
};

Volume VolumeOf(const Drive& drive) {
    if (drive.type == DRIVE_CDROM) return Volume{"CDFS", 221, FILE_READ_ONLY_VOLUME | FILE_UNICODE_ON_DISK};
    // Case-sensitive search, case-preserved and Unicode names, ACLs, compression, quotas, sparse
    // files, reparse points, object ids, encryption and named streams: NTFS as Windows reports it.
    return Volume{"NTFS", 255, 0x000700FF};
}

// What a name stands for on the host: with `follow`, what a symbolic link leads to; without, the
// link itself. Nothing when the name does not exist (or, followed, leads nowhere).
std::optional<HostFileId> IdOf(const fs::path& host, bool follow) {
    struct stat st {};
    if ((follow ? ::stat(host.c_str(), &st) : ::lstat(host.c_str(), &st)) != 0) return std::nullopt;
    return HostFileId{st.st_dev, st.st_ino};
}

// Whether a name exists at all: a symbolic link that leads nowhere exists as itself.
bool NameExists(const fs::path& host) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(host, ec));
}

bool IsSymbolicLink(const fs::path& host) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(host, ec));
}

// A folder, or a symbolic link to one (which Windows makes a folder that carries a reparse point).
bool IsFolderOrFolderLink(const fs::path& host) {
    std::error_code ec;
    return fs::is_directory(host, ec);
}

// The attributes Windows reports of a name: a symbolic link carries the reparse-point mark beside
// its kind.
DWORD AttributesOf(const fs::path& host) {
    DWORD attributes = IsFolderOrFolderLink(host) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (IsSymbolicLink(host)) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes;
}

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

// A stream's access by its mode, and its sharing by its _SH_ value (the C runtime never shares
// deletion).
DWORD StreamAccess(const std::string& mode) {
    if (mode.find('+') != std::string::npos) return FILE_SHARE_READ | FILE_SHARE_WRITE;
    return mode.find_first_of("wa") != std::string::npos ? FILE_SHARE_WRITE : FILE_SHARE_READ;
}

DWORD StreamShare(int shflag) {
    switch (shflag) {
        case _SH_DENYRW: return 0;
        case _SH_DENYWR: return FILE_SHARE_READ;
        case _SH_DENYRD: return FILE_SHARE_WRITE;
        default: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
}

FILETIME ToFileTime(const struct timespec& t) {
    constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ull;
    const uint64_t ticks = (static_cast<uint64_t>(t.tv_sec) + kSecondsFrom1601To1970) * 10000000ull +
                           static_cast<uint64_t>(t.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// A C runtime stream mode without the text-mode letter (the streams are binary on the host).
std::string HostMode(const char* mode) {
    std::string host_mode;
    for (const char* m = mode ? mode : ""; *m; ++m)
        if (*m != 't') host_mode += *m;
    return host_mode;
}

DWORD CopyOut(const std::string& text, DWORD capacity, LPSTR buffer) {
    if (!buffer || capacity < text.size() + 1) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

}  // namespace

// A file handle: the file it holds, by the name it is known by now (a rename through the handle
// changes it), and what it may do and lets others do.
struct SimFiles::OpenFile {
    std::string name;
    fs::path host;
    HostFileId id;
    int fd = -1;        // the host descriptor; -1 for a symbolic link opened as itself
    DWORD access = 0;   // in the bits of the sharing rules
    DWORD share = 0;
    bool link = false;  // a symbolic link opened as itself
    bool append_only = false;  // every write lands at the end (the host descriptor appends)
    bool delete_on_close = false;

    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
};

SimFiles::SimFiles(HandleTable& handles, SimSystem& system, fs::path c_drive_folder)
    : handles_(handles), system_(system) {
    fs::create_directories(c_drive_folder / "Windows" / "Temp");
    fs::create_directories(c_drive_folder / "Windows" / "TWAIN_32");
    fs::create_directories(c_drive_folder / "Windows" / "system32");
    AddDrive(Drive{'C', DRIVE_FIXED, "", 0x0C0FFEE0, c_drive_folder});
}

void SimFiles::AddDrive(Drive drive) {
    drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive.letter)));
    drives_[drive.letter] = std::move(drive);
}

std::optional<fs::path> SimFiles::HostPath(const std::string& windows_path) const {
    if (windows_path.size() < 2 || windows_path[1] != ':') return std::nullopt;
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(windows_path[0]))));
    if (it == drives_.end() || it->second.folder.empty()) return std::nullopt;
    const std::vector<std::string> parts = text::SplitPath(windows_path.substr(2), "\\/");
    // A path that is there exactly as written is the answer: every part of it exists as spelt.
    if (std::none_of(parts.begin(), parts.end(), [](const std::string& p) { return p == "." || p == ".."; })) {
        fs::path exact = it->second.folder;
        for (const std::string& part : parts) exact /= part;
        if (fs::exists(exact)) return exact;
    }
    // Else part by part: a part not there as spelt is looked for without regard to case, as long
    // as the folder it would be in exists.
    fs::path host = it->second.folder;
    bool exists = true;
    for (const std::string& part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (host != it->second.folder) host = host.parent_path();
            continue;
        }
        fs::path next = host / part;
        if (exists) {
            exists = fs::exists(next);
            if (!exists) {
                std::error_code ec;
                for (const auto& entry : fs::directory_iterator(host, ec)) {
                    if (text::EqualNames(entry.path().filename().string(), part)) {
                        next = entry.path();
                        exists = fs::exists(next);
                        break;
                    }
                }
            }
        }
        host = next;
    }
    return host;
}

std::optional<std::string> SimFiles::ReadFile(const std::string& windows_path) const {
    auto host = HostPath(windows_path);
    if (!host || !fs::is_regular_file(*host)) return std::nullopt;
    std::ifstream in(*host, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void SimFiles::WriteFile(const std::string& windows_path, const std::string& bytes) {
    auto host = HostPath(windows_path);
    if (!host) return;
    fs::create_directories(host->parent_path());
    std::ofstream out(*host, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool SimFiles::IsReadOnly(const std::string& windows_path) const {
    for (const std::string& folder : read_only_)
        if (StartsWithFolder(windows_path, folder)) return true;
    return false;
}

bool SimFiles::NotReady(const std::string& windows_path) {
    const Drive* drive = DriveOf(windows_path);
    if (!drive || !drive->folder.empty()) return false;
    system_.SetLastError(ERROR_NOT_READY);
    return true;
}

std::optional<fs::path> SimFiles::ResolveExistingFolder(const std::string& windows_path) {
    if (NotReady(windows_path)) return std::nullopt;
    auto host = HostPath(windows_path);
    if (!host || !fs::is_directory(host->parent_path())) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return host;
}

DWORD SimFiles::GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    return CopyOut(temp_path(), nBufferLength, lpBuffer);
}

UINT SimFiles::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) { return CopyOut(windows_dir(), uSize, lpBuffer); }

BOOL SimFiles::DeleteFileA(LPCSTR lpFileName) {
    std::string name = lpFileName ? lpFileName : "";
    auto host = ResolveExistingFolder(name);
    if (!host) return FALSE;
    if (!NameExists(*host)) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    // A symbolic link goes itself, never what it leads to; a link to a folder is a folder.
    if (IsFolderOrFolderLink(*host) || IsReadOnly(name)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (HeldAgainstDeletion(*IdOf(*host, false))) {
        system_.SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    fs::remove(*host);
    return TRUE;
}

// Removes an empty folder: a missing one gives 2 (3 when a folder on the way is missing), a file
// 267, a folder that still holds entries 145 (it stays), a drive's root or a protected folder 5.
// A symbolic link to a folder goes itself, whatever the folder holds.
BOOL SimFiles::RemoveDirectoryA(LPCSTR lpPathName) {
    std::string name = lpPathName ? lpPathName : "";
    while (name.size() > 3 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
    auto host = ResolveExistingFolder(name);
    if (!host) return FALSE;
    if (!fs::exists(*host)) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!fs::is_directory(*host)) {
        system_.SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    const Drive* drive = DriveOf(name);
    if (IsReadOnly(name) || (drive && fs::equivalent(*host, drive->folder))) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!IsSymbolicLink(*host) && !fs::is_empty(*host)) {
        system_.SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    fs::remove(*host);
    return TRUE;
}

BOOL SimFiles::MoveFileA(LPCSTR from, LPCSTR to) { return MoveFileExA(from, to, 0); }

BOOL SimFiles::MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    std::string from_name = lpExistingFileName ? lpExistingFileName : "";
    std::string to_name = lpNewFileName ? lpNewFileName : "";
    auto from = ResolveExistingFolder(from_name);
    if (!from) return FALSE;
    if (!NameExists(*from)) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const HostFileId from_id = *IdOf(*from, false);
    if (HeldAgainstDeletion(from_id)) {
        system_.SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    auto to = ResolveExistingFolder(to_name);
    if (!to) return FALSE;
    return MoveName(*from, from_name, from_id, *to, to_name, (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0);
}

BOOL SimFiles::MoveName(const fs::path& from, const std::string& from_name, const HostFileId& from_id,
                        const fs::path& to, const std::string& to_name, bool replace) {
    if (IsReadOnly(from_name) || IsReadOnly(to_name)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const std::optional<HostFileId> to_id = IdOf(to, false);
    if (to_id && *to_id != from_id) {
        if (!replace) {
            system_.SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (IsFolderOrFolderLink(to) || !HoldersOf(*to_id).empty()) {
            system_.SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

DWORD SimFiles::GetFileAttributesA(LPCSTR lpFileName) {
    if (NotReady(lpFileName ? lpFileName : "")) return INVALID_FILE_ATTRIBUTES;
    auto host = HostPath(lpFileName ? lpFileName : "");
    if (!host || !NameExists(*host)) {
        system_.SetLastError(host && fs::is_directory(host->parent_path()) ? ERROR_FILE_NOT_FOUND
                                                                            : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(*host);
}

FILE* SimFiles::_fsopen(const char* filename, const char* mode, int shflag) {
    std::string name = filename ? filename : "";
    const std::string host_mode = HostMode(mode);
    auto host = ResolveExistingFolder(name);
    if (!host) {
        errno = ENOENT;
        return nullptr;
    }
    bool writes = host_mode.find_first_of("wa+") != std::string::npos;
    if (writes && IsReadOnly(name)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        errno = EACCES;
        return nullptr;
    }
    if (fs::is_directory(*host)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        errno = EACCES;
        return nullptr;
    }
    const DWORD access = StreamAccess(host_mode);
    const DWORD share = StreamShare(shflag);
    if (std::optional<HostFileId> id = IdOf(*host, true); id && SharingConflict(*id, access, share)) {
        system_.SetLastError(ERROR_SHARING_VIOLATION);
        errno = EACCES;
        return nullptr;
    }
    FILE* f = std::fopen(host->c_str(), host_mode.c_str());
    if (!f) {
        system_.SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    struct stat st {};
    ::fstat(::fileno(f), &st);
    handles_.AddAt(reinterpret_cast<uintptr_t>(f), HandleKind::Stream, nullptr, name);
    streams_[f] = StreamFile{HostFileId{st.st_dev, st.st_ino}, access, share, -1};
    return f;
}

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

bool SimFiles::KnownStream(FILE* stream) const {
    return stream && handles_.Contains(reinterpret_cast<uintptr_t>(stream), HandleKind::Stream);
}

int SimFiles::fclose(FILE* stream) {
    if (!KnownStream(stream)) return EOF;
    handles_.Remove(reinterpret_cast<uintptr_t>(stream), HandleKind::Stream);
    const int descriptor = streams_[stream].descriptor;
    streams_.erase(stream);
    const int result = std::fclose(stream);
    // A stream made on a descriptor closes the descriptor, and with it the file handle.
    if (descriptor >= 0) CloseDescriptor(descriptor);
    return result;
}

size_t SimFiles::fread(void* buffer, size_t size, size_t count, FILE* stream) {
    if (!KnownStream(stream)) return 0;
    const size_t items = std::fread(buffer, size, count, stream);
    bytes_read_ += items * size;
    return items;
}

size_t SimFiles::fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
    return KnownStream(stream) ? std::fwrite(buffer, size, count, stream) : 0;
}

// A stream on a handle that may only append wrote at the end of the file, so that is where its
// position is afterwards, as the handle's file position is on Windows.
int SimFiles::fflush(FILE* stream) {
    if (!KnownStream(stream)) return EOF;
    const int result = std::fflush(stream);
    if (result == 0 && AppendsOnlyStream(stream)) std::fseek(stream, 0, SEEK_END);
    return result;
}

bool SimFiles::AppendsOnlyStream(FILE* stream) const {
    auto it = streams_.find(stream);
    if (it == streams_.end() || it->second.descriptor < 0) return false;
    auto descriptor = descriptors_.find(it->second.descriptor);
    if (descriptor == descriptors_.end()) return false;
    auto file = files_open_.find(descriptor->second);
    return file != files_open_.end() && file->second->append_only;
}

int SimFiles::fseek(FILE* stream, long offset, int origin) {
    return KnownStream(stream) ? std::fseek(stream, offset, origin) : -1;
}

long SimFiles::ftell(FILE* stream) { return KnownStream(stream) ? std::ftell(stream) : -1L; }

std::string SimFiles::FullPath(const std::string& windows_path) const {
    if (windows_path.empty()) return "";
    std::string path = windows_path;
    for (char& c : path)
        if (c == '/') c = '\\';
    std::string base;
    if (HasDrive(path)) {
        base = std::string(1, DriveLetter(path)) + ":";
        path = path.substr(2);
        // A drive-relative path ("D:setup.exe") starts at the drive's current directory: the
        // process's own for its drive, the root for any other.
        if (path.empty() || path[0] != '\\') {
            if (HasDrive(current_directory_) && DriveLetter(current_directory_) == base[0])
                path = current_directory_.substr(2) + "\\" + path;
            else
                path = "\\" + path;
        }
    } else if (!path.empty() && path[0] == '\\') {
        base = current_directory_.substr(0, 2);
    } else {
        base = current_directory_.substr(0, 2);
        path = current_directory_.substr(2) + "\\" + path;
    }
    std::vector<std::string> parts;
    for (const std::string& part : text::SplitPath(path, "\\/")) {
        if (part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string full = base;
    for (const std::string& part : parts) full += "\\" + part;
    if (parts.empty()) full += "\\";
    return full;
}

const Drive* SimFiles::DriveOf(const std::string& windows_path) const {
    const std::string full = FullPath(windows_path);
    if (!HasDrive(full)) return nullptr;
    auto it = drives_.find(DriveLetter(full));
    return it == drives_.end() ? nullptr : &it->second;
}

bool SimFiles::IsFolder(const std::string& windows_path) const {
    auto host = HostPath(FullPath(windows_path));
    return host && fs::is_directory(*host);
}

bool SimFiles::IsFile(const std::string& windows_path) const {
    auto host = HostPath(FullPath(windows_path));
    return host && fs::is_regular_file(*host);
}

std::optional<std::string> SimFiles::OnDiskPath(const std::string& windows_path) const {
    const std::string full = FullPath(windows_path);
    const Drive* drive = DriveOf(full);
    auto host = HostPath(full);
    if (!drive || !host || !fs::exists(*host)) return std::nullopt;
    std::string out = std::string(1, drive->letter) + ":";
    const fs::path relative = host->lexically_relative(drive->folder);
    for (const auto& part : relative) {
        if (part == ".") continue;
        out += "\\" + part.string();
    }
    if (out.size() == 2) out += "\\";
    return out;
}

void SimFiles::CloseAllStreams() {
    while (!streams_.empty()) fclose(streams_.begin()->first);
    while (!descriptors_.empty()) CloseDescriptor(descriptors_.begin()->first);
    while (!files_open_.empty()) CloseFileHandle(files_open_.begin()->first);
}

HANDLE SimFiles::FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!lpFindFileData) {
        system_.SetLastError(ERROR_NOACCESS);
        return INVALID_HANDLE_VALUE;
    }
    std::string given = lpFileName;
    for (char& c : given)
        if (c == '/') c = '\\';
    const size_t slash = given.find_last_of('\\');
    const std::string mask = slash == std::string::npos ? (HasDrive(given) ? given.substr(2) : given)
                                                        : given.substr(slash + 1);
    const std::string folder_part =
        slash == std::string::npos ? (HasDrive(given) ? given.substr(0, 2) : std::string(".")) : given.substr(0, slash + 1);
    const std::string folder = FullPath(folder_part);

    if (!DriveOf(folder)) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (NotReady(folder)) return INVALID_HANDLE_VALUE;
    const bool folder_exists = IsFolder(folder);
    // A path that ends in a backslash names no file: 2 for a folder that exists, 3 for one that
    // does not.
    if (mask.empty()) {
        system_.SetLastError(folder_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!folder_exists) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    const bool wildcard = HasSearchWildcards(mask);
    const std::string wanted = wildcard ? DosSearchMask(mask) : TrimTrailingDotsAndBlanks(mask);
    // "dir\." or "dir\..": the path itself names a folder, found under its own name in its parent.
    if (!wildcard && (wanted.empty() || mask == "." || mask == "..")) {
        const std::string target = FullPath(given);
        if (target.size() <= 3) {  // a root has no entry of its own
            system_.SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        return FindFirstFileA(target.c_str(), lpFindFileData);
    }

    const Drive& drive = *DriveOf(folder);
    const fs::path host = *HostPath(folder);
    const bool root = folder.size() <= 3;
    std::vector<std::pair<std::string, fs::path>> names;
    if (!root) {
        names.emplace_back(".", host);
        names.emplace_back("..", host.parent_path());
    }
    std::vector<std::pair<std::string, fs::path>> children;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(host, ec)) children.emplace_back(entry.path().filename().string(), entry.path());
    // NTFS lists a folder in the order of its upper-cased names.
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return text::CompareNames(a.first, b.first) < 0; });
    names.insert(names.end(), children.begin(), children.end());

    auto state = std::make_shared<FindState>();
    for (const auto& [name, path] : names) {
        const bool match = wildcard ? MatchesDosMask(name, wanted) : text::EqualNames(name, wanted);
        if (!match) continue;
        WIN32_FIND_DATAA data{};
        const bool is_folder = IsFolderOrFolderLink(path);
        data.dwFileAttributes = AttributesOf(path);
        if (!is_folder && drive.type == DRIVE_CDROM) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
        if (!is_folder && !IsSymbolicLink(path)) {
            const uint64_t size = fs::file_size(path, ec);
            data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
            data.nFileSizeLow = static_cast<DWORD>(size);
        }
        std::strncpy(data.cFileName, name.c_str(), sizeof data.cFileName - 1);
        state->entries.push_back(data);
    }
    if (state->entries.empty()) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = state->entries[0];
    state->next = 1;
    return reinterpret_cast<HANDLE>(handles_.Add(HandleKind::Find, state, "search " + given));
}

BOOL SimFiles::FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto state = handles_.Get<FindState>(reinterpret_cast<uintptr_t>(hFindFile), HandleKind::Find);
    if (!state) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFindFileData) {
        system_.SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (state->next >= state->entries.size()) {
        system_.SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = state->entries[state->next++];
    return TRUE;
}

BOOL SimFiles::FindClose(HANDLE hFindFile) {
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(hFindFile), HandleKind::Find)) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD SimFiles::GetLogicalDrives() {
    DWORD mask = 0;
    for (const auto& [letter, drive] : drives_)
        if (letter >= 'A' && letter <= 'Z') mask |= 1u << (letter - 'A');
    return mask;
}

UINT SimFiles::GetDriveTypeA(LPCSTR lpRootPathName) {
    const std::string full = FullPath(lpRootPathName ? lpRootPathName : current_directory_);
    const Drive* drive = DriveOf(full);
    if (!drive) return DRIVE_NO_ROOT_DIR;
    // A drive's root always has its type, a medium in it or not; any other path must be a folder.
    if (full.size() <= 3 || IsFolder(full)) return drive->type;
    return DRIVE_NO_ROOT_DIR;
}

BOOL SimFiles::GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                                     LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength,
                                     LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                                     DWORD nFileSystemNameSize) {
    const std::string given = lpRootPathName ? lpRootPathName : current_directory_.substr(0, 2) + "\\";
    const std::string full = FullPath(given);
    // Only a drive's root names a volume: a folder below it with a closing backslash gives 144,
    // anything else 123.
    if (!HasDrive(full) || full.size() != 3) {
        std::string rest = HasDrive(given) ? given.substr(2) : given;
        const size_t first = rest.find_first_not_of("\\/");
        rest = first == std::string::npos ? "" : rest.substr(first);
        system_.SetLastError(rest.find_first_of("\\/") != std::string::npos ? ERROR_DIR_NOT_ROOT : ERROR_INVALID_NAME);
        return FALSE;
    }
    const Drive* drive = DriveOf(full);
    if (!drive) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (NotReady(full)) return FALSE;
    const Volume volume = VolumeOf(*drive);
    const std::string fs_name = volume.file_system;
    if ((lpVolumeNameBuffer && nVolumeNameSize < drive->label.size() + 1) ||
        (lpFileSystemNameBuffer && nFileSystemNameSize < fs_name.size() + 1)) {
        system_.SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    if (lpVolumeNameBuffer) std::memcpy(lpVolumeNameBuffer, drive->label.c_str(), drive->label.size() + 1);
    if (lpFileSystemNameBuffer) std::memcpy(lpFileSystemNameBuffer, fs_name.c_str(), fs_name.size() + 1);
    if (lpVolumeSerialNumber) *lpVolumeSerialNumber = drive->serial;
    if (lpMaximumComponentLength) *lpMaximumComponentLength = volume.max_component;
    if (lpFileSystemFlags) *lpFileSystemFlags = volume.flags;
    return TRUE;
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

// A descriptor takes over a file handle: closing the descriptor (or a stream made on it) closes
// the handle. _O_APPEND makes every write land at the end of the file.
int SimFiles::_open_osfhandle(intptr_t osfhandle, int flags) {
    auto file = FindFile(reinterpret_cast<HANDLE>(osfhandle));
    if (!file) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        errno = EBADF;
        return -1;
    }
    if ((flags & _O_APPEND) && file->fd >= 0) ::fcntl(file->fd, F_SETFL, ::fcntl(file->fd, F_GETFL) | O_APPEND);
    const int fd = next_descriptor_++;
    descriptors_[fd] = static_cast<uintptr_t>(osfhandle);
    return fd;
}

FILE* SimFiles::_fdopen(int fd, const char* mode) {
    auto it = descriptors_.find(fd);
    if (it == descriptors_.end() || !mode) {
        errno = EBADF;
        return nullptr;
    }
    auto file = files_open_.at(it->second);
    // A symbolic link opened as itself has no bytes of its own to show: its stream is an empty
    // scratch file. The C runtime takes the mode as given whatever the handle may do (a write
    // through a handle that may only read fails when it reaches the file); the host stream is made
    // with the mode the descriptor allows, and one that may only write appends only when asked.
    FILE* f = nullptr;
    if (file->fd >= 0) {
        std::string host_mode = HostMode(mode);
        const int allowed = ::fcntl(file->fd, F_GETFL) & O_ACCMODE;
        if (allowed == O_RDONLY) host_mode = "r";
        if (allowed == O_WRONLY) host_mode = host_mode.find('a') != std::string::npos ? "a" : "w";
        const int copy = ::dup(file->fd);
        f = copy >= 0 ? ::fdopen(copy, host_mode.c_str()) : nullptr;
        if (!f && copy >= 0) ::close(copy);
    } else {
        f = std::tmpfile();
    }
    if (!f) {
        errno = EINVAL;
        return nullptr;
    }
    handles_.AddAt(reinterpret_cast<uintptr_t>(f), HandleKind::Stream, nullptr, file->name);
    streams_[f] = StreamFile{file->id, 0, 0, fd};
    return f;
}

int SimFiles::_close(int fd) {
    if (!descriptors_.count(fd)) {
        errno = EBADF;
        return -1;
    }
    CloseDescriptor(fd);
    return 0;
}

void SimFiles::CloseDescriptor(int fd) {
    auto it = descriptors_.find(fd);
    if (it == descriptors_.end()) return;
    const uintptr_t handle = it->second;
    descriptors_.erase(it);
    CloseFileHandle(handle);
}

bool SimFiles::AddHardLink(const std::string& link_path, const std::string& existing_path) {
    const auto link = HostPath(link_path);
    const auto existing = HostPath(existing_path);
    if (!link || !existing || NameExists(*link) || !fs::is_regular_file(*existing)) return false;
    std::error_code ec;
    fs::create_hard_link(*existing, *link, ec);
    return !ec;
}

bool SimFiles::AddSymbolicLink(const std::string& link_path, const std::string& target_path) {
    const auto link = HostPath(link_path);
    const auto target = HostPath(target_path);
    if (!link || !target || NameExists(*link) || !fs::is_directory(link->parent_path())) return false;
    std::error_code ec;
    fs::create_symlink(*target, *link, ec);
    return !ec;
}

}  // namespace plat::sim
