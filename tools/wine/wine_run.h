// One run of a scenario on Wine, after SetUpWine: the real DLL loaded with LoadLibrary and called
// as the scenario says, the DLL runner's entry run through Wine's own rundll32.exe, and the report
// of what changed, filled as tvx-sim fills its own. Win32 only.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/scenario/report.h"
#include "tools/scenario/scenario.h"

namespace tvx::wine {

struct RunPaths {
    std::filesystem::path run_folder;      // the folder SetUpWine used
    std::string dll;                       // the co-installer, as a Windows path without spaces
    std::filesystem::path standin_folder;  // the stand-in programs (StandinsIn)
};

// A failure of the run itself (the DLL cannot be loaded), as opposed to anything the co-installer
// does.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs the steps and answers the report, with the scenario's expectations checked against Wine.
// `abandoned` tells whether a call of the DLL loaded in this process still waits forever (its
// thread was stopped): the process should then end without unloading the DLL.
Report RunScenarioOnWine(const Scenario& scenario, const RunPaths& paths, const std::vector<std::string>& notes,
                         bool* abandoned);

}  // namespace tvx::wine
