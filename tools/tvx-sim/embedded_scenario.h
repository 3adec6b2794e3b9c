// The default scenario (scenarios/default), carried inside tvx-sim. tvx-sim only.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

namespace tvx::sim {

struct EmbeddedFile {
    const char* path;  // relative, with forward slashes: "scenario.toml", "disc/setup.exe"
    const unsigned char* bytes;
    size_t size;
};

const std::vector<EmbeddedFile>& DefaultScenarioFiles();

// Writes the default scenario's files into a folder; answers the path of its scenario.toml.
std::filesystem::path WriteDefaultScenario(const std::filesystem::path& folder);

}  // namespace tvx::sim
