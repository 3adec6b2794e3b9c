// The DIF dispatcher: which work runs for each code and pass, what it answers, and what it logs.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "platform/sim/device_installer.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::Profile;
using tvx::test::SimRig;

constexpr const char* kInstanceId = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2";

// The model variant with the install-disc search and the installed-software test under the test's
// control, recording the software installs the dispatcher asks for.
class ProbeExtension : public CSetupExtensionQ920k {
public:
    char disc = 0;
    int installed = 0;
    int discQueries = 0;
    std::vector<std::string> installs;

    void InstallSoftware(HWND, HINSTANCE, LPSTR cmd, int show) override {
        installs.push_back(std::string(cmd ? cmd : "<null>") + " show=" + std::to_string(show));
    }
    int IsSoftwareInstalled() override { return installed; }
    char FindInstallMediaDrive() override {
        ++discQueries;
        return disc;
    }
};

// The scanner as the device installer hands it to the co-installer.
struct Scanner {
    HDEVINFO set = nullptr;
    SP_DEVINFO_DATA data{};
    size_t index = 0;
};

Scanner AddScanner(SimRig& rig, const char* model, bool hardwareKey = true, DWORD flags = 0) {
    plat::sim::DeviceConfig device;
    device.instance_id = kInstanceId;
    device.description = "Tarvix Q920k";
    device.manufacturer = "Tarvix";
    device.hardware_ids = {"USB\\VID_1A2B&PID_0920"};
    device.driver_instance = "0003";
    device.hardware_key = hardwareKey;
    device.install_flags = flags;
    Scanner s;
    s.index = tvx::sim::AddScanner(rig.machine, device, model);
    s.set = rig.machine.setupapi().OpenSetFor(s.index, &s.data);
    return s;
}

DWORD Dispatch(CSetupExtension& ext, Scanner& s, DI_FUNCTION dif, bool post = false, DWORD result = 0) {
    return plat::sim::CallCoInstaller(s.set, s.data, {dif, s.index, post, result},
                                      [&](DI_FUNCTION f, HDEVINFO set, PSP_DEVINFO_DATA d, PCOINSTALLER_CONTEXT_DATA c) {
                                          return ext.CSetupExtension::TarvixDeviceCoInstaller(f, set, d, c);
                                      });
}

// A call without a context record, which the device installer never makes.
DWORD DispatchWithoutContext(CSetupExtension& ext, Scanner& s, DI_FUNCTION dif) {
    return ext.CSetupExtension::TarvixDeviceCoInstaller(dif, s.set, &s.data, nullptr);
}

std::string FirstLine(int dif, DWORD result) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "\r\nTarvixDeviceCoInstaller: called . dif=%d pContext->InstallResult = 0x%08X \r\n\r\r\n",
                  dif, result);
    return buf;
}

// The wizard registration's line on a machine without the wizard's ScanButton registration.
const std::string kNoWizardHandlerInfo =
    "Error reading System\\CurrentControlSet\\Control\\StillImage\\Events\\ScanButton\\"
    "{D13E3F25-1688-45A0-9743-759EB35CDF9A}\r\n";

// The marker take-back's line on a machine without the hardware-first marker.
const std::string kNoMarkerLine = "RegOpenKeyEx returned 2 while trying to open Software\\Tarvix\\tvx\\c32\\tvx\r\n";

class DispatcherTest : public ::testing::Test {
protected:
    void TearDown() override {
        ext.reset();
        if (scanner.set) rig.machine.setupapi().SetupDiDestroyDeviceInfoList(scanner.set);
        rig.ExpectClean();
    }
    ProbeExtension& Ext() {
        if (!ext) ext.emplace();
        return *ext;
    }

    SimRig rig{Profile(5, 1)};
    Scanner scanner;
    std::optional<ProbeExtension> ext;
};

