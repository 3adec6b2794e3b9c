// What the parts of the simulated files share (files_paths.cpp, files_handles.cpp,
// files_streams.cpp, files_search.cpp): a file handle's record and the host look-ups of a name.
// For those parts only. Simulated machine only.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/sim/files.h"

namespace plat::sim {

// A file handle: the file it holds, by the name it is known by now (a rename through the handle
// changes it), and what it may do and lets others do.
struct SimFiles::OpenFile {
    std::string name;
    std::filesystem::path host;
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

namespace files_detail {

inline char DriveLetter(const std::string& path) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
}

inline bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// What a name stands for on the host: with `follow`, what a symbolic link leads to; without, the
// link itself. Nothing when the name does not exist (or, followed, leads nowhere).
inline std::optional<HostFileId> IdOf(const std::filesystem::path& host, bool follow) {
    struct stat st {};
    if ((follow ? ::stat(host.c_str(), &st) : ::lstat(host.c_str(), &st)) != 0) return std::nullopt;
    return HostFileId{st.st_dev, st.st_ino};
}

// Whether a name exists at all: a symbolic link that leads nowhere exists as itself.
inline bool NameExists(const std::filesystem::path& host) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(host, ec));
}

inline bool IsSymbolicLink(const std::filesystem::path& host) {
    std::error_code ec;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(host, ec));
}

// A folder, or a symbolic link to one (which Windows makes a folder that carries a reparse point).
inline bool IsFolderOrFolderLink(const std::filesystem::path& host) {
    std::error_code ec;
    return std::filesystem::is_directory(host, ec);
}

// The attributes Windows reports of a name: a symbolic link carries the reparse-point mark beside
// its kind.
inline DWORD AttributesOf(const std::filesystem::path& host) {
    DWORD attributes = IsFolderOrFolderLink(host) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (IsSymbolicLink(host)) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes;
}

}  // namespace files_detail
}  // namespace plat::sim
