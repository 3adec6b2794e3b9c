// CReadInf's friendly-name scan over the INF's raw text: where it looks, what it takes, and where
// it stops.
#include <gtest/gtest.h>

#include <string>

#include "inf/read_inf.h"
#include "platform/text/ansi.h"
#include "platform/text/encoding.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

constexpr const char* kText =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "[Scanner.EvtReg]\r\n"
    "HKR,Events\\ScanButton,,,%ScanButton.Desc%\r\n"
    "HKR,Events\\ScanButton,FriendlyName,,%ScanButton.FriendlyName%\r\n"
    "HKR,Events\\CopyButton,FriendlyName,,%CopyButton.FriendlyName\r\n"
    "HKR,Events\\NoToken,FriendlyName,,Plain text\r\n"
    " [Indented.EvtReg]\r\n"
    "HKR,Events\\AfterIndent,FriendlyName,,%AfterIndent.Name%\r\n"
    "[Other.EvtReg]\r\n"
    "HKR,Events\\EmailButton,FriendlyName,,%Email.Name%\r\n"
    " [Late.EvtReg]\r\n"
    "[Last.EvtReg]\r\n"
    "HKR,Events\\ScanButton,,,%Last.Desc%";

class ReadInfFriendlyNameTest : public SimTest {
protected:
    void SetUp() override { rig.machine.files().WriteFile("C:\\Drivers\\tvx.inf", kText); }
};

TEST_F(ReadInfFriendlyNameTest, TakesTheTokenOfTheButtonsLineInTheSection) {
    struct Case {
        const char* section;
        const char* button;
        bool ok;
        const char* token;  // "<unset>": left alone
    } cases[] = {
        {"Scanner.EvtReg", "ScanButton", true, "ScanButton.FriendlyName"},
        // Without a closing '%' the token runs to the end of the line (its CR LF is no part of it).
        {"Scanner.EvtReg", "CopyButton", true, "CopyButton.FriendlyName"},
        // A line without '%' is passed over; the section ends before another match.
        {"Scanner.EvtReg", "NoToken", false, "<unset>"},
        // An empty button name takes the first FriendlyName line with a token.
        {"Scanner.EvtReg", "", true, "ScanButton.FriendlyName"},
        // A header is found by substring.
        {"EvtReg", "ScanButton", true, "ScanButton.FriendlyName"},
        // The next header ends the section: the later section's line is not found.
        {"Scanner.EvtReg", "EmailButton", false, "<unset>"},
        // An indented header is no header: it does not end the section above it...
        {"Scanner.EvtReg", "AfterIndent", true, "AfterIndent.Name"},
        // ...and is not found as a section.
        {"Late.EvtReg", "", false, "<unset>"},
        {"Indented.EvtReg", "AfterIndent", false, "<unset>"},
        // The last section holds no matching line: the end of the file ends the search.
        {"Last.EvtReg", "ScanButton", false, "<unset>"},
        {"Missing.EvtReg", "ScanButton", false, "<unset>"},
        // Names and headers are compared by case.
        {"scanner.evtreg", "ScanButton", false, "<unset>"},
        {"Scanner.EvtReg", "scanbutton", false, "<unset>"},
    };
    CReadInf inf("C:\\Drivers\\", "tvx.inf");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " / " + c.button);
        std::string token = "<unset>";
        EXPECT_EQ(inf.GetButLocValueName(c.section, c.button, token), c.ok);
        EXPECT_EQ(token, c.token);
        EXPECT_EQ(rig.machine.handles().open_count(), 0u) << "the stream is closed again";
    }
}

TEST_F(ReadInfFriendlyNameTest, ReadsTheFileAsTextModeDoes) {
    // LF alone ends a line too, a lone CR stays in the line, and Ctrl-Z ends the file.
    rig.machine.files().WriteFile("C:\\Drivers\\lf.inf",
                                  "[A.EvtReg]\nX,FriendlyName,%Lf.Name%\n[B.EvtReg]\nY,FriendlyName,%Cr\rtail\n"
                                  "[C.EvtReg]\r\n\x1AZ,FriendlyName,%Hidden%\r\n");
    CReadInf inf("C:\\Drivers\\", "lf.inf");
    std::string token;
    EXPECT_TRUE(inf.GetButLocValueName("A.EvtReg", "X", token));
    EXPECT_EQ(token, "Lf.Name");
    EXPECT_TRUE(inf.GetButLocValueName("B.EvtReg", "", token));
    EXPECT_EQ(token, "Cr\rtail");
    token = "<unset>";
    EXPECT_FALSE(inf.GetButLocValueName("C.EvtReg", "Z", token));
    EXPECT_EQ(token, "<unset>");
}

TEST_F(ReadInfFriendlyNameTest, AFileThatCannotBeReadGivesNothing) {
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
                                         "[Scanner.EvtReg]\r\n") +
                             kText;
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