TEST(DispatcherVersions, PreProcessingAsksForPostProcessingOnEverySystem) {
    struct Case {
        const char* system;
        DWORD major, minor, platform;
        bool registersDlls;
    } cases[] = {
        {"98", 4, 10, VER_PLATFORM_WIN32_WINDOWS, false}, {"Me", 4, 90, VER_PLATFORM_WIN32_WINDOWS, false},
        {"2000", 5, 0, VER_PLATFORM_WIN32_NT, true},      {"XP", 5, 1, VER_PLATFORM_WIN32_NT, false},
        {"5.2", 5, 2, VER_PLATFORM_WIN32_NT, false},      {"Vista", 6, 0, VER_PLATFORM_WIN32_NT, false},
        {"7", 6, 1, VER_PLATFORM_WIN32_NT, false},
    };
    // A call without a context record is taken as a pre-processing pass with no earlier result.
    for (const Case& c : cases) {
        for (DI_FUNCTION dif : {DI_FUNCTION(DIF_INSTALLDEVICE), DI_FUNCTION(DIF_DESTROYWIZARDDATA)})
        for (bool withContext : {true, false}) {
            SCOPED_TRACE(std::string(c.system) + " dif " + std::to_string(dif) +
                         (withContext ? "" : " without a context record"));
            SimRig rig(Profile(c.major, c.minor, c.platform),
                       std::string(c.system) + std::to_string(dif) + (withContext ? "" : "-null"));
            Scanner s = AddScanner(rig, "tvxQ920k");
            {
                ProbeExtension ext;
                plat::host::Layer().ClearTrace();
                EXPECT_EQ(withContext ? Dispatch(ext, s, dif) : DispatchWithoutContext(ext, s, dif),
                          DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
                // The DLL registration of the selected driver is asked for on Windows 2000 only.
                EXPECT_EQ(SimRig::Called("SetupDiGetSelectedDriverA"), c.registersDlls);
                EXPECT_TRUE(ext.installs.empty());
            }
            EXPECT_EQ(rig.LogBody(), FirstLine(dif, 0) +
                                        "Handling DIF_INSTALLDEVICE or DIF_DESTROYWIZARDDATA DIF code\r\n"
                                        "09:30:00\t12/10/26\t\r\nEnd Log\r\n\r\n");
            rig.machine.setupapi().SetupDiDestroyDeviceInfoList(s.set);
            rig.ExpectClean();
        }
    }
}

TEST_F(DispatcherTest, FailedInstallResultIsPassedBackWithOnlyTheFirstLine) {
    scanner = AddScanner(rig, "tvxQ920k");
    for (DWORD result : {DWORD(0xE000020B), DWORD(ERROR_ACCESS_DENIED)}) {
        SCOPED_TRACE(result);
        for (DI_FUNCTION dif : {DI_FUNCTION(DIF_INSTALLDEVICE), DI_FUNCTION(DIF_REMOVE), DI_FUNCTION(DIF_SELECTDEVICE)})
            EXPECT_EQ(Dispatch(Ext(), scanner, dif, true, result), result);
    }
    EXPECT_EQ(rig.LogBody(), FirstLine(2, 0xE000020B) + FirstLine(5, 0xE000020B) + FirstLine(1, 0xE000020B) +
                                FirstLine(2, 5) + FirstLine(5, 5) + FirstLine(1, 5));
    EXPECT_TRUE(Ext().installs.empty());
    EXPECT_EQ(Ext().m_ScannerModel, "");
}

TEST_F(DispatcherTest, PostProcessingReadsTheModelAndInstallsForInstallDeviceOnly) {
    scanner = AddScanner(rig, "tvxQ920k");
    Ext().m_hInstance = reinterpret_cast<HINSTANCE>(0x1000);

    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_DESTROYWIZARDDATA, true), DWORD(NO_ERROR));
    EXPECT_EQ(Ext().m_ScannerModel, "tvxQ920k");
    EXPECT_TRUE(Ext().installs.empty());

    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_INSTALLDEVICE, true), DWORD(NO_ERROR));
    EXPECT_EQ(Ext().installs, std::vector<std::string>{"tvxQ920k show=0"});
    EXPECT_EQ(rig.LogBody(), FirstLine(0x11, 0) +
                                "Handling DIF_INSTALLDEVICE or DIF_DESTROYWIZARDDATA DIF code\r\n" +
                                kNoWizardHandlerInfo + "ModelString retrieved from registry = tvxQ920k\r\n" +
                                FirstLine(2, 0) +
                                "Handling DIF_INSTALLDEVICE or DIF_DESTROYWIZARDDATA DIF code\r\n" +
                                kNoWizardHandlerInfo + "ModelString retrieved from registry = tvxQ920k\r\n");
}

