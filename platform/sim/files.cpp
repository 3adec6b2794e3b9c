// The simulated files and drives. Simulated machine only.
#include "platform/sim/files.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/text/names.h"

namespace plat::sim {
namespace fs = std::filesystem;
namespace {

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    if (path.size() < folder.size()) return false;
    if (!text::EqualNames(std::string_view(path).substr(0, folder.size()), folder)) return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
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
    AddDrive(Drive{'C', DRIVE_FIXED, "", 0x0C0FFEE0, c_drive_folder});
}

void SimFiles::AddDrive(Drive drive) {
    drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive.letter)));
    drives_[drive.letter] = std::move(drive);
}

std::optional<fs::path> SimFiles::HostPath(const std::string& windows_path) const {
    if (windows_path.size() < 2 || windows_path[1] != ':') return std::nullopt;
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(windows_path[0]))));
    if (it == drives_.end()) return std::nullopt;
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

std::optional<fs::path> SimFiles::ResolveExistingFolder(const std::string& windows_path) {
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

}  // namespace plat::sim
