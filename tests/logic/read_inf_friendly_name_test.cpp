// CReadInf's friendly-name scan over the INF's raw text: where it looks, what it takes, and where
// it stops. Its table is shared with the contract suite (tests/contract/inf_reader_cases.h), so
// that it runs on both machines: here on the simulated one.
#include <gtest/gtest.h>

#include <string>

#include "inf/read_inf.h"
#include "tests/contract/inf_reader_cases.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

using namespace tvx::inf_reader_table;

class ReadInfFriendlyNameTest : public SimTest {};

TEST_F(ReadInfFriendlyNameTest, TakesTheTokenOfTheButtonsLineInTheSection) {
    const std::string folder = "C:\\Drivers\\";
    for (const InfFile& f : AnsiFiles()) rig.machine.files().WriteFile(folder + f.name, f.bytes);
    for (const FriendlyCase& c : FriendlyCases()) {
        SCOPED_TRACE(std::string(c.file) + " [" + c.section + "] " + c.button);
        EXPECT_EQ(RunFriendly(folder, c, Form::Ansi), "");
        EXPECT_EQ(rig.machine.handles().open_count(), 0u) << "the stream is closed again";
    }
}

TEST_F(ReadInfFriendlyNameTest, AFileThatCannotBeReadGivesNothing) {
    // C:\Drivers is a folder, with an INF in it.
    rig.machine.files().WriteFile("C:\\Drivers\\tvx.inf", "[Scanner.EvtReg]\r\nX,ScanButton,FriendlyName,%T%\r\n");
    struct Case {
        const char* folder;
        const char* name;
    } cases[] = {{"C:\\Drivers\\", "missing.inf"}, {"C:\\NoFolder\\", "tvx.inf"}, {"", ""}, {"C:\\", "Drivers"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + c.name);
        CReadInf inf(c.folder, c.name);
        std::string token = "<unset>";
        EXPECT_FALSE(inf.GetButLocValueName("Scanner.EvtReg", "ScanButton", token));
        EXPECT_EQ(token, "<unset>");
    }
}

}  // namespace