TEST_F(DispatcherTest, ModelStringLimits) {
    struct Case {
        const char* name;
        std::vector<BYTE> value;
        DWORD type;
        const char* model;  // null: counts as absent
    } cases[] = {
        {"31 characters and terminator", std::vector<BYTE>(31, 'm'), REG_SZ, "mmmmmmmmmmmmmmmmmmmmmmmmmmmmmmm"},
        {"32 characters", std::vector<BYTE>(32, 'm'), REG_SZ, nullptr},
        {"40 characters", std::vector<BYTE>(40, 'm'), REG_SZ, nullptr},
        {"31 characters without terminator", std::vector<BYTE>(31, 'n'), REG_BINARY, "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"},
        {"32 bytes without terminator", std::vector<BYTE>(32, 'n'), REG_BINARY, nullptr},
        {"empty", std::vector<BYTE>{0}, REG_SZ, ""},
    };
    scanner = AddScanner(rig, nullptr);
    const std::string key = rig.machine.setupapi().hardware_key_path(scanner.index);
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.type == REG_SZ && c.value.back() != 0) c.value.push_back(0);
        rig.machine.registry().SetValue(plat::sim::Hive::LocalMachine, key, "CoinstallerModel", c.type, c.value);
        Ext().m_ScannerModel = "<unchanged>";
        Ext().installs.clear();
        EXPECT_EQ(Dispatch(Ext(), scanner, DIF_INSTALLDEVICE, true), DWORD(NO_ERROR));
        EXPECT_EQ(Ext().m_ScannerModel, c.model ? c.model : "<unchanged>");
        EXPECT_EQ(Ext().installs.size(), c.model ? 1u : 0u);
    }
}

TEST_F(DispatcherTest, RemoveWithoutHardwareKeyStillAnswersNoError) {
    scanner = AddScanner(rig, nullptr, /*hardwareKey=*/false);
    Ext().m_ScannerModel = "earlier";
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_REMOVE), DWORD(NO_ERROR));
    EXPECT_EQ(Ext().m_ScannerModel, "earlier");
    EXPECT_EQ(rig.LogBody(), FirstLine(5, 0) + "Handling DIF_REMOVE DIF code\r\n" + kNoMarkerLine);
}

TEST_F(DispatcherTest, RemoveStoresTheModelWithoutLoggingIt) {
    scanner = AddScanner(rig, "tvxQ920k");
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_REMOVE), DWORD(NO_ERROR));
    EXPECT_EQ(Ext().m_ScannerModel, "tvxQ920k");
    EXPECT_EQ(rig.LogBody(), FirstLine(5, 0) + "Handling DIF_REMOVE DIF code\r\n" + kNoMarkerLine);
}

TEST_F(DispatcherTest, UnknownCodesAreLoggedAndAnsweredWithNoError) {
    scanner = AddScanner(rig, "tvxQ920k");
    for (DI_FUNCTION dif : {DI_FUNCTION(DIF_SELECTDEVICE), DI_FUNCTION(DIF_PROPERTYCHANGE), DI_FUNCTION(0x77)}) {
        EXPECT_EQ(Dispatch(Ext(), scanner, dif), DWORD(NO_ERROR));
        EXPECT_EQ(Dispatch(Ext(), scanner, dif, true), DWORD(NO_ERROR));
    }
    EXPECT_EQ(rig.LogBody(), FirstLine(1, 0) + FirstLine(1, 0) + FirstLine(0x12, 0) + FirstLine(0x12, 0) +
                                FirstLine(0x77, 0) + FirstLine(0x77, 0));
}

