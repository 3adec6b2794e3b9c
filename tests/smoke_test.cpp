#include <gtest/gtest.h>

#include "platform/sim/machine.h"

TEST(Smoke, MachineBuilds) {
    plat::sim::Machine m;
    plat::sim::ActiveMachine active(m);
    EXPECT_EQ(m.handles().open_count(), 0u);
}
