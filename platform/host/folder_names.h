// The names in a host folder, read straight from the kernel into a buffer on the stack, and a
// folder tree removed the same way. The simulated machine lists a folder for every search and for
// every name not spelt as it is on disk, and a machine's folders are removed when it goes: the C
// library's folder streams take a large buffer from the heap for each listing, which costs more
// than the listing itself. Header-only; host builds only (Linux).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace plat::host {

namespace folder_detail {

// One entry as the kernel hands it out (getdents64).
struct Entry64 {
    std::uint64_t inode;
    std::int64_t next;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Calls `each(name, type)` for every name in the open folder `fd` but "." and "..", in the order
// the file system keeps them (readdir's order); `type` is a DT_ value, DT_UNKNOWN where the file
// system does not tell. Stops early when `each` answers false. False when the folder cannot be read.
template <class Each>
bool ForEachNameIn(int fd, Each&& each) {
    alignas(8) char buffer[8192];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const Entry64*>(buffer + at);
            at += entry->length;
            const std::string_view name(entry->name);
            if (name == "." || name == "..") continue;
            if (!each(name, entry->type)) return true;
        }
    }
}

// Removes what the open folder `fd` holds, links themselves and never what they lead to.
inline void RemoveContents(int fd) {
    // Names are removed while the folder is read; reading again from the start after each pass
    // finds what a pass could not see, until a pass removes nothing.
    for (int pass = 0; pass < 64; ++pass) {
        bool removed = false;
        ::lseek(fd, 0, SEEK_SET);
        ForEachNameIn(fd, [&](std::string_view name, unsigned char type) {
            const std::string text(name);
            bool folder = type == DT_DIR;
            if (type == DT_UNKNOWN) {
                struct stat status {};
                folder = ::fstatat(fd, text.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
            }
            if (folder) {
                const int child = ::openat(fd, text.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child >= 0) {
                    RemoveContents(child);
                    ::close(child);
                }
            }
            if (::unlinkat(fd, text.c_str(), folder ? AT_REMOVEDIR : 0) == 0) removed = true;
            return true;
        });
        if (!removed) return;
    }
}

}  // namespace folder_detail

// Calls `each(name)` for every name in a host folder but "." and "..", in readdir's order; stops
// early when `each` answers false. False when the folder cannot be opened or read.
template <class Each>
bool ForEachName(const std::filesystem::path& folder, Each&& each) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool read = folder_detail::ForEachNameIn(fd, [&](std::string_view name, unsigned char) { return each(name); });
    ::close(fd);
    return read;
}

// Removes a folder and everything in it (a link in it is removed, never followed), or a file or
// link of that name; nothing when there is nothing of that name.
inline void RemoveTree(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlink(path.c_str());
        return;
    }
    folder_detail::RemoveContents(fd);
    ::close(fd);
    ::rmdir(path.c_str());
}

}  // namespace plat::host
