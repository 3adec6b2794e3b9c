// The firmware update tool on the install disc: found, started in its folder in automatic mode,
// and waited for until it ends, however long that takes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "tests/logic/install_rig.h"

namespace {

using namespace tvx::test;

// A machine description holding only how started programs behave.
tvx::MachineDescription Programs(std::vector<tvx::ProgramSetup> programs) {
    tvx::MachineDescription m;
    m.programs = std::move(programs);
    return m;
}

class FirmwareTest : public SimTest {
protected:
    void TearDown() override {
        ext.reset();
        SimTest::TearDown();
    }
    std::optional<CSetupExtensionQ920k> ext{std::in_place};
};

const std::string head = "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n";

TEST_F(FirmwareTest, TheToolRunsInItsFolderAndIsWaitedForToTheEnd) {
    AddDisc(rig, 'D', {});
    AddToMachine(rig, Programs({tvx::ProgramSetup{.path = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe", .run_time_ms = 95000}}));
    ext->RunFirmwareUpdate();

    ASSERT_EQ(rig.machine.process().started().size(), 1u);
    const auto& p = rig.machine.process().started()[0];
    EXPECT_EQ(p.command_line, kFirmwareCommand);
    EXPECT_EQ(p.directory, kFirmwareFolder) << "the tool's folder, not the drive root";
    EXPECT_EQ(p.creation_flags, DWORD(CREATE_NEW_CONSOLE));
    EXPECT_EQ(p.startup_flags, DWORD(STARTF_FORCEONFEEDBACK));
    EXPECT_EQ(p.show_window, WORD(SW_SHOWNORMAL));
    ASSERT_EQ(rig.machine.process().waits().size(), 1u);
    const auto& w = rig.machine.process().waits()[0];
    EXPECT_EQ(w.timeout_ms, DWORD(INFINITE));
    EXPECT_EQ(w.waited_ms, 95000u);
    EXPECT_EQ(w.result, DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(rig.machine.clock().now_ms(), 95000u);
    EXPECT_EQ(rig.machine.handles().open_count(), 2u)
        << "process and thread closed; the log's stream and its file handle stay";
    EXPECT_EQ(LogLines(rig), head +
                                 "strLaunchAppFromCoinstallerExe = D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto\r\n"
                                 "CreateProcess returned 1\r\n"
                                 "CreateProcess succeeded and returned 1\r\n"
                                 "Child process exited\r\n");
}

TEST(Firmware, NothingStartsWithoutDiscOrTool) {
    struct Case {
        const char* name;
        std::optional<DiscContent> disc;
        const char* log;
    } cases[] = {
        {"no disc", std::nullopt, "Could not find CD\r\n"},
        {"disc without the tool", DiscContent{.firmware = false},
         "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe was not found on CD\r\n"},
        {"tool folder without the tool", DiscContent{.firmware = false, .extra = {"fwUpdate/readme.txt"}},
         "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe was not found on CD\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig({}, c.name);
        if (c.disc) AddDisc(rig, 'D', *c.disc);
        {
            CSetupExtensionQ920k ext;
            std::string cmd = "<unset>", folder = "<unset>";
            EXPECT_FALSE(ext.FindFirmwareTool(cmd, folder));
            ext.RunFirmwareUpdate();
        }
        EXPECT_TRUE(rig.machine.process().started().empty());
        EXPECT_EQ(LogLines(rig), head + c.log + c.log + "HH:MM:SS\tMM/DD/YY\t\r\nEnd Log\r\n\r\n");
        rig.ExpectClean();
    }
}

TEST_F(FirmwareTest, TheToolIsFoundInAnyLetterCaseAndStartedUnderItsOwnName) {
    AddDisc(rig, 'D', {.firmware = false, .extra = {"FWUPDATE/TarvixFirmwareUpdateTool.EXE"}});
    std::string cmd, folder;
    EXPECT_TRUE(ext->FindFirmwareTool(cmd, folder));
    EXPECT_EQ(cmd, kFirmwareCommand);
    EXPECT_EQ(folder, kFirmwareFolder);
}

TEST_F(FirmwareTest, AToolThatCannotStartIsLoggedAndNotWaitedFor) {
    AddDisc(rig, 'D', {});
    plat::host::Layer().FailCall("CreateProcessA", ERROR_ACCESS_DENIED);
    ext->RunFirmwareUpdate();
    EXPECT_TRUE(rig.machine.process().waits().empty());
    EXPECT_EQ(LogLines(rig), head +
                                 "strLaunchAppFromCoinstallerExe = D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto\r\n"
                                 "CreateProcess returned 0\r\n"
                                 "CreateProcess failed, GetLastError returned: 5\r\n");
}

TEST_F(FirmwareTest, AToolThatNeverEndsIsWaitedForWithoutLimit) {
    AddDisc(rig, 'D', {});
    AddToMachine(rig, Programs({tvx::ProgramSetup{.path = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe", .never_ends = true}}));
    // The simulated machine cannot let time run forever: it stops the wait and says so.
    EXPECT_THROW(ext->RunFirmwareUpdate(), plat::sim::WaitsForever);
    ASSERT_EQ(rig.machine.process().waits().size(), 1u);
    EXPECT_EQ(rig.machine.process().waits()[0].timeout_ms, DWORD(INFINITE));
    EXPECT_EQ(LogLines(rig).find("Child process exited"), std::string::npos);
    // Stopping the step still closed the process and thread handles it held (the log's stream and
    // its file handle stay).
    EXPECT_EQ(rig.machine.handles().open_count(), 2u) << ::testing::PrintToString(rig.machine.handles().Describe());
}

TEST_F(FirmwareTest, FileSearchesMatchAnyEntryAndWildcards) {
    AddDisc(rig, 'D', {});
    EXPECT_TRUE(CSetupExtension::FileExists("D:\\fwUpdate"));
    EXPECT_TRUE(CSetupExtension::FileExists("D:\\FWUPDATE\\TARVIX*.EXE"));
    EXPECT_TRUE(CSetupExtension::FileExists("D:\\*.inf"));
    EXPECT_FALSE(CSetupExtension::FileExists("D:\\fwUpdate\\*.txt"));
    EXPECT_FALSE(CSetupExtension::FileExists("D:\\missing\\tool.exe"));
    EXPECT_FALSE(CSetupExtension::FileExists("Q:\\setup.exe"));
}

}  // namespace
