// Scratch folders on the simulated machine: made in the host folder that backs the Windows path,
// through the files backend of the machine the case runs on. Host builds only.
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/host/call_layer.h"
#include "platform/sim/files.h"
#include "tests/contract/scratch_folder.h"

namespace contract {
namespace {

std::optional<std::filesystem::path> HostFolder(const std::string& windows_path) {
    auto* files = dynamic_cast<plat::sim::SimFiles*>(plat::host::CurrentBackends().files);
    if (!files) return std::nullopt;
    return files->HostPath(windows_path);
}

}  // namespace

bool MakeEmptyFolder(const std::string& windows_path) {
    const auto host = HostFolder(windows_path);
    if (!host) return false;
    std::error_code ec;
    std::filesystem::remove_all(*host, ec);
    return std::filesystem::create_directories(*host, ec);
}

void RemoveFolderTree(const std::string& windows_path) {
    const auto host = HostFolder(windows_path);
    if (!host) return;
    std::error_code ec;
    std::filesystem::remove_all(*host, ec);
}

}  // namespace contract
