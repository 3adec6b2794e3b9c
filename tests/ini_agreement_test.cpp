// The INI agreement table on the simulated machine: every input gives the bytes, return value and
// last error that Windows gives (the table holds Wine's answers, and Windows' where they differ).
#include <gtest/gtest.h>

#include "ini_agreement_cases.h"
#include "sim_fixture.h"

namespace {

using namespace tvx::ini_table;

TEST(IniAgreement, SimulatedMachineAnswersEveryTableInputAsWindows) {
    ASSERT_GE(Cases().size(), 30u);
    for (const IniCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        tvx::test::SimRig rig;
        ASSERT_TRUE(WriteTableFiles());
        EXPECT_EQ(Check(c, RunCase(c), Reference::Windows), "");
        rig.ExpectClean();
    }
}

}  // namespace
