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
    // Where the run's drive folders are made (and removed again); empty: the folder TMPDIR names,
    // else the host's memory-backed folder when it has one (ScratchFolder::DefaultBelow).
    std::filesystem::path scratch;
    // A fault injected into the co-installer's calls: the nth failable call (1-based) fails with
    // `status`, in that call's own form, and with `from_then_on` every later one as well. 0: none.
    uint64_t fail_nth = 0;
    bool from_then_on = false;
    uint32_t status = 5;  // ERROR_ACCESS_DENIED
};

struct RunResult {
    Report report;
    RegistrySnapshot final_registry;
    FileSnapshot final_files;  // the watched folders at the end
    uint64_t failable_calls = 0;  // the co-installer's calls that could have been failed
    uint64_t injected = 0;        // those that were
    // The failed closing calls' handles ("0x158"): a handle whose close was made to fail stays open
    // on the machine, which is the fault's doing, not the co-installer's.
    std::vector<std::string> failed_closes;
};

// A failure of the run itself (the library cannot be loaded), as opposed to anything the
// co-installer does.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ScenarioError when the machine cannot be set up as the scenario says (before anything of
// the co-installer runs), RunError when the library cannot be loaded, and Interrupted (nothing
// made) once SIGINT or SIGTERM was caught (interrupt.h).
RunResult RunScenario(const Scenario& scenario, const RunOptions& options);

// The same, and the scenario's expectations checked when it has any.
RunResult RunAndCheck(const Scenario& scenario, const RunOptions& options);

}  // namespace tvx::sim