TEST_F(DispatcherTest, FinishInstallArmsTheActionWhenSoftwareIsMissingAndTheDiscIsThere) {
    scanner = AddScanner(rig, "tvxQ920k", true, DI_NEEDREBOOT);
    rig.machine.setupapi().SetInstallFlags(scanner.index, DI_NEEDREBOOT, 0x20);
    Ext().disc = 'D';
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_NEWDEVICEWIZARD_FINISHINSTALL), DWORD(NO_ERROR));
    EXPECT_EQ(rig.machine.setupapi().flags_ex(scanner.index), DWORD(0x20 | DI_FLAGSEX_FINISHINSTALL_ACTION));
    EXPECT_EQ(rig.machine.setupapi().flags(scanner.index), DWORD(DI_NEEDREBOOT)) << "Flags stay as they were";
    EXPECT_EQ(rig.LogBody(), FirstLine(0x1E, 0) +
                                "Handling DIF_NEWDEVICEWIZARD_FINISHINSTALL DIF code\r\n"
                                "Scanning Software not found and valid CDRom found\r\n");
}

TEST_F(DispatcherTest, FinishInstallChangesNothingWithoutDiscOrWithSoftware) {
    scanner = AddScanner(rig, "tvxQ920k");
    struct Case {
        const char* name;
        int installed;
        char disc;
        int discQueries;
    } cases[] = {{"no disc", 0, 0, 1}, {"software installed", 1, 'D', 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ext().installed = c.installed;
        Ext().disc = c.disc;
        Ext().discQueries = 0;
        EXPECT_EQ(Dispatch(Ext(), scanner, DIF_NEWDEVICEWIZARD_FINISHINSTALL), DWORD(NO_ERROR));
        EXPECT_EQ(Ext().discQueries, c.discQueries) << "the disc is consulted only when the software is missing";
        EXPECT_EQ(rig.machine.setupapi().flags_ex(scanner.index), 0u);
    }
    EXPECT_FALSE(SimRig::Called("SetupDiGetDeviceInstallParamsA"));
}

TEST_F(DispatcherTest, FinishInstallLogsFailedParameterCalls) {
    scanner = AddScanner(rig, "tvxQ920k");
    Ext().disc = 'D';
    plat::host::Layer().FailCall("SetupDiGetDeviceInstallParamsA", ERROR_INVALID_USER_BUFFER);
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_NEWDEVICEWIZARD_FINISHINSTALL), DWORD(NO_ERROR));
    EXPECT_FALSE(SimRig::Called("SetupDiSetDeviceInstallParamsA"));
    plat::host::Layer().ClearFaults();
    plat::host::Layer().FailCall("SetupDiSetDeviceInstallParamsA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_NEWDEVICEWIZARD_FINISHINSTALL), DWORD(NO_ERROR));
    EXPECT_EQ(rig.machine.setupapi().flags_ex(scanner.index), 0u);
    const std::string head = "Handling DIF_NEWDEVICEWIZARD_FINISHINSTALL DIF code\r\n"
                             "Scanning Software not found and valid CDRom found\r\n";
    EXPECT_EQ(rig.LogBody(), FirstLine(0x1E, 0) + head +
                                "SetupDiGetDeviceInstallParams failed with error 1784: The supplied user buffer is "
                                "not valid for the requested operation.\r\r\n\r\n" +
                                FirstLine(0x1E, 0) + head +
                                "SetupDiSetDeviceInstallParams failed with error 5: Access is denied.\r\r\n\r\n");
}

