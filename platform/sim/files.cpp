// The simulated files and drives. Simulated machine only.
#include "platform/sim/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/sim/wildcard.h"
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
    fs::path host = it->second.folder;
    bool exists = true;
    for (const std::string& part : text::SplitPath(windows_path.substr(2), "\\/")) {
        if (part == ".") continue;
        if (part == "..") {
            if (host != it->second.folder) host = host.parent_path();
            continue;
        }
        fs::path next = host / part;
        if (exists && !fs::exists(next)) {
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(host, ec)) {
                if (text::EqualNames(entry.path().filename().string(), part)) {
                    next = entry.path();
                    break;
                }
            }
        }
        exists = exists && fs::exists(next);
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
    if (!fs::exists(*host)) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (fs::is_directory(*host) || IsReadOnly(name)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (OpenInStream(*host)) {
        system_.SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    fs::remove(*host);
    return TRUE;
}

// Removes an empty folder: a missing one gives 2 (3 when a folder on the way is missing), a file
// 267, a folder that still holds entries 145 (it stays), a drive's root or a protected folder 5.
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
    if (!fs::is_empty(*host)) {
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
    if (!fs::exists(*from)) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (OpenInStream(*from)) {
        system_.SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    auto to = ResolveExistingFolder(to_name);
    if (!to) return FALSE;
    if (IsReadOnly(from_name) || IsReadOnly(to_name)) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (fs::exists(*to) && !fs::equivalent(*from, *to)) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
            system_.SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (fs::is_directory(*to)) {
            system_.SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    std::error_code ec;
    fs::rename(*from, *to, ec);
    if (ec) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

DWORD SimFiles::GetFileAttributesA(LPCSTR lpFileName) {
    if (NotReady(lpFileName ? lpFileName : "")) return INVALID_FILE_ATTRIBUTES;
    auto host = HostPath(lpFileName ? lpFileName : "");
    if (!host || !fs::exists(*host)) {
        system_.SetLastError(host && fs::is_directory(host->parent_path()) ? ERROR_FILE_NOT_FOUND
                                                                            : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return fs::is_directory(*host) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

FILE* SimFiles::_fsopen(const char* filename, const char* mode, int) {
    std::string name = filename ? filename : "";
    std::string host_mode;
    for (const char* m = mode ? mode : ""; *m; ++m)
        if (*m != 't') host_mode += *m;
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
    FILE* f = std::fopen(host->c_str(), host_mode.c_str());
    if (!f) {
        system_.SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    handles_.AddAt(reinterpret_cast<uintptr_t>(f), HandleKind::Stream, nullptr, name);
    open_files_[f] = *host;
    return f;
}

bool SimFiles::OpenInStream(const fs::path& host) const {
    for (const auto& [stream, path] : open_files_) {
        std::error_code ec;
        if (fs::equivalent(path, host, ec)) return true;
    }
    return false;
}

bool SimFiles::KnownStream(FILE* stream) const {
    return stream && handles_.Contains(reinterpret_cast<uintptr_t>(stream), HandleKind::Stream);
}

int SimFiles::fclose(FILE* stream) {
    if (!KnownStream(stream)) return EOF;
    handles_.Remove(reinterpret_cast<uintptr_t>(stream), HandleKind::Stream);
    open_files_.erase(stream);
    return std::fclose(stream);
}

size_t SimFiles::fread(void* buffer, size_t size, size_t count, FILE* stream) {
    return KnownStream(stream) ? std::fread(buffer, size, count, stream) : 0;
}

size_t SimFiles::fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
    return KnownStream(stream) ? std::fwrite(buffer, size, count, stream) : 0;
}

int SimFiles::fflush(FILE* stream) { return KnownStream(stream) ? std::fflush(stream) : EOF; }

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

std::vector<std::string> SimFiles::DescribeStreams() const {
    std::vector<std::string> open;
    for (const auto& [stream, host] : open_files_) open.push_back("C runtime stream on " + host.filename().string());
    return open;
}

void SimFiles::CloseAllStreams() {
    while (!open_files_.empty()) fclose(open_files_.begin()->first);
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
        const bool is_folder = fs::is_directory(path, ec);
        data.dwFileAttributes = is_folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        if (!is_folder && drive.type == DRIVE_CDROM) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
        if (!is_folder) {
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

}  // namespace plat::sim
