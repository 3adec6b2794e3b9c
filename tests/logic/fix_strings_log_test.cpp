// CFixStrings' log "_scan_buttons.log": its exact lines for a missing parameters key, a missing
// INF, two Events sections, and a device without a driver key.
#include <gtest/gtest.h>

#include <string>

#include "tests/logic/fix_strings_rig.h"
#include "inf/fix_strings.h"

namespace {

using tvx::test::FixStringsRig;
using tvx::test::kFixParamsKey;

constexpr const char* kOpening =
    "FixLocButRegStrings\tAt Beginning\r\n"
    "Parameters Key\tSOFTWARE\\Tarvix\\tvx\\Params\r\n";

class FixStringsLogTest : public ::testing::Test {
protected:
    void TearDown() override { rig.ExpectClean(); }
    int Run(const char* key = kFixParamsKey) {
        CFixStrings fix(key);
        return fix.FixLocButRegStrings();
    }
    FixStringsRig rig;
};

TEST_F(FixStringsLogTest, AMissingParametersKeyLogsOneLineAndTouchesNothing) {
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.EventKey("0000", "ScanButton");
    EXPECT_EQ(Run(), 1);
    // The whole file: the logger's frame, the two opening lines and the one failure line.
    EXPECT_EQ(rig.Log("_scan_buttons.log"), std::string("09:30:00\t12/10/26\t\r\nStart Log\r\n") + kOpening +
                                                "Could not read key SOFTWARE\\Tarvix\\tvx\\Params\r\n"
                                                "09:30:00\t12/10/26\t\r\nEnd Log\r\n\r\n");
    EXPECT_EQ(rig.Event("0000", "ScanButton", ""), "INF text");
    EXPECT_FALSE(rig.Called("SetupDiEnumDeviceInfo"));
    EXPECT_FALSE(rig.Called("GetPrivateProfileStringA"));
}

TEST_F(FixStringsLogTest, TheParametersKeyIsLookedForInThe32BitView) {
    // Present only in the native view: not found.
    rig.Registry().SetString(plat::sim::Hive::LocalMachine, kFixParamsKey, "InfName", "tvx.inf");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(rig.RepairLog(), std::string(kOpening) + "Could not read key SOFTWARE\\Tarvix\\tvx\\Params\r\n");
}

// An empty key text names HKEY_LOCAL_MACHINE itself: it is present, holds none of the values, and
// its handle, which the registry hands back as it is, stays open (the clean check fails on a
// closed predefined key).
TEST_F(FixStringsLogTest, AnEmptyKeyTextReadsTheMachineKeyItselfAndLeavesItOpen) {
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(rig.RepairLog(), "FixLocButRegStrings\tAt Beginning\r\n"
                               "Parameters Key\t\r\n"
                               "Failed to retrieve DriverFolder data from registry:\r\n"
                               "Failed to retrieve InfName data from registry:\r\n");
}

TEST_F(FixStringsLogTest, MissingFolderAndNameAreLoggedAndNoSectionIsFound) {
    rig.Param("Other", "x");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(rig.RepairLog(), std::string(kOpening) +
                                   "Failed to retrieve DriverFolder data from registry:\r\n"
                                   "Failed to retrieve InfName data from registry:\r\n");
}

TEST_F(FixStringsLogTest, TwoEventsSectionsRunTheWholeDeviceWalkTwice) {
    rig.InstallSoftware(
        "[A.Events]\r\nScanButton = %A.Desc%,{x},%A.Apps%\r\n"
        "[A.EvtReg]\r\nHKR,Events\\ScanButton,FriendlyName,,%A.Name%\r\n"
        "[B.Events]\r\nScanButton = %B.Desc%,{x},%B.Apps%\r\n"
        "[B.EvtReg]\r\nHKR,Events\\ScanButton,FriendlyName,,%B.Name%\r\n");
    for (const char* token : {"A.Desc", "A.Apps", "A.Name", "B.Desc", "B.Apps", "B.Name"})
        rig.Param(token, std::string("text of ") + token);
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
    rig.EventKey("0000", "ScanButton");
    EXPECT_EQ(Run(), 0);

    auto pass = [](const std::string& section) {
        const std::string s = section.substr(0, 1);
        return "retrieved section " + section + " in inf C:\\Drivers\\tvx.inf\r\n"
               "SetupDiEnumDeviceInfo returned 1, m_idx = 0\r\n"
               "Succeeded in obtaining software key\r\n"
               "Button Name\tScanButton\r\n"
               "szButStrNameInf\t" + s + ".Desc\r\n"
               "Default String\ttext of " + s + ".Desc\r\n"
               "FriendlyName\ttext of " + s + ".Name\r\n"
               "LaunchApplications String\ttext of " + s + ".Apps\r\n"
               "SetupDiEnumDeviceInfo returned 1, m_idx = 1\r\n"
               "Succeeded in obtaining software key\r\n"
               "Button Name\tScanButton\r\n"
               "SetupDiEnumDeviceInfo returned 0, m_idx = 2\r\n"
               "EnumImagingDevices terminating condition, m_idx = 2\r\n";
    };
    EXPECT_EQ(rig.RepairLog(), std::string(kOpening) + pass("A.Events") + pass("B.Events"));
    // The second section's texts are the ones that stay.
    EXPECT_EQ(rig.Event("0000", "ScanButton", ""), "text of B.Desc");
    EXPECT_EQ(rig.Event("0000", "ScanButton", "FriendlyName"), "text of B.Name");
}

TEST_F(FixStringsLogTest, ADeviceWithoutDriverKeyIsLoggedWithTheLastError) {
    rig.InstallSoftware();
    rig.Texts("Polski");
    rig.Param("ButNameInf1", "ScanButton");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(rig.RepairLog(), std::string(kOpening) +
                                   "retrieved section Scanner.Events in inf C:\\Drivers\\tvx.inf\r\n"
                                   "SetupDiEnumDeviceInfo returned 1, m_idx = 0\r\n"
                                   "Failed to obtain software key\r\n"
                                   // ERROR_KEY_DOES_NOT_EXIST, 0xE0000204, as a signed number
                                   "GetLastError() returned -536870396\r\n"
                                   "SetupDiEnumDeviceInfo returned 0, m_idx = 1\r\n"
                                   "EnumImagingDevices terminating condition, m_idx = 1\r\n");
}

TEST_F(FixStringsLogTest, AButtonWithoutItsEventsLineLogsTheThreeTexts) {
    rig.InstallSoftware();
    rig.Texts("Dansk");
    rig.Param("ButNameInf1", "FaxButton");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.EventKey("0000", "FaxButton");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(rig.RepairLog(), std::string(kOpening) +
                                   "retrieved section Scanner.Events in inf C:\\Drivers\\tvx.inf\r\n"
                                   "SetupDiEnumDeviceInfo returned 1, m_idx = 0\r\n"
                                   "Succeeded in obtaining software key\r\n"
                                   "Button Name\tFaxButton\r\n"
                                   "szEventsSec = Scanner.Events\r\n"
                                   "szButNameInf = FaxButton\r\n"
                                   "szButStrNameInf = Cannot find key in inf\r\n"
                                   "szButStrNameInf\tCannot find key in inf\r\n"
                                   "Default String\t\r\n"
                                   "FriendlyName\t\r\n"
                                   "LaunchApplications String\t\r\n"
                                   "SetupDiEnumDeviceInfo returned 0, m_idx = 1\r\n"
                                   "EnumImagingDevices terminating condition, m_idx = 1\r\n");
    EXPECT_EQ(rig.Event("0000", "FaxButton", ""), "INF text");
    EXPECT_EQ(rig.Event("0000", "FaxButton", "FriendlyName"), "INF name");
}

}  // namespace
