// The end of a scenario's run, shared by tvx-sim and the Wine harness. Portable.
#include "tools/scenario/run_end.h"

namespace tvx {

bool KeptOnPurpose(const std::string& open_handle) {
    const std::string tail = std::string(": event ") + kFinishedEventName;
    return open_handle.size() >= tail.size() &&
           open_handle.compare(open_handle.size() - tail.size(), tail.size(), tail) == 0;
}

std::string StillWaitsIn(size_t stuck_step) {
    return "the co-installer still waits in step " + std::to_string(stuck_step);
}

bool HasExpectations(const Scenario& scenario) {
    if (!scenario.expect.empty()) return true;
    for (const Step& step : scenario.steps)
        if (step.expect_result) return true;
    return false;
}

void CheckRun(const Scenario& scenario, Report& report, const RegistryLookup& registry_after,
              const FileSnapshot& files_after) {
    if (!HasExpectations(scenario)) return;
    report.expectations_checked = true;
    report.unmet_expectations = CheckExpectations(scenario, report, registry_after, files_after);
}

int RunExitStatus(const Report& report) { return report.unmet_expectations.empty() ? kExitDone : kExitUnmet; }

}  // namespace tvx
