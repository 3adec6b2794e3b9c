// Writing out the embedded default scenario. tvx-sim only.
#include "tools/tvx-sim/embedded_scenario.h"

#include <fstream>

namespace tvx::sim {

std::filesystem::path WriteDefaultScenario(const std::filesystem::path& folder) {
    for (const EmbeddedFile& file : DefaultScenarioFiles()) {
        std::filesystem::path target = folder / file.path;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes), static_cast<std::streamsize>(file.size));
        if (!out) throw std::filesystem::filesystem_error("cannot write", target, std::make_error_code(std::errc::io_error));
    }
    return folder / "scenario.toml";
}

}  // namespace tvx::sim
