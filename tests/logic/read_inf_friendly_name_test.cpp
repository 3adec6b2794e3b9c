// CReadInf's friendly-name scan over the INF's raw text: where it looks, what it takes, and where
// it stops. Its table is shared with the contract suite (tests/contract/inf_reader_cases.h), so
// that it runs on both machines: here on the simulated one.
#include <gtest/gtest.h>

#include <string>

#include "inf/read_inf.h"
#include "platform/text/ansi.h"
#include "platform/text/encoding.h"
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

// A UTF-16 INF (little-endian, with its mark): the INI queries read it as Unicode, so the section
// walk, the key walk and the fields work; the scan reads its bytes, in which no line starts with
// '[' (each character's second byte is NUL), and finds nothing.
TEST(ReadInfUnicode, TheIniQueriesReadItAndTheFriendlyNameScanFindsNothing) {
    tvx::test::SimRig rig;
    const std::string text = std::string("[Version]\r\n"
                                         "Signature=\"$Windows NT$\"\r\n"
                                         "[Scanner.Events]\r\n"
                                         "ScanButton = %ScanButton.Desc%,{x},%ScanApps%\r\n"
                                         "[Scanner.EvtReg]\r\n"
                                         "HKR,Events\\ScanButton,FriendlyName,,%ScanButton.FriendlyName%\r\n");
    rig.machine.files().WriteFile("C:\\Drivers\\wide.inf",
                                  "\xFF\xFE" + plat::text::Utf16LeBytes(plat::text::AnsiToUtf16(text)));
    {
        CReadInf inf("C:\\Drivers\\", "wide.inf");
        std::string section = ".Events";
        EXPECT_TRUE(inf.FindNextSection(section));
        EXPECT_EQ(section, "Scanner.Events");
        std::string key;
        EXPECT_TRUE(inf.GetNextKeyName("Scanner.Events", key));
        EXPECT_EQ(key, "ScanButton");
        std::string token;
        EXPECT_TRUE(inf.GetStringValueName("Scanner.Events", "ScanButton", token));
        EXPECT_EQ(token, "ScanButton.Desc");
        EXPECT_TRUE(inf.GetAppValueName("Scanner.Events", "ScanButton", token));
        EXPECT_EQ(token, "ScanApps");
        token = "<unset>";
        EXPECT_FALSE(inf.GetButLocValueName("Scanner.EvtReg", "ScanButton", token));
        EXPECT_FALSE(inf.GetButLocValueName("", "", token));
        EXPECT_EQ(token, "<unset>");
    }
    rig.ExpectClean();
}

}  // namespace
