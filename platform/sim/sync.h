// Named events: one object per name that lives while a handle to it is open.
// Simulated machine only.
#pragma once

#include "platform/sync.h"
#include "platform/sim/handles.h"

namespace plat::sim {

class SimSync : public SyncBackend {
public:
    explicit SimSync(HandleTable& handles) : handles_(handles) {}

private:
    [[maybe_unused]] HandleTable& handles_;
};

}  // namespace plat::sim
