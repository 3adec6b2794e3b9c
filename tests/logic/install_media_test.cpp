// The install disc: which drive holds it, how the base class and the Q920k recognise it, and how
// its setup program is started or registered to run once.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "tests/logic/install_rig.h"

namespace {

using plat::sim::Hive;
using namespace tvx::test;


// The Q920k, recording which drives its disc test was asked about.
class DiscProbe : public CSetupExtensionQ920k {
public:
    std::vector<char> tested;
    int IsInstallMedia(char driveLetter) override {
        tested.push_back(driveLetter);
        return CSetupExtensionQ920k::IsInstallMedia(driveLetter);
    }
};

// The base class's disc test and texts, with the software folder under the test's control.
class BaseDiscRules : public CSetupExtensionQ920k {
public:
    std::string folder = "tvsw\\";
    std::string GetMediaSoftwareFolder() override { return folder; }
    std::string GetSetupArguments() override { return CSetupExtension::GetSetupArguments(); }
    int IsInstallMedia(char driveLetter) override { return CSetupExtension::IsInstallMedia(driveLetter); }
};

class InstallMediaTest : public SimTest {
protected:
    void TearDown() override {
        ext.reset();
        base.reset();
        SimTest::TearDown();
    }
    std::optional<DiscProbe> ext{std::in_place};
    std::optional<BaseDiscRules> base;
};

TEST(InstallMediaSearch, EveryOpticalDriveInLetterOrderAndTheFirstDiscWins) {
    struct Drives {
        const char* name;
        void (*setUp)(SimRig&);
        char found;
        const char* tested;  // the drives the disc test was asked about, in order
    } cases[] = {
        {"no optical drive", [](SimRig&) {}, 0, ""},
        {"an empty optical drive", [](SimRig& r) { AddEmptyDrive(r, 'D'); }, 0, "D"},
        {"a disc without the INF", [](SimRig& r) { AddDisc(r, 'D', DiscContent{.inf = false}); }, 0, "D"},
        {"the disc in D", [](SimRig& r) { AddDisc(r, 'D', {}); }, 'D', "D"},
        {"two discs: the lower letter wins",
         [](SimRig& r) {
             AddDisc(r, 'F', {});
             AddDisc(r, 'E', {});
         },
         'E', "E"},
        {"an empty drive before the disc",
         [](SimRig& r) {
             AddEmptyDrive(r, 'D');
             AddDisc(r, 'G', {});
         },
         'G', "DG"},
        {"a removable drive holding the INF is no install disc",
         [](SimRig& r) {
             AddDisc(r, 'E', {});
             AddEmptyDrive(r, 'D', DRIVE_REMOVABLE);
         },
         'E', "E"},
        {"the INF named in other letter case",
         [](SimRig& r) { AddDisc(r, 'D', DiscContent{.inf = false, .extra = {"tarvixwia_lxr415_u.inf"}}); }, 'D', "D"},
        {"the INF below the root only",
         [](SimRig& r) { AddDisc(r, 'D', DiscContent{.inf = false, .extra = {"drivers/TarvixWia_LXR415_U.INF"}}); },
         0, "D"},
        {"the disc's label does not count for the Q920k",
         [](SimRig& r) { AddDisc(r, 'D', DiscContent{.inf = false, .label = "Tarvix Scan"}); }, 0, "D"},
        {"more than sixteen optical drives, the disc in the last",
         [](SimRig& r) {
             for (char letter = 'E'; letter <= 'Y'; ++letter) AddEmptyDrive(r, letter);
             AddDisc(r, 'Z', {});
         },
         'Z', "EFGHIJKLMNOPQRSTUVWXYZ"},
    };
    for (const Drives& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig({}, c.name);
        c.setUp(rig);
        {
            DiscProbe ext;
            EXPECT_EQ(ext.FindInstallMediaDrive(), c.found);
            EXPECT_EQ(std::string(ext.tested.begin(), ext.tested.end()), c.tested);
        }
        rig.ExpectClean();
    }
}

TEST_F(InstallMediaTest, TheBaseClassKnowsItsDiscByTheSoftwareFolderOrElseByTheLabel) {
    struct Case {
        const char* name;
        const char* folder;
        DiscContent disc;
        int media;
    } cases[] = {
        {"software folder present, any label", "tvsw\\", {.label = "NOTHING", .extra = {"tvsw/setup.exe"}}, 1},
        {"software folder named as a file", "tvsw", {.label = "", .extra = {"tvsw"}}, 1},
        {"software folder missing, label would do", "tvsw\\", {.label = "TarvixScan"}, 0},
        {"no folder: label Tarvix Scan", "", {.label = "Tarvix Scan"}, 1},
        {"no folder: label TARVIXSCAN and more", "", {.label = "TARVIXSCAN_V2.1"}, 1},
        {"no folder: label tarvix_scan", "", {.label = "tarvix_scan"}, 1},
        {"no folder: label Tarvix-Scan", "", {.label = "Tarvix-Scan"}, 0},
        {"no folder: label TarvixSca", "", {.label = "TarvixSca"}, 0},
        {"no folder: no label", "", {.label = ""}, 0},
    };
    base.emplace();
    char letter = 'D';
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddDisc(rig, letter, c.disc);
        base->folder = c.folder;
        EXPECT_EQ(base->IsInstallMedia(letter), c.media);
        ++letter;
    }
    AddEmptyDrive(rig, letter);
    base->folder = "";
    EXPECT_EQ(base->IsInstallMedia(letter), 0) << "a drive without a disc has no label";
}

