// The simulated files: the C runtime's streams, opened by name or made on a file handle through
// a descriptor, and their reads and writes. Simulated machine only.
#include "platform/sim/files_internal.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace plat::sim {
namespace fs = std::filesystem;
using namespace files_detail;
namespace {

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

// A C runtime stream mode without the text-mode letter (the streams are binary on the host).
std::string HostMode(const char* mode) {
    std::string host_mode;
    for (const char* m = mode ? mode : ""; *m; ++m)
        if (*m != 't') host_mode += *m;
    return host_mode;
}

}  // namespace

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

void SimFiles::CloseAllStreams() {
    while (!streams_.empty()) fclose(streams_.begin()->first);
    while (!descriptors_.empty()) CloseDescriptor(descriptors_.begin()->first);
    while (!files_open_.empty()) CloseFileHandle(files_open_.begin()->first);
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

}  // namespace plat::sim