TEST_F(DispatcherTest, FinishInstallActionWithoutRebootLaunchesSetup) {
    scanner = AddScanner(rig, "tvxQ920k");
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_FINISHINSTALL_ACTION), DWORD(NO_ERROR));
    // The firmware step comes first; without a disc neither program starts.
    EXPECT_EQ(rig.LogBody(), FirstLine(0x2A, 0) +
                                "Handling DIF_FINISHINSTALL_ACTION DIF code\r\n"
                                "Could not find CD\r\n"
                                "Reboot not required\r\n"
                                "Valid CD not found, cannot launch setup.exe\r\n");
}

TEST_F(DispatcherTest, FinishInstallActionWithRebootSchedulesSetupWhenTheDiscIsThere) {
    scanner = AddScanner(rig, "tvxQ920k");
    rig.machine.setupapi().SetInstallFlags(scanner.index, DI_NEEDRESTART, 0);
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_FINISHINSTALL_ACTION), DWORD(NO_ERROR));
    Ext().disc = 'D';
    EXPECT_EQ(Dispatch(Ext(), scanner, DIF_FINISHINSTALL_ACTION), DWORD(NO_ERROR));
    const std::string head = "Handling DIF_FINISHINSTALL_ACTION DIF code\r\n";
    const std::string reboot = "Device install requires a reboot\r\n";
    // The probe's disc has no firmware tool.
    EXPECT_EQ(rig.LogBody(), FirstLine(0x2A, 0) + head + "Could not find CD\r\n" + reboot +
                                "Could not find the CD\r\n" + FirstLine(0x2A, 0) + head +
                                "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe was not found on CD\r\n" + reboot +
                                "FoundCD\r\n"
                                "cCDROMDrive = D:\\\r\n"
                                "cCDROMExePath = D:\\setup.exe \r\n"
                                "Wrote RunOnce key successfully\r\n");
}

