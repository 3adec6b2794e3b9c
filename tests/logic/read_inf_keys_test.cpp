// CReadInf's key walk: one walk per reader, continued across sections, and its end. Its table is
// shared with the contract suite (tests/contract/inf_reader_cases.h), so that it runs on both
// machines: here on the simulated one.
#include <gtest/gtest.h>

#include <string>

#include "inf/read_inf.h"
#include "tests/contract/inf_reader_cases.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;
using namespace tvx::inf_reader_table;

class ReadInfKeysTest : public SimTest {};

TEST_F(ReadInfKeysTest, TheSharedTable) {
    const std::string folder = "C:\\Drivers\\";
    for (const InfFile& f : AnsiFiles()) rig.machine.files().WriteFile(folder + f.name, f.bytes);
    for (const KeyStepsCase& c : KeyStepsCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RunKeySteps(folder, c, Form::Ansi), "");
    }
}

}  // namespace
