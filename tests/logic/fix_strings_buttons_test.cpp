// CFixStrings: which buttons each device's pass handles, where their names come from, and what is
// written to their event keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/logic/fix_strings_rig.h"
#include "inf/fix_strings.h"

namespace {

using tvx::test::FixStringsRig;
using tvx::test::kFixParamsKey;

class FixStringsButtonsTest : public ::testing::Test {
protected:
    void TearDown() override { rig.ExpectClean(); }
    int Run() {
        CFixStrings fix(kFixParamsKey);
        return fix.FixLocButRegStrings();
    }
    // Whether each of the buttons was rewritten on a device.
    std::string Handled(const std::string& driver, const std::vector<std::string>& buttons) {
        std::string out;
        for (const std::string& b : buttons) out += b + (rig.Event(driver, b, "") == "INF text" ? "=kept " : "=fixed ");
        return out;
    }
    FixStringsRig rig;
};

TEST_F(FixStringsButtonsTest, RegistryButtonNamesChooseTheButtonsOfEveryDevice) {
    rig.InstallSoftware();
    rig.Texts("Deutsch");
    rig.Param("ButNameInf1", "ScanButton");
    rig.Param("ButNameInf2", "CopyButton");
    for (const char* driver : {"0000", "0001"}) {
        rig.Device(std::string("USB\\VID_1A2B&PID_0920\\") + driver, driver);
        for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) rig.EventKey(driver, button);
    }
    EXPECT_EQ(Run(), 0);
    for (const char* driver : {"0000", "0001"}) {
        SCOPED_TRACE(driver);
        EXPECT_EQ(Handled(driver, {"ScanButton", "CopyButton", "EmailButton"}),
                  "ScanButton=fixed CopyButton=fixed EmailButton=kept ");
        EXPECT_EQ(rig.Event(driver, "ScanButton", ""), "Deutsch ScanButton description");
        EXPECT_EQ(rig.Event(driver, "ScanButton", "FriendlyName"), "Deutsch ScanButton name");
        EXPECT_EQ(rig.Event(driver, "ScanButton", "LaunchApplications"), "Deutsch scan applications");
        EXPECT_EQ(rig.Event(driver, "CopyButton", "LaunchApplications"), "Deutsch copy applications");
    }
}

TEST_F(FixStringsButtonsTest, WithoutRegistryNamesTheEventsSectionsKeysAreTheButtons) {
    rig.InstallSoftware();
    rig.Texts("Français");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
    for (const char* driver : {"0000", "0001"})
        for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) rig.EventKey(driver, button);
    EXPECT_EQ(Run(), 0);
    for (const char* driver : {"0000", "0001"}) {
        SCOPED_TRACE(driver);
        EXPECT_EQ(Handled(driver, {"ScanButton", "CopyButton", "EmailButton"}),
                  "ScanButton=fixed CopyButton=fixed EmailButton=fixed ");
        EXPECT_EQ(rig.Event(driver, "EmailButton", "FriendlyName"), "Français EmailButton name");
    }
    const std::string log = rig.RepairLog();
    EXPECT_NE(log.find("Button Name\tScanButton\r\n"), std::string::npos);
    EXPECT_LT(log.find("Button Name\tScanButton"), log.find("Button Name\tCopyButton"));
    EXPECT_LT(log.find("Button Name\tCopyButton"), log.find("Button Name\tEmailButton"));
}

