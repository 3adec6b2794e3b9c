// Processes: programs started from a command line, their virtual run time and exit code, and waits that advance the virtual clock.
// Simulated machine only.
#pragma once

#include "platform/process.h"
#include "platform/sim/handles.h"

namespace plat::sim {

class SimProcess : public ProcessBackend {
public:
    explicit SimProcess(HandleTable& handles) : handles_(handles) {}

private:
    [[maybe_unused]] HandleTable& handles_;
};

}  // namespace plat::sim
