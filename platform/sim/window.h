// Top-level windows by class, and a record of the messages posted to them.
// Simulated machine only.
#pragma once

#include "platform/window.h"
#include "platform/sim/handles.h"

namespace plat::sim {

class SimWindow : public WindowBackend {
public:
    explicit SimWindow(HandleTable& handles) : handles_(handles) {}

private:
    [[maybe_unused]] HandleTable& handles_;
};

}  // namespace plat::sim
