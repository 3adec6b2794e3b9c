// One run of a scenario on a fresh simulated machine: set-up, the steps' calls on the host build
// of the co-installer, and the report of what changed. tvx-sim only.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/report.h"
#include "tools/scenario/scenario.h"

namespace tvx::sim {

struct RunOptions {
    std::string module_path;  // the host build of the co-installer
    bool trace = false;       // keep every platform call of every step in the report
    // Where the run's drive folders are made (and removed again); empty: the temporary folder.
    std::filesystem::path scratch;
};

struct RunResult {
    Report report;
    RegistrySnapshot final_registry;
    FileSnapshot final_files;  // the watched folders at the end
};

// A failure of the run itself (the library cannot be loaded), as opposed to anything the
// co-installer does.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

RunResult RunScenario(const Scenario& scenario, const RunOptions& options);

}  // namespace tvx::sim
