// The software-install decision as the loaded library runs it: hardware first (marker, firmware
// tool, then the disc's setup) or software first (service restart and the named event), on each
// system, and the finish-install action that follows in a device installation.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "platform/sim/device_installer.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tests/logic/install_rig.h"
#include "platform/host/library.h"

namespace {

using plat::host::CoInstallerLibrary;
using plat::sim::Hive;
using namespace tvx::test;

constexpr const char* kMarkerTvx32 = "SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\c32\\tvx";
constexpr const char* kMarkerC32 = "SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\c32";
constexpr uint64_t kFirmwareRunMs = 60000;

const std::string kHead = "HH:MM:SS\tMM/DD/YY\t\r\nStart Log\r\n";
const std::string kTail = "HH:MM:SS\tMM/DD/YY\t\r\nEnd Log\r\n\r\n";
const std::string kIntro =
    "m_ScannerModel = tvxQ920k\r\n"
    "This user has administration rights\r\n"
    "m_InstallCLSID = \r\n"
    "m_InstallRegPath = \r\n";
const std::string kFirmwareLines =
    "strLaunchAppFromCoinstallerExe = D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto\r\n"
    "CreateProcess returned 1\r\n"
    "CreateProcess succeeded and returned 1\r\n"
    "Child process exited\r\n";
const std::string kSetupLines =
    "cCDROMDrive = D:\\\r\n"
    "cCDROMExePath = D:\\setup.exe \r\n"
    "CreateProcess returned 1\r\n"
    "CreateProcess succeeded and returned 1\r\n";

std::string Bytes(const std::optional<plat::sim::RegValue>& v) {
    return v ? std::string(v->data.begin(), v->data.end()) : "<missing>";
}

// A machine of the given system with the install disc in D: whose firmware tool runs a minute,
// a running still-image service, and the scanner known to the device installer.
struct InstallMachine {
    explicit InstallMachine(plat::sim::MachineProfile profile, const std::string& suffix = "")
        : rig(std::move(profile), suffix) {
        tvx::MachineDescription m;
        m.drives.push_back(DiscDrive(rig, 'D', {}));
        m.programs.push_back({.path = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe", .run_time_ms = kFirmwareRunMs});
        m.services.push_back(tvx::StillImageService(true, 2000));
        tvx::RegistryWriter(m).EnsureKey(std::string("HKEY_LOCAL_MACHINE\\") + kRunOnce);
        AddToMachine(rig, m);
        plat::sim::DeviceConfig device;
        device.instance_id = "USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&2";
        device.description = "Tarvix Q920k";
        device.manufacturer = "Tarvix";
        device.hardware_ids = {"USB\\VID_2E5A&PID_0920"};
        device.driver_instance = "0000";
        scanner = tvx::sim::AddScanner(rig.machine, device, "tvxQ920k");
    }
    void SetupInProgress(DWORD type, std::vector<BYTE> data) {
        rig.machine.registry().SetValue(Hive::LocalMachine, "SYSTEM\\Setup", "SystemSetupInProgress", type,
                                        std::move(data));
    }
    DWORD Dif(CoInstallerLibrary& lib, DI_FUNCTION dif, bool post = false) {
        return plat::sim::CallCoInstaller(rig.machine.setupapi(), {dif, scanner, post}, lib.Entry());
    }
    // Runs InstallPellionSoftware once in a freshly loaded library.
    void InstallPellionSoftware(int times = 1) {
        CoInstallerLibrary lib;
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        char model[] = "tvxQ920k";
        for (int i = 0; i < times; ++i) lib.InstallPellionSoftware(nullptr, CoInstallerLibrary::ModuleHandle(), model, 1);
    }
    bool MarkerWritten() {
        return rig.machine.registry().GetValue(Hive::LocalMachine, kMarkerTvx32, "_PnPFinishedEvent").has_value();
    }

    SimRig rig;
    size_t scanner = 0;
};

// The log with the event handle's value masked.
std::string MaskEventHandle(const std::string& log) {
    static const std::regex handle("CreateEvent returned 0x[0-9a-f]+");
    return std::regex_replace(log, handle, "CreateEvent returned 0x<handle>");
}

TEST(HardwareFirst, OnEachSystem) {
    struct System {
        const char* name;
        DWORD major, minor;
        bool olderThanVista;
    } systems[] = {{"2000", 5, 0, true}, {"XP", 5, 1, true}, {"5.2", 5, 2, true}, {"Vista", 6, 0, false},
                   {"7", 6, 1, false}};
    for (const System& s : systems) {
        SCOPED_TRACE(s.name);
        InstallMachine m(Profile(s.major, s.minor), s.name);
        m.InstallPellionSoftware();

        // The marker, in the 32-bit view only.
        EXPECT_EQ(Bytes(m.rig.machine.registry().GetValue(Hive::LocalMachine, kMarkerTvx32, "_PnPFinishedEvent")),
                  std::string("1\0", 2));
        EXPECT_EQ(Bytes(m.rig.machine.registry().GetValue(Hive::LocalMachine, kMarkerTvx32, "tvxQ920k")),
                  std::string("1\0", 2));
        auto event = m.rig.machine.registry().GetValue(Hive::LocalMachine, kMarkerC32, "tvx_PNPFinishedEvent_99");
        EXPECT_EQ(Bytes(event), std::string("\0", 1));
        if (event) {
            EXPECT_EQ(event->type, DWORD(REG_SZ));
        }
        EXPECT_EQ(m.rig.machine.registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Tarvix"), nullptr);

        if (s.olderThanVista) {
            // The firmware tool first, waited for to its end; then the setup, not waited for.
            EXPECT_EQ(Started(m.rig), (std::vector<std::string>{std::string(kFirmwareCommand) + " | " + kFirmwareFolder,
                                                                std::string(kSetupCommand) + " | D:\\"}));
            ASSERT_EQ(m.rig.machine.process().started().size(), 2u);
            EXPECT_EQ(m.rig.machine.process().started()[1].started_ms, kFirmwareRunMs);
            ASSERT_EQ(m.rig.machine.process().waits().size(), 1u);
            EXPECT_EQ(m.rig.machine.process().waits()[0].timeout_ms, DWORD(INFINITE));
            EXPECT_EQ(LogLines(m.rig), kHead + kIntro + kFirmwareLines +
                                           "This is a Hardware First install, valid software not found\r\n"
                                           "Non-Vista case, launching software on CD\r\n" +
                                           kSetupLines + kTail);
        } else {
            EXPECT_TRUE(Started(m.rig).empty());
            EXPECT_EQ(LogLines(m.rig), kHead + kIntro +
                                           "This is a Hardware First install, valid software not found\r\n" + kTail);
        }
        EXPECT_FALSE(m.rig.machine.sync().EventExists(kFinishedEvent));
        EXPECT_FALSE(SimRig::Called("ControlService"));
        m.rig.ExpectClean();
    }
}

TEST(SoftwareFirst, WhileTheSystemSetupRunsTheServiceIsRestartedAndTheEventSet) {
    InstallMachine m(Profile(5, 1));
    m.SetupInProgress(REG_DWORD, {1, 0, 0, 0});
    m.InstallPellionSoftware();

    EXPECT_FALSE(m.MarkerWritten());
    // The firmware step ran before the decision; no setup is started.
    EXPECT_EQ(Started(m.rig), std::vector<std::string>{std::string(kFirmwareCommand) + " | " + kFirmwareFolder});
    EXPECT_TRUE(SimRig::Called("ControlService"));
    EXPECT_TRUE(SimRig::Called("StartServiceA"));
    EXPECT_EQ(m.rig.machine.sync().set_events(), std::vector<std::string>{kFinishedEvent});
    // The event outlives the library: its handle stays open for the life of the process.
    EXPECT_TRUE(m.rig.machine.sync().EventExists(kFinishedEvent));
    EXPECT_TRUE(m.rig.machine.sync().EventSignalled(kFinishedEvent));
    EXPECT_EQ(MaskEventHandle(LogLines(m.rig)), kHead + kIntro + kFirmwareLines +
                                                    "This is a Software first install, valid software found\r\n"
                                                    "CreateEvent succeeded, the Event created was:\r\n"
                                                    "tvx_PNPFinishedEvent_99\r\n"
                                                    "CreateEvent returned 0x<handle>\r\n"
                                                    "SetEvent succeeded\r\n" +
                                                    kTail);
    EXPECT_EQ(CloseKeptEventHandles(m.rig), 1u);
    m.rig.ExpectClean();
}

TEST(SoftwareFirst, ASecondInstallOpensTheSetEventAndSetsItAgain) {
    InstallMachine m(Profile(6, 1));
    m.SetupInProgress(REG_DWORD, {1, 0, 0, 0});
    m.InstallPellionSoftware(2);
    EXPECT_EQ(m.rig.machine.sync().set_events(), (std::vector<std::string>{kFinishedEvent, kFinishedEvent}));
    const std::string log = LogLines(m.rig);
    size_t successes = 0;
    for (size_t at = log.find("SetEvent succeeded"); at != std::string::npos; at = log.find("SetEvent succeeded", at + 1))
        ++successes;
    EXPECT_EQ(successes, 2u);
    EXPECT_EQ(CloseKeptEventHandles(m.rig), 2u) << "each install keeps the handle it opened";
    m.rig.ExpectClean();
}

TEST(SoftwareFirst, AnEventThatCannotBeCreatedOrSetIsLogged) {
    struct Case {
        const char* call;
        const char* line;
    } cases[] = {{"CreateEventA", "CreateEvent returned NULL, GetLastError returned 5\r\n"},
                 {"SetEvent", "SetEvent failed, GetLastError returned 5\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        InstallMachine m(Profile(6, 1), c.call);
        m.SetupInProgress(REG_DWORD, {1, 0, 0, 0});
        plat::host::Layer().FailCall(c.call, ERROR_ACCESS_DENIED);
        m.InstallPellionSoftware();
        const std::string log = LogLines(m.rig);
        EXPECT_NE(log.find(std::string("This is a Software first install, valid software found\r\n")), std::string::npos);
        EXPECT_NE(log.find(std::string(c.line) + kTail), std::string::npos) << log;
        CloseKeptEventHandles(m.rig);
        m.rig.ExpectClean();
    }
}

TEST(SystemSetupTest, OnlyTheLowestByteOfTheValueCounts) {
    struct Case {
        const char* name;
        bool value;
        DWORD type;
        std::vector<BYTE> data;
        bool softwareFirst;
    } cases[] = {
        {"no value", false, REG_DWORD, {}, false},
        {"1", true, REG_DWORD, {1, 0, 0, 0}, true},
        {"0", true, REG_DWORD, {0, 0, 0, 0}, false},
        {"256", true, REG_DWORD, {0, 1, 0, 0}, false},
        {"text \"1\"", true, REG_SZ, {'1', 0}, true},
        {"one byte", true, REG_BINARY, {7}, true},
        {"larger than four bytes", true, REG_BINARY, {1, 0, 0, 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallMachine m(Profile(6, 1), c.name);
        m.rig.machine.registry().EnsureKey(Hive::LocalMachine, "SYSTEM\\Setup");
        if (c.value) m.SetupInProgress(c.type, c.data);
        m.InstallPellionSoftware();
        EXPECT_EQ(m.MarkerWritten(), !c.softwareFirst);
        EXPECT_EQ(m.rig.machine.sync().set_events().size(), c.softwareFirst ? 1u : 0u);
        CloseKeptEventHandles(m.rig);
        m.rig.ExpectClean();
    }
}

TEST(SystemSetupTest, TheValueIsReadOncePerProcess) {
    InstallMachine m(Profile(6, 1));
    m.SetupInProgress(REG_DWORD, {1, 0, 0, 0});
    {
        CoInstallerLibrary lib;
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        char model[] = "tvxQ920k";
        lib.InstallPellionSoftware(nullptr, nullptr, model, 1);
        m.SetupInProgress(REG_DWORD, {0, 0, 0, 0});
        plat::host::Layer().ClearTrace();
        lib.InstallPellionSoftware(nullptr, nullptr, model, 1);
        for (const auto& r : plat::host::Layer().trace())
            EXPECT_EQ(r.args.find("SystemSetupInProgress"), std::string::npos) << r.call << "(" << r.args << ")";
    }
    EXPECT_FALSE(m.MarkerWritten()) << "the second install still answered from the first reading";
    EXPECT_EQ(m.rig.machine.sync().set_events().size(), 2u);
    CloseKeptEventHandles(m.rig);
    m.rig.ExpectClean();
}

// The reading belongs to one load of the library: a global object built again (a new load, also
// where one host process serves several) reads the value afresh.
TEST(SystemSetupTest, EveryBuiltGlobalObjectReadsTheValueAfresh) {
    InstallMachine m(Profile(6, 1));
    char model[] = "tvxQ920k";
    m.SetupInProgress(REG_DWORD, {1, 0, 0, 0});
    { CSetupExtensionQ920k().InstallSoftware(nullptr, nullptr, model, 1); }
    EXPECT_FALSE(m.MarkerWritten()) << "software first while the setup runs";
    m.SetupInProgress(REG_DWORD, {0, 0, 0, 0});
    { CSetupExtensionQ920k().InstallSoftware(nullptr, nullptr, model, 1); }
    EXPECT_TRUE(m.MarkerWritten()) << "the second object answered from the first one's reading";
    CloseKeptEventHandles(m.rig);
    m.rig.ExpectClean();
}

TEST(HardwareFirst, ANonAdministratorCannotWriteTheMarkerButTheSetupStillStarts) {
    InstallMachine m(Profile(5, 1, VER_PLATFORM_WIN32_NT, "", /*admin=*/false));
    m.InstallPellionSoftware();
    EXPECT_FALSE(m.MarkerWritten());
    EXPECT_EQ(LogLines(m.rig), kHead +
                                   "m_ScannerModel = tvxQ920k\r\n"
                                   "This user is not an Admin\r\n"
                                   "m_InstallCLSID = \r\n"
                                   "m_InstallRegPath = \r\n" +
                                   kFirmwareLines +
                                   "This is a Hardware First install, valid software not found\r\n"
                                   "RegCreateKeyEx returned 5 while trying to open Software\\Tarvix\\tvx\\c32\\tvx\r\n"
                                   "Non-Vista case, launching software on CD\r\n" +
                                   kSetupLines + kTail);
    m.rig.ExpectClean();
}

TEST(HardwareFirst, WithoutADiscOnlyTheMarkerIsLeft) {
    SimRig rig(Profile(5, 1));
    AddEmptyDrive(rig, 'D');
    {
        CoInstallerLibrary lib;
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        char model[] = "tvxQ920k";
        lib.InstallPellionSoftware(nullptr, nullptr, model, 1);
    }
    EXPECT_TRUE(rig.machine.process().started().empty());
    EXPECT_EQ(LogLines(rig), kHead + kIntro +
                                 "Could not find CD\r\n"
                                 "This is a Hardware First install, valid software not found\r\n"
                                 "Non-Vista case, launching software on CD\r\n"
                                 "Valid CD not found, cannot launch setup.exe\r\n" +
                                 kTail);
    rig.ExpectClean();
}

TEST(HardwareFirst, WithoutALoggerTheJobRunsUnlogged) {
    InstallMachine m(Profile(5, 1));
    {
        CSetupExtensionQ920k ext;
        ext.m_pLogger = nullptr;  // as when the logger could not be allocated
        char model[] = "tvxQ920k";
        ext.InstallSoftware(nullptr, nullptr, model, 0);
        ext.ScheduleSetupFromMedia('D');
    }
    EXPECT_EQ(Started(m.rig), (std::vector<std::string>{std::string(kFirmwareCommand) + " | " + kFirmwareFolder,
                                                        std::string(kSetupCommand) + " | D:\\"}));
    EXPECT_TRUE(m.MarkerWritten());
    EXPECT_EQ(LogLines(m.rig), kHead + kTail);
    m.rig.ExpectClean();
}

TEST(AppendBackslash, OneSeparatorAtMost) {
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"SOFTWARE\\Tarvix", "SOFTWARE\\Tarvix\\"}, {"SOFTWARE\\Tarvix\\", "SOFTWARE\\Tarvix\\"},
             {"\\", "\\"}}) {
        std::string text = in;
        EXPECT_EQ(&CSetupExtension::AppendBackslash(text), &text);
        EXPECT_EQ(text, out) << in;
    }
}

// The Q920k with the installed-software test answering yes, recording the key it is given to
// repair: the software-first branch without the process-wide system-setup reading.
class InstalledProbe : public CSetupExtensionQ920k {
public:
    std::vector<std::string> repaired;
    int IsSoftwareInstalled() override { return 1; }
    void FixInstalledStrings(std::string keyPath) override { repaired.push_back(std::move(keyPath)); }
};

TEST(SoftwareFirst, TheRepairGetsThePathAndTheProductKeyJoinedOnce) {
    SimRig rig(Profile(6, 1));
    {
        InstalledProbe ext;
        char model[] = "tvxQ920k";
        for (const char* path : {"SOFTWARE\\Tarvix", "SOFTWARE\\Tarvix\\", ""}) {
            ext.m_InstallRegPath = path;
            ext.m_InstallCLSID = "{C0FFEE00-0000-0000-0000-000000000001}";
            ext.InstallSoftware(nullptr, nullptr, model, 0);
        }
        EXPECT_EQ(ext.repaired, (std::vector<std::string>{"SOFTWARE\\Tarvix\\{C0FFEE00-0000-0000-0000-000000000001}",
                                                          "SOFTWARE\\Tarvix\\{C0FFEE00-0000-0000-0000-000000000001}",
                                                          "{C0FFEE00-0000-0000-0000-000000000001}"}));
    }
    EXPECT_EQ(CloseKeptEventHandles(rig), 3u);
    rig.ExpectClean();
}

// A device installation on Vista and later: the post-processing leaves the marker, the wizard's
// end arms the finish-install action, and the action runs the firmware tool and then the setup,
// or registers the setup to run once when a reboot is pending.
TEST(FinishInstall, TheActionStartsFirmwareAndSetupOrSchedulesTheSetup) {
    for (const bool reboot : {false, true}) {
        SCOPED_TRACE(reboot ? "reboot pending" : "no reboot");
        InstallMachine m(Profile(6, 1), reboot ? "reboot" : "");
        {
            CoInstallerLibrary lib;
            ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
            EXPECT_EQ(m.Dif(lib, DIF_INSTALLDEVICE), DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
            EXPECT_EQ(m.Dif(lib, DIF_INSTALLDEVICE, true), DWORD(NO_ERROR));
            EXPECT_TRUE(m.MarkerWritten());
            EXPECT_TRUE(Started(m.rig).empty()) << "nothing starts during the installation itself";
            EXPECT_EQ(m.Dif(lib, DIF_NEWDEVICEWIZARD_FINISHINSTALL), DWORD(NO_ERROR));
            EXPECT_EQ(m.rig.machine.setupapi().flags_ex(m.scanner) & DI_FLAGSEX_FINISHINSTALL_ACTION,
                      DWORD(DI_FLAGSEX_FINISHINSTALL_ACTION));
            if (reboot) m.rig.machine.setupapi().SetInstallFlags(m.scanner, DI_NEEDREBOOT, 0);
            EXPECT_EQ(m.Dif(lib, DIF_FINISHINSTALL_ACTION), DWORD(NO_ERROR));
        }
        auto runOnce = m.rig.machine.registry().GetValue(Hive::LocalMachine, kRunOnce, "TarvixSoftwareApps");
        if (reboot) {
            EXPECT_EQ(Started(m.rig), std::vector<std::string>{std::string(kFirmwareCommand) + " | " + kFirmwareFolder});
            EXPECT_EQ(Bytes(runOnce), std::string("D:\\setup.exe \0", 14));
        } else {
            EXPECT_EQ(Started(m.rig), (std::vector<std::string>{std::string(kFirmwareCommand) + " | " + kFirmwareFolder,
                                                                std::string(kSetupCommand) + " | D:\\"}));
            ASSERT_EQ(m.rig.machine.process().started().size(), 2u);
            EXPECT_EQ(m.rig.machine.process().started()[1].started_ms, kFirmwareRunMs) << "after the tool ended";
            EXPECT_FALSE(runOnce.has_value());
        }
        m.rig.ExpectClean();
    }
}

TEST(FinishInstall, ASetupThatCannotStartIsTheActionsResult) {
    SimRig rig(Profile(6, 1));
    AddDisc(rig, 'D', DiscContent{.setup = false});
    plat::sim::DeviceConfig device;
    device.instance_id = "USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&2";
    device.driver_instance = "0000";
    const size_t index = rig.machine.setupapi().AddDevice(device);
    {
        CoInstallerLibrary lib;
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        EXPECT_EQ(plat::sim::CallCoInstaller(rig.machine.setupapi(), {DIF_FINISHINSTALL_ACTION, index}, lib.Entry()),
                  DWORD(ERROR_FILE_NOT_FOUND));
    }
    EXPECT_NE(LogLines(rig).find("CreateProcess failed, GetLastError returned: 2\r\n"), std::string::npos);
    rig.ExpectClean();
}

}  // namespace