TEST_F(FixStringsButtonsTest, AButtonNamedEndEndsTheDevicesPass) {
    struct Case {
        const char* name;
        bool registry;
        const char* inf;
    } cases[] = {
        {"registry", true, tvx::test::kFixInf},
        {"inf", false,
         "[Scanner.Events]\r\nScanButton = %ScanButton.Desc%,{x},%ScanApps%\r\nend = %x%\r\n"
         "CopyButton = %CopyButton.Desc%,{x},%CopyApps%\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixStringsRig rig(c.name);
        rig.InstallSoftware(c.inf);
        rig.Texts("Italiano");
        if (c.registry) {
            rig.Param("ButNameInf1", "ScanButton");
            rig.Param("ButNameInf2", "end");
            rig.Param("ButNameInf3", "CopyButton");
        }
        rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
        rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
        for (const char* driver : {"0000", "0001"})
            for (const char* button : {"ScanButton", "CopyButton", "end"}) rig.EventKey(driver, button);
        {
            CFixStrings fix(kFixParamsKey);
            EXPECT_EQ(fix.FixLocButRegStrings(), 0);
        }
        for (const char* driver : {"0000", "0001"}) {
            SCOPED_TRACE(driver);
            EXPECT_EQ(rig.Event(driver, "ScanButton", ""), "Italiano ScanButton description");
            EXPECT_EQ(rig.Event(driver, "end", ""), "INF text");
            EXPECT_EQ(rig.Event(driver, "CopyButton", ""), "INF text");
        }
        EXPECT_EQ(rig.RepairLog().find("Button Name\tend"), std::string::npos);
        rig.ExpectClean();
    }
}

TEST_F(FixStringsButtonsTest, AtMost99ButtonsPerDevice) {
    // Every button's description token is its own.
    std::string inf = "[Scanner.Events]\r\n";
    for (int i = 1; i <= 120; ++i)
        inf += "Button" + std::to_string(i) + " = %Button" + std::to_string(i) + ".Desc%,{x},%Apps%\r\n";
    rig.InstallSoftware(inf.c_str());
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
    for (int i = 1; i <= 120; ++i) {
        const std::string button = "Button" + std::to_string(i);
        rig.Param("ButNameInf" + std::to_string(i), button);
        rig.Param(button + ".Desc", "text " + std::to_string(i));
        for (const char* driver : {"0000", "0001"}) rig.EventKey(driver, button);
    }
    EXPECT_EQ(Run(), 0);
    for (const char* driver : {"0000", "0001"}) {
        SCOPED_TRACE(driver);
        EXPECT_EQ(rig.Event(driver, "Button1", ""), "text 1");
        EXPECT_EQ(rig.Event(driver, "Button99", ""), "text 99");
        EXPECT_EQ(rig.Event(driver, "Button100", ""), "INF text");
        EXPECT_EQ(rig.Event(driver, "Button120", ""), "INF text");
    }
}

TEST_F(FixStringsButtonsTest, EveryDeviceStartsTheInfsButtonsAtTheFirst) {
    std::string inf = "[Scanner.Events]\r\n";
    for (int i = 1; i <= 20; ++i) inf += "B" + std::to_string(i) + " = %B" + std::to_string(i) + ".Desc%\r\n";
    rig.InstallSoftware(inf.c_str());
    for (int i = 1; i <= 20; ++i) rig.Param("B" + std::to_string(i) + ".Desc", "text " + std::to_string(i));
    // The first device has no driver key: its pass reads one name and leaves.
    rig.Device("USB\\VID_1A2B&PID_0920\\0", "");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
    for (const char* driver : {"0000", "0001"})
        for (const char* button : {"B1", "B2", "B20"}) rig.EventKey(driver, button);
    EXPECT_EQ(Run(), 0);
    for (const char* driver : {"0000", "0001"}) {
        SCOPED_TRACE(driver);
        EXPECT_EQ(rig.Event(driver, "B1", ""), "text 1");
        EXPECT_EQ(rig.Event(driver, "B2", ""), "text 2");
        EXPECT_EQ(rig.Event(driver, "B20", ""), "text 20");
    }
}

TEST_F(FixStringsButtonsTest, AnEventKeyWithoutDefaultValueIsLeftAlone) {
    rig.InstallSoftware();
    rig.Texts("Español");
    rig.Param("ButNameInf1", "ScanButton");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
    rig.EventKey("0000", "ScanButton", "");
    rig.EventKey("0001", "ScanButton");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(rig.Event("0000", "ScanButton", ""), "<missing>");
    EXPECT_EQ(rig.Event("0000", "ScanButton", "FriendlyName"), "INF name");
    EXPECT_EQ(rig.Event("0000", "ScanButton", "LaunchApplications"), "INF apps");
    EXPECT_EQ(rig.Event("0001", "ScanButton", "FriendlyName"), "Español ScanButton name");
    // A button without an event key at all is left alone too.
    EXPECT_FALSE(rig.Registry().FindKey(plat::sim::Hive::LocalMachine,
                                        tvx::test::kFixImageClassKey + "\\0000\\Events\\CopyButton"));
}

TEST_F(FixStringsButtonsTest, EveryImagingDeviceIsVisitedWhateverItsMakeButNoOtherClass) {
    const char* kOtherClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
    rig.InstallSoftware();
    rig.Texts("Nederlands");
    rig.Param("ButNameInf1", "ScanButton");
    rig.Device("USB\\VID_04B8&PID_0001\\OTHERMAKE", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\UNPLUGGED", "0001", plat::text::kImageClassGuid, false);
    rig.Device("USB\\VID_1A2B&PID_0920\\SOUND", "0000", "{4D36E96C-E325-11CE-BFC1-08002BE10318}");
    rig.EventKey("0000", "ScanButton");
    rig.EventKey("0001", "ScanButton");
    rig.EventKey("0000", "ScanButton", "INF text", kOtherClassKey);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(rig.Event("0000", "ScanButton", ""), "Nederlands ScanButton description");
    EXPECT_EQ(rig.Event("0001", "ScanButton", ""), "Nederlands ScanButton description");
    EXPECT_EQ(rig.Event("0000", "ScanButton", "", kOtherClassKey), "INF text");
}

TEST_F(FixStringsButtonsTest, ATextThatCannotBeReadIsNotWrittenAndNoOtherButtonsTextTakesItsPlace) {
    // ScanButton has all its texts; CopyButton's description text is missing from the parameters
    // key, its friendly-name line is missing from the INF and its Events line has no third field.
    rig.InstallSoftware(
        "[Scanner.Events]\r\n"
        "ScanButton = %ScanButton.Desc%,{x},%ScanApps%\r\n"
        "CopyButton = %CopyButton.Desc%\r\n"
        "EmailButton = %%,{x},%EmailApps%\r\n"
        "[Scanner.EvtReg]\r\n"
        "HKR,Events\\ScanButton,FriendlyName,,%ScanButton.FriendlyName%\r\n"
        "HKR,Events\\EmailButton,FriendlyName,,%EmailButton.FriendlyName%\r\n");
    for (const char* token : {"ScanButton.Desc", "ScanButton.FriendlyName", "ScanApps", "CopyButton.FriendlyName",
                              "CopyApps", "EmailButton.Desc", "EmailButton.FriendlyName", "EmailApps"})
        rig.Param(token, std::string("Svenska ") + token);
    rig.Param("", "key default");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) rig.EventKey("0000", button);
    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(rig.Event("0000", "ScanButton", ""), "Svenska ScanButton.Desc");
    EXPECT_EQ(rig.Event("0000", "ScanButton", "FriendlyName"), "Svenska ScanButton.FriendlyName");
    EXPECT_EQ(rig.Event("0000", "CopyButton", ""), "INF text");
    EXPECT_EQ(rig.Event("0000", "CopyButton", "FriendlyName"), "INF name");
    EXPECT_EQ(rig.Event("0000", "CopyButton", "LaunchApplications"), "INF apps");
    // An empty token names no text (not the key's default value).
    EXPECT_EQ(rig.Event("0000", "EmailButton", ""), "INF text");
    EXPECT_EQ(rig.Event("0000", "EmailButton", "FriendlyName"), "Svenska EmailButton.FriendlyName");
    EXPECT_EQ(rig.Event("0000", "EmailButton", "LaunchApplications"), "Svenska EmailApps");
}

TEST_F(FixStringsButtonsTest, AUnicodeInfGivesEveryTextButTheFriendlyNames) {
    // The INI queries read a UTF-16 INF as Windows does: its Events sections, their buttons and
    // their tokens are found. The friendly-name scan reads the file's bytes as 8-bit text and finds
    // no header line in them, so FriendlyName is handled as for a button without its line.
    rig.InstallSoftware(tvx::test::Utf16LeInf(tvx::test::kFixInf));
    rig.Texts("Dansk");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) rig.EventKey("0000", button);
    EXPECT_EQ(Run(), 0);
    for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) {
        SCOPED_TRACE(button);
        EXPECT_EQ(rig.Event("0000", button, ""), std::string("Dansk ") + button + " description");
        EXPECT_EQ(rig.Event("0000", button, "FriendlyName"), "INF name");
    }
    EXPECT_EQ(rig.Event("0000", "ScanButton", "LaunchApplications"), "Dansk scan applications");
    EXPECT_EQ(rig.Event("0000", "EmailButton", "LaunchApplications"), "Dansk email applications");
    const std::string log = rig.RepairLog();
    EXPECT_NE(log.find("retrieved section Scanner.Events in inf C:\\Drivers\\tvx.inf"), std::string::npos) << log;
    EXPECT_NE(log.find("Button Name\tEmailButton\r\n"), std::string::npos) << log;
}

TEST(FixStringsNames, TheEvtRegSectionReplacesAtMostSevenCharactersFromTheLastDot) {
    struct Case {
        const char* events;
        const char* evtreg;
    } cases[] = {
        {"Scanner.Events", "Scanner.EvtReg"},
        {"X.Events.NT", "X.Events.EvtReg"},
        {"X.Events.NTamd64", "X.Events.EvtReg4"},
        {"A.B.Events", "A.B.EvtReg"},
        {".Events", ".EvtReg"},
        {"X.EventsABC", "X.EvtRegABC"},
        // A name without a dot has nothing to replace.
        {"ScannerEvents", "ScannerEvents"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.events);
        EXPECT_EQ(CFixStrings::EvtRegSectionName(c.events), c.evtreg);
    }
}

}  // namespace
