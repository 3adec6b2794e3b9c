// The simulated files: drives and their volumes, Windows paths on the host's folders, and the
// calls that work on names (delete, remove a folder, move, attributes). Simulated machine only.
#include "platform/sim/files_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/host/folder_names.h"
#include "platform/text/names.h"

namespace plat::sim {
namespace fs = std::filesystem;
using namespace files_detail;
namespace {

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    if (path.size() < folder.size()) return false;
    if (!text::EqualNames(std::string_view(path).substr(0, folder.size()), folder)) return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
}

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

DWORD CopyOut(const std::string& text, DWORD capacity, LPSTR buffer) {
    if (!buffer || capacity < text.size() + 1) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

}  // namespace

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
    // A path that is there exactly as written is the answer: every part of it exists as spelt.
    // Most paths asked for are, so this one is made as one host text and asked once.
    {
        std::string exact = it->second.folder.native();
        const std::string_view below = std::string_view(windows_path).substr(2);
        bool plain = true;
        for (size_t start = 0; plain && start < below.size();) {
            size_t end = below.find_first_of("\\/", start);
            if (end == std::string_view::npos) end = below.size();
            const std::string_view part = below.substr(start, end - start);
            start = end + 1;
            if (part.empty()) continue;
            plain = part != "." && part != "..";
            if (exact.empty() || exact.back() != '/') exact.push_back('/');
            exact.append(part);
        }
        struct stat status {};
        if (plain && ::stat(exact.c_str(), &status) == 0) return fs::path(std::move(exact));
    }
    const std::vector<std::string> parts = text::SplitPath(windows_path.substr(2), "\\/");
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
                plat::host::ForEachName(host, [&](std::string_view name) {
                    if (!text::EqualNames(name, part)) return true;
                    next = host / name;
                    exists = fs::exists(next);
                    return false;
                });
            }
        }
        host = next;
    }
    return host;
}

std::optional<std::string> SimFiles::ReadFile(const std::string& windows_path) const {
    auto host = HostPath(windows_path);
    std::string bytes;
    if (!host || !ReadHostFile(*host, bytes)) return std::nullopt;
    return bytes;
}

bool SimFiles::ReadHostFile(const fs::path& host, std::string& bytes) {
    // One open, one size and the bytes read straight into the text given, whose room is reused:
    // the INI queries read a file whole for every value asked, and a stream's buffers and copies
    // would cost more than the reading. Opened without waiting, so that a pipe's name answers
    // nothing rather than block; anything but a file answers nothing.
    const int fd = ::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool read_all = false;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        bytes.resize(static_cast<size_t>(status.st_size));
        size_t got = 0;
        for (;;) {
            if (got == bytes.size()) bytes.resize(got + 4096);  // the file grew since its size was read
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                read_all = n == 0;
                break;
            }
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    return read_all;
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
