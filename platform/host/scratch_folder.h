// A scratch folder of the host's own: made fresh and private (mkdtemp) below a given folder, and
// removed with everything in it when its owner goes. Header-only; host builds only (POSIX).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/host/folder_names.h"

namespace plat::host {

class ScratchFolder {
public:
    // Owns nothing.
    ScratchFolder() = default;
    // Takes over a folder, whether or not it exists yet: it is removed when the owner goes.
    explicit ScratchFolder(std::filesystem::path path) : path_(std::move(path)) {}

    // A new folder "<below>/<prefix>XXXXXX" (six random characters), below made first when
    // missing; nothing when it cannot be made.
    static std::optional<ScratchFolder> Make(const std::filesystem::path& below, std::string_view prefix) {
        std::error_code ec;
        std::filesystem::create_directories(below, ec);
        std::string pattern = (below / (std::string(prefix) + "XXXXXX")).string();
        if (!mkdtemp(pattern.data())) return std::nullopt;
        return ScratchFolder(std::filesystem::path(pattern));
    }

    // Where short-lived scratch folders go when their user names no place: the folder TMPDIR names
    // when it is set, else the host's memory-backed folder (/dev/shm) when it has a writable one,
    // else the system's temporary folder. In memory, making and removing a run's files costs no
    // disk work (on a disk that discards freed blocks, a deleted file waits for the device).
    static std::filesystem::path DefaultBelow() {
        const char* tmpdir = std::getenv("TMPDIR");
        if (tmpdir && *tmpdir) return std::filesystem::temp_directory_path();
        std::error_code ec;
        const std::filesystem::path memory = "/dev/shm";
        if (std::filesystem::is_directory(memory, ec) && access(memory.c_str(), W_OK | X_OK) == 0) return memory;
        return std::filesystem::temp_directory_path();
    }

    ~ScratchFolder() { Remove(); }
    ScratchFolder(ScratchFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    ScratchFolder& operator=(ScratchFolder&& other) noexcept {
        if (this != &other) {
            Remove();
            path_ = std::exchange(other.path_, {});
        }
        return *this;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the owner owns nothing.
    const std::filesystem::path& path() const { return path_; }

private:
    void Remove() {
        if (!path_.empty()) RemoveTree(path_);
    }

    std::filesystem::path path_;
};

}  // namespace plat::host
