// The end of a scenario's run, the same on both machines (tvx-sim and the Wine harness), whose
// reports are compared byte for byte: the expectations checked, the words for steps a stuck call
// kept from running, what the co-installer keeps open on purpose, and the exit status. Portable.
#pragma once

#include <cstddef>
#include <string>

#include "tools/scenario/expectations.h"
#include "tools/scenario/report.h"
#include "tools/scenario/scenario.h"

namespace tvx {

// The exit statuses of tvx-sim and the Wine harness.
constexpr int kExitDone = 0;        // done; every expectation met
constexpr int kExitUnmet = 1;       // an expectation unmet
constexpr int kExitBadInput = 2;    // bad command line or bad scenario: nothing ran
constexpr int kExitRunFailed = 3;   // the run itself failed, or an output could not be written

// The named event that says the Plug and Play part has finished. The co-installer keeps it open,
// and set, for as long as the device installer's process lives, so that the scanning software's
// setup that waits for it later in that time still finds it set: an open handle to it at the end
// of a process is no leak.
constexpr const char* kFinishedEventName = "tvx_PNPFinishedEvent_99";

// Whether a handle still open when a process ended ("...: event NAME") is one kept on purpose.
bool KeptOnPurpose(const std::string& open_handle);

// What a step after a call that waits forever says instead of its result (steps count from 1).
std::string StillWaitsIn(size_t stuck_step);

// Whether the scenario expects anything (an expectation or a step's expected result).
bool HasExpectations(const Scenario& scenario);

// Checks the scenario's expectations into the report, when it has any.
void CheckRun(const Scenario& scenario, Report& report, const RegistryLookup& registry_after,
              const FileSnapshot& files_after);

// The exit status of a run that ran: done, or an expectation unmet.
int RunExitStatus(const Report& report);

}  // namespace tvx
