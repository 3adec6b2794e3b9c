// The simulated INI-file queries over the simulated files, with Windows' rules.
// Simulated machine only.
#pragma once

#include "platform/ini.h"
#include "platform/sim/file_system.h"
#include "platform/sim/kernel.h"

namespace plat::sim {

class SimIni : public IniBackend {
public:
    SimIni(SimFiles& files, SimKernel& kernel) : files_(files), kernel_(kernel) {}

private:
    SimFiles& files_;
    SimKernel& kernel_;
};

}  // namespace plat::sim
