// The whole-system fault sweep: every scenario run again and again on the simulated machine, each
// time with one of the co-installer's failable calls failed (by its position among them), once and
// from then on, exactly as the real call fails. Each such run must leave nothing open, answer what
// the device installer may be answered for that DIF code, write and remove nothing that the
// fault-free run does not, and keep the logs' earlier bytes. tvx-sim only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/scenario/scenario.h"

namespace tvx::sim {

struct SweepOptions {
    std::string module_path;
    // Every call is swept with 1; a larger stride sweeps calls 1, 1 + stride, ... (a quick subset).
    uint64_t stride = 1;
    // Told of each scenario's figures as it is done (a line for people).
    std::function<void(const std::string&)> progress;
    // Told of each scenario whose machine cannot be set up (file:line: what is wrong); the sweep
    // goes on with the others.
    std::function<void(const std::string&)> bad_scenario;
};

struct SweepFigures {
    size_t scenarios = 0;  // swept
    size_t bad = 0;        // not swept: their machines cannot be set up
    uint64_t calls = 0;  // failable calls of the fault-free runs
    uint64_t swept = 0;  // of those, the ones failed in turn
    uint64_t runs = 0;   // runs with a fault
    std::vector<std::string> findings;  // "scenario, call 12 failed from then on: what is wrong"
};

SweepFigures SweepScenarios(const std::vector<Scenario>& scenarios, const SweepOptions& options);

// Whether a DIF call's result is one the co-installer may answer for that step: the post-processing
// call passes a failed installation's result on; pre-processing of DIF_INSTALLDEVICE and
// DIF_DESTROYWIZARDDATA asks for post-processing; the finish-install action answers what starting
// the disc's setup answered (a Windows error code); every other call answers NO_ERROR.
bool AllowedDifResult(const Step& step, uint32_t result);

}  // namespace tvx::sim
