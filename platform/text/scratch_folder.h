// A scratch folder of the host's own: made fresh and private (mkdtemp) below a given folder, and
// removed with everything in it when its owner goes. Header-only; host builds only (POSIX).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace plat::text {

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
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    std::filesystem::path path_;
};

}  // namespace plat::text
