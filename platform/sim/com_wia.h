// COM on the simulated machine: the calling thread's apartment, the WIA device manager and the
// registrations made with it, COM strings, and the ANSI-to-wide conversion (Windows-1252).
// Simulated machine only.
#pragma once

#include "platform/com_wia.h"
#include "platform/sim/handles.h"
#include "platform/sim/system.h"

namespace plat::sim {

class SimComWia : public ComWiaBackend {
public:
    SimComWia(HandleTable& handles, SimSystem& system) : handles_(handles), system_(system) {}

private:
    [[maybe_unused]] HandleTable& handles_;
    [[maybe_unused]] SimSystem& system_;
};

}  // namespace plat::sim