TEST_F(InstallMediaTest, SetupStartsFromTheDiscRootWithoutBeingWaitedFor) {
    AddDisc(rig, 'D', {});
    EXPECT_EQ(ext->LaunchSetupFromMedia(), DWORD(NO_ERROR));
    ASSERT_EQ(rig.machine.process().started().size(), 1u);
    const auto& p = rig.machine.process().started()[0];
    EXPECT_EQ(p.command_line, kSetupCommand) << "with the trailing blank of the empty arguments";
    EXPECT_EQ(p.directory, "D:\\");
    EXPECT_EQ(p.creation_flags, DWORD(CREATE_NEW_CONSOLE));
    EXPECT_EQ(p.startup_flags, DWORD(STARTF_FORCEONFEEDBACK));
    EXPECT_EQ(p.show_window, WORD(SW_SHOWNORMAL));
    EXPECT_TRUE(rig.machine.process().waits().empty());
    // The process and thread handles are closed at once: only the log's stream and the file handle
    // it is made on stay open.
    EXPECT_EQ(rig.machine.handles().open_count(), 2u) << ::testing::PrintToString(rig.machine.handles().Describe());
    EXPECT_EQ(LogLines(rig),
              "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n"
              "cCDROMDrive = D:\\\r\n"
              "cCDROMExePath = D:\\setup.exe \r\n"
              "CreateProcess returned 1\r\n"
              "CreateProcess succeeded and returned 1\r\n");
}

TEST_F(InstallMediaTest, TheBaseClassStartsSetupFromItsSoftwareFolderWithItsSwitch) {
    base.emplace();
    AddDisc(rig, 'E', {.extra = {"tvsw/setup.exe"}});
    EXPECT_EQ(base->LaunchSetupFromMedia(), DWORD(NO_ERROR));
    EXPECT_EQ(Started(rig), std::vector<std::string>{"E:\\tvsw\\setup.exe  /r0 | E:\\"});
}

TEST_F(InstallMediaTest, WithoutADiscNothingStartsAndTheAnswerIsNoError) {
    AddEmptyDrive(rig, 'D');
    EXPECT_EQ(ext->LaunchSetupFromMedia(), DWORD(NO_ERROR));
    EXPECT_TRUE(rig.machine.process().started().empty());
    EXPECT_EQ(LogLines(rig),
              "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n"
              "Valid CD not found, cannot launch setup.exe\r\n");
}

TEST_F(InstallMediaTest, ASetupThatCannotStartAnswersItsError) {
    AddDisc(rig, 'D', DiscContent{.setup = false});
    EXPECT_EQ(ext->LaunchSetupFromMedia(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(rig.machine.process().started().empty());
    EXPECT_EQ(LogLines(rig),
              "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n"
              "cCDROMDrive = D:\\\r\n"
              "cCDROMExePath = D:\\setup.exe \r\n"
              "CreateProcess returned 0\r\n"
              "CreateProcess failed, GetLastError returned: 2\r\n");
}

TEST_F(InstallMediaTest, RunOnceGetsTheSetupInTheNativeView) {
    rig.machine.registry().EnsureKey(Hive::LocalMachine, kRunOnce);
    rig.machine.registry().EnsureKey(Hive::LocalMachine, std::string("SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));
    ext->ScheduleSetupFromMedia('E');
    auto value = rig.machine.registry().GetValue(Hive::LocalMachine, kRunOnce, "TarvixSoftwareApps");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, DWORD(REG_SZ));
    const std::string expected("E:\\setup.exe \0", 14);
    EXPECT_EQ(std::string(value->data.begin(), value->data.end()), expected) << "the terminator counted";
    EXPECT_FALSE(rig.machine.registry()
                     .GetValue(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                               "TarvixSoftwareApps")
                     .has_value());
    EXPECT_TRUE(rig.machine.process().started().empty());
    EXPECT_EQ(LogLines(rig),
              "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n"
              "cCDROMDrive = E:\\\r\n"
              "cCDROMExePath = E:\\setup.exe \r\n"
              "Wrote RunOnce key successfully\r\n");
}

TEST_F(InstallMediaTest, RunOnceFailures) {
    const std::string head = "cCDROMDrive = D:\\\r\ncCDROMExePath = D:\\setup.exe \r\n";
    // The key cannot be opened: nothing more is said.
    rig.machine.registry().DeleteTree(Hive::LocalMachine, kRunOnce);
    ext->ScheduleSetupFromMedia('D');
    EXPECT_FALSE(SimRig::Called("RegSetValueExA"));
    // The write fails: both failure lines, the second with whatever the last error held.
    rig.machine.registry().EnsureKey(Hive::LocalMachine, kRunOnce);
    plat::SetLastError(87);
    plat::host::Layer().FailCall("RegSetValueExA", ERROR_ACCESS_DENIED);
    ext->ScheduleSetupFromMedia('D');
    EXPECT_EQ(LogLines(rig), "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n" + head + head +
                                 "Writing RunOnce key failed\r\nGetLastError returned: 87\r\n");
}

TEST(InstallMediaRunOnce, ANonAdministratorCannotOpenRunOnceForWriting) {
    SimRig rig(Profile(5, 1, VER_PLATFORM_WIN32_NT, "", /*admin=*/false));
    rig.machine.registry().EnsureKey(Hive::LocalMachine, kRunOnce);
    {
        CSetupExtensionQ920k ext;
        ext.ScheduleSetupFromMedia('D');
    }
    EXPECT_FALSE(rig.machine.registry().GetValue(Hive::LocalMachine, kRunOnce, "TarvixSoftwareApps").has_value());
    EXPECT_EQ(LogLines(rig).find("RunOnce key"), std::string::npos);
    rig.ExpectClean();
}

}  // namespace