TEST_F(DispatcherTest, RebootIsRequiredForEitherFlagOrUnreadableParameters) {
    scanner = AddScanner(rig, "tvxQ920k");
    struct Case {
        DWORD flags;
        bool fail;
        bool required;
    } cases[] = {{0, false, false},
                 {DI_NEEDREBOOT, false, true},
                 {DI_NEEDRESTART, false, true},
                 {0x4 | 0x8, false, false},
                 {0, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        rig.machine.setupapi().SetInstallFlags(scanner.index, c.flags, 0);
        plat::host::Layer().ClearFaults();
        if (c.fail) plat::host::Layer().FailCall("SetupDiGetDeviceInstallParamsA", ERROR_INVALID_HANDLE);
        EXPECT_EQ(Ext().IsRebootRequired(scanner.set, &scanner.data), c.required);
    }
    EXPECT_EQ(rig.LogBody(), "SetupDiGetDeviceInstallParams failed\r\n");
}

TEST_F(DispatcherTest, DriverInstanceNumberIsTheTailOfTheDriverKeyName) {
    scanner = AddScanner(rig, "tvxQ920k");
    const std::string enumKey = std::string(plat::sim::kEnumRoot) + "\\" + kInstanceId;
    struct Case {
        const char* driver;  // null: no driver key name
        int found;
        const char* number;
    } cases[] = {
        {"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0003", 1, "0003"},
        {"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\12", 1, "12"},
        {"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\000123", 1, "0001"},
        {"a\\b\\0042", 1, "0042"},
        {"NoBackslashAtAll", 0, ""},
        {nullptr, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.driver ? c.driver : "(none)");
        if (c.driver)
            rig.machine.registry().SetString(plat::sim::Hive::LocalMachine, enumKey, "Driver", c.driver);
        else
            rig.machine.registry().SetValue(plat::sim::Hive::LocalMachine, enumKey, "Driver", REG_SZ, {});
        char number[5] = {'x', 'x', 'x', 'x', 'x'};
        EXPECT_EQ(Ext().GetDriverInstanceNumber(scanner.set, &scanner.data, number), c.found);
        EXPECT_STREQ(number, c.number);
    }
}

TEST_F(DispatcherTest, MissingDriverPropertyGivesNoInstanceNumber) {
    plat::sim::DeviceConfig device;
    device.instance_id = kInstanceId;
    scanner.index = rig.machine.setupapi().AddDevice(device);
    scanner.set = rig.machine.setupapi().OpenSetFor(scanner.index, &scanner.data);
    char number[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(Ext().GetDriverInstanceNumber(scanner.set, &scanner.data, number), 0);
    EXPECT_STREQ(number, "");
}

}  // namespace

namespace {

// A logger that could not be built (its allocation failed at the load) leaves the object without a
// log: every path of the dispatcher then answers and works as it does with its log, only silently.
TEST(DispatcherWithoutALog, EveryPathAnswersAndWorksAsWithItsLog) {
    const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    struct Case {
        const char* name;
        DI_FUNCTION dif;
        bool post;
        DWORD flags;  // the device's install flags
        char disc;
        const char* failing;  // a call made to fail, or null
        DWORD answer;
        const char* model;  // the model the call leaves stored
        bool runOnce;       // the disc's setup is scheduled for the next logon
    } cases[] = {
        {"DIF_INSTALLDEVICE, post-processing", DIF_INSTALLDEVICE, true, 0, 0, nullptr, NO_ERROR, "tvxQ920k", false},
        {"DIF_REMOVE", DIF_REMOVE, false, 0, 0, nullptr, NO_ERROR, "tvxQ920k", false},
        {"finish-install action, reboot, disc", DIF_FINISHINSTALL_ACTION, false, DI_NEEDRESTART, 'D', nullptr,
         NO_ERROR, "", true},
        {"finish-install action, reboot, no disc", DIF_FINISHINSTALL_ACTION, false, DI_NEEDREBOOT, 0, nullptr,
         NO_ERROR, "", false},
        {"finish-install action, no reboot, no disc", DIF_FINISHINSTALL_ACTION, false, 0, 0, nullptr, NO_ERROR, "",
         false},
        // The setup that does not start answers why.
        {"finish-install action, no reboot, setup fails to start", DIF_FINISHINSTALL_ACTION, false, 0, 'D',
         "CreateProcessA", ERROR_INVALID_HANDLE, "", false},
        // Unreadable parameters count as a reboot.
        {"finish-install action, unreadable parameters", DIF_FINISHINSTALL_ACTION, false, 0, 'D',
         "SetupDiGetDeviceInstallParamsA", NO_ERROR, "", true},
    };
    int row = 0;
    for (const Case& c : cases) {
        for (bool withLog : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (withLog ? ", with its log" : ", without a log"));
            SimRig rig(Profile(5, 1), "-" + std::to_string(row++));
            Scanner s = AddScanner(rig, "tvxQ920k");
            rig.machine.setupapi().SetInstallFlags(s.index, c.flags, 0);
            {
                ProbeExtension ext;
                ext.disc = c.disc;
                if (!withLog) ext.m_pLogger = nullptr;  // the object still owns it; the logic sees none
                if (c.failing) plat::host::Layer().FailCall(c.failing, ERROR_INVALID_HANDLE);
                EXPECT_EQ(Dispatch(ext, s, c.dif, c.post), c.answer);
                plat::host::Layer().ClearFaults();
                EXPECT_EQ(ext.m_ScannerModel, c.model);
            }
            const bool scheduled =
                rig.machine.registry().GetValue(plat::sim::Hive::LocalMachine, kRunOnce, "TarvixSoftwareApps") ||
                rig.machine.registry().GetValue(plat::sim::Hive::LocalMachine,
                                                "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                                "TarvixSoftwareApps");
            EXPECT_EQ(scheduled, c.runOnce);
            if (!withLog) {
                EXPECT_EQ(rig.LogBody(), "09:30:00\t12/10/26\t\r\nEnd Log\r\n\r\n") << "nothing logged";
            }
            rig.machine.setupapi().SetupDiDestroyDeviceInfoList(s.set);
            rig.ExpectClean();
        }
    }
}

}  // namespace
