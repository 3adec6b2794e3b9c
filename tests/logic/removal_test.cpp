// Device removal: the device identity, the TWAIN data source, the imaging device-instance keys and
// the take-back of the hardware-first marker, alone and through DIF_REMOVE.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "platform/sim/device_installer.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tests/logic/removal_rig.h"

namespace {

using plat::host::Layer;
using tvx::test::Hive;
using tvx::test::Profile;
using tvx::test::SimRig;
using tvx::test::Software32;

constexpr const char* kSerial = "5&1F2E3D4C&0&2";
constexpr const char* kScannerInstance = "USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&2";
constexpr const char* kCouldNotObtain = "Could not obtain current HW instance info for device\n";

struct AddedScanner {
    HDEVINFO set = nullptr;
    SP_DEVINFO_DATA data{};
    size_t index = 0;
};

struct ScannerSetup {
    std::string instance_id = kScannerInstance;
    std::string description = tvx::test::kScannerDescription;
    std::string manufacturer = tvx::test::kScannerManufacturer;
    std::string driver_instance = "0000";
    const char* model = "tvxQ920k";
};

AddedScanner AddScanner(SimRig& rig, const ScannerSetup& given = {}) {
    plat::sim::DeviceConfig device;
    device.instance_id = given.instance_id;
    device.description = given.description;
    device.manufacturer = given.manufacturer;
    device.hardware_ids = {"USB\\VID_2E5A&PID_0920"};
    device.driver_instance = given.driver_instance;
    AddedScanner s;
    s.index = tvx::sim::AddScanner(rig.machine, device, given.model);
    s.set = rig.machine.setupapi().OpenSetFor(s.index, &s.data);
    return s;
}

bool HasKey(SimRig& rig, const std::string& below_software) {
    return rig.machine.registry().FindKey(Hive::LocalMachine, Software32(rig, below_software)) != nullptr;
}

class RemovalTest : public ::testing::Test {
protected:
    void TearDown() override {
        ext.reset();
        for (AddedScanner& s : scanners)
            if (s.set) rig.machine.setupapi().SetupDiDestroyDeviceInfoList(s.set);
        rig.ExpectClean();
    }
    CSetupExtensionQ920k& Ext() {
        if (!ext) ext.emplace();
        return *ext;
    }
    AddedScanner& Add(const ScannerSetup& given = {}) {
        scanners.push_back(AddScanner(rig, given));
        return scanners.back();
    }
    const std::vector<std::string>& Debug() { return rig.machine.system().debug_output(); }

    SimRig rig{Profile(6, 1)};
    std::deque<AddedScanner> scanners;  // Add's answers stay valid as more are added
    std::optional<CSetupExtensionQ920k> ext;
};

// ---- Device identity ----

TEST_F(RemovalTest, IdentityReadsTheFourNamesOrStopsAtTheFirstUnreadableOne) {
    const std::string longSerial = std::string(70, 'S') + "TAIL";
    struct Case {
        const char* what;
        ScannerSetup given;
        int result;
        const char* instance;
        const char* manufacturer;
        const char* description;
        std::string serial;
    } cases[] = {
        {"a scanner", {}, 1, "0000", "Tarvix", "Tarvix Q920k", kSerial},
        {"a serial part of 74 characters", {.instance_id = "USB\\VID_2E5A&PID_0920\\" + longSerial}, 1, "0000",
         "Tarvix", "Tarvix Q920k", std::string(70, 'S')},
        {"a serial part of exactly 70", {.instance_id = "USB\\X\\" + std::string(70, 'S')}, 1, "0000", "Tarvix",
         "Tarvix Q920k", std::string(70, 'S')},
        {"no driver key", {.driver_instance = ""}, 1, "", "Tarvix", "Tarvix Q920k", kSerial},
        {"an instance ID without a backslash", {.instance_id = "ROOTSCANNER"}, 0, "0000", "Tarvix", "Tarvix Q920k",
         "untouched"},
        {"no manufacturer", {.manufacturer = ""}, 0, "zzzz", "", "Tarvix Q920k", "untouched"},
        {"no description", {.description = ""}, 0, "zzzz", "untouched", "", "untouched"},
        // Longer than the 260-byte buffer: the call reports 122 and the identity is not read.
        {"an instance ID of 300 characters", {.instance_id = "USB\\X\\" + std::string(294, 'S')}, 0, "0000",
         "Tarvix", "Tarvix Q920k", "untouched"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig(Profile(6, 1), c.what);
        AddedScanner s = AddScanner(rig, c.given);
        {
            CSetupExtensionQ920k ext;
            char szInstance[5] = "zzzz";
            char szManufacturer[MAX_PATH] = "untouched";
            char szDescription[MAX_PATH] = "untouched";
            char szSerial[71] = "untouched";
            EXPECT_EQ(ext.GetDeviceIdentity(s.set, &s.data, szInstance, szManufacturer, szDescription, szSerial),
                      c.result);
            EXPECT_STREQ(szInstance, c.instance);
            EXPECT_STREQ(szManufacturer, c.manufacturer);
            EXPECT_STREQ(szDescription, c.description);
            EXPECT_EQ(std::string(szSerial), c.serial);
        }
        rig.machine.setupapi().SetupDiDestroyDeviceInfoList(s.set);
        rig.ExpectClean();
    }
}

TEST_F(RemovalTest, IdentityFailsWhenTheInstanceIdCannotBeRead) {
    AddedScanner& s = Add();
    char szInstance[5], szManufacturer[MAX_PATH], szDescription[MAX_PATH], szSerial[71] = "untouched";
    Layer().FailCall("SetupDiGetDeviceInstanceIdA", ERROR_INVALID_HANDLE);
    EXPECT_EQ(Ext().GetDeviceIdentity(s.set, &s.data, szInstance, szManufacturer, szDescription, szSerial), 0);
    Layer().ClearFaults();
    EXPECT_STREQ(szInstance, "0000");
    EXPECT_STREQ(szSerial, "untouched");
}

// A property that fills the whole buffer without a terminator is not taken as a name.
TEST_F(RemovalTest, IdentityRefusesAnUnterminatedProperty) {
    AddedScanner& s = Add();
    const std::string enumKey = std::string(plat::sim::kEnumRoot) + "\\" + kScannerInstance;
    rig.machine.registry().SetValue(Hive::LocalMachine, enumKey, "Mfg", REG_SZ, std::vector<BYTE>(MAX_PATH, 'M'));
    char szInstance[5], szManufacturer[MAX_PATH], szDescription[MAX_PATH], szSerial[71];
    EXPECT_EQ(Ext().GetDeviceIdentity(s.set, &s.data, szInstance, szManufacturer, szDescription, szSerial), 0);
    EXPECT_EQ(szManufacturer[0], '\0');
}

// ---- TWAIN data source ----

TEST_F(RemovalTest, TwainRemovalDeletesOnlyTheInstancesFileAndEmptyFolder) {
    using tvx::test::AddTwainSource;
    using tvx::test::TwainFile;
    using tvx::test::TwainFolder;
    AddTwainSource(rig, "0000");
    AddTwainSource(rig, "0001");
    EXPECT_EQ(Ext().RemoveTwainDataSource("0001"), 1);
    EXPECT_FALSE(rig.machine.files().IsFile(TwainFile("0001")));
    EXPECT_FALSE(rig.machine.files().IsFolder(TwainFolder("0001")));
    EXPECT_TRUE(rig.machine.files().IsFile(TwainFile("0000")));
    EXPECT_TRUE(rig.machine.files().IsFolder("C:\\Windows\\TWAIN_32"));

    // A folder that holds another file keeps it and stays.
    rig.machine.files().WriteFile(TwainFolder("0000") + "\\settings.ini", "x");
    EXPECT_EQ(Ext().RemoveTwainDataSource("0000"), 1);
    EXPECT_FALSE(rig.machine.files().IsFile(TwainFile("0000")));
    EXPECT_TRUE(rig.machine.files().IsFile(TwainFolder("0000") + "\\settings.ini"));

    // Nothing there: still 1.
    EXPECT_EQ(Ext().RemoveTwainDataSource("0007"), 1);
    EXPECT_TRUE(rig.machine.files().IsFolder("C:\\Windows\\TWAIN_32"));
}

TEST_F(RemovalTest, TwainRemovalWithoutAnInstanceNumberTouchesNothing) {
    // A "tvpn_" folder belongs to no instance.
    rig.machine.files().WriteFile("C:\\Windows\\TWAIN_32\\other.ds", "x");
    std::filesystem::create_directories(rig.machine.c_drive_folder() / "Windows" / "TWAIN_32" / "tvpn_");
    rig.machine.files().WriteFile("C:\\Windows\\TWAIN_32\\tvpn_\\tvpn_.ds", "x");
    Ext();  // its log exists before the snapshot
    const auto before = tvx::test::DriveEntries(rig);
    for (const char* number : {"", "a/..", static_cast<const char*>(nullptr)})
        EXPECT_EQ(Ext().RemoveTwainDataSource(number), 1);
    EXPECT_EQ(tvx::test::DriveEntries(rig), before);
}

// ---- Imaging device-instance keys ----

TEST(RemovalKeys, TheSixKeysGoInThe32BitViewOnBothBitnesses) {
    for (bool is64 : {true, false}) {
        SCOPED_TRACE(is64 ? "64-bit" : "32-bit");
        auto profile = Profile(6, 1);
        profile.is_64bit = is64;
        SimRig rig(profile, is64 ? "64" : "32");
        const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
        tvx::test::AddInstanceKeys(rig, model, kSerial);
        // The same path in the native view of a 64-bit machine is another key, and stays.
        if (is64) rig.machine.registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\" + model + "\\DeviceInstances\\" + kSerial);
        tvx::test::AddTwainSource(rig, "0000");
        AddedScanner s = AddScanner(rig);
        {
            CSetupExtensionQ920k ext;
            EXPECT_EQ(ext.CleanupRemovedDevice(s.set, &s.data), 1);
            // The removal writes no log lines of its own.
            EXPECT_EQ(rig.LogBody(), "");
        }
        EXPECT_FALSE(HasKey(rig, model));
        EXPECT_TRUE(HasKey(rig, "Tarvix\\DigitalImaging"));
        EXPECT_EQ(is64, rig.machine.registry().FindKey(Hive::LocalMachine, "SOFTWARE\\" + model) != nullptr);
        EXPECT_FALSE(rig.machine.files().IsFolder(tvx::test::TwainFolder("0000")));
        EXPECT_TRUE(rig.machine.system().debug_output().empty());
        std::vector<std::string> removed;
        for (const auto& r : Layer().trace())
            if (r.call == "RegDeleteKeyExA") removed.push_back(r.args);
        EXPECT_EQ(removed.size(), 6u);
        rig.machine.setupapi().SetupDiDestroyDeviceInfoList(s.set);
        rig.ExpectClean();
    }
}

TEST_F(RemovalTest, RemovingOneOfTwoInstancesLeavesTheOtherAndTheModelKey) {
    const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
    tvx::test::AddInstanceKeys(rig, model, kSerial);
    tvx::test::AddInstanceKeys(rig, model, "5&1F2E3D4C&0&3");
    tvx::test::AddTwainSource(rig, "0000");
    tvx::test::AddTwainSource(rig, "0001");
    AddedScanner& s = Add({.instance_id = "USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&3", .driver_instance = "0001"});
    EXPECT_EQ(Ext().CleanupRemovedDevice(s.set, &s.data), 1);
    EXPECT_FALSE(HasKey(rig, model + "\\DeviceInstances\\5&1F2E3D4C&0&3"));
    EXPECT_TRUE(HasKey(rig, model + "\\DeviceInstances\\" + kSerial + "\\Functions\\Scan"));
    EXPECT_TRUE(HasKey(rig, model + "\\DeviceInstances\\" + kSerial + "\\Strings"));
    EXPECT_FALSE(rig.machine.files().IsFolder(tvx::test::TwainFolder("0001")));
    EXPECT_TRUE(rig.machine.files().IsFile(tvx::test::TwainFile("0000")));
}

TEST_F(RemovalTest, NamesOfAnyLengthGiveTheWholePath) {
    const std::string manufacturer(250, 'M'), description(250, 'D');
    const std::string model = tvx::test::ModelKey(manufacturer, description);
    tvx::test::AddInstanceKeys(rig, model, kSerial);
    // A key whose name the path would reach if it were cut short stays.
    rig.machine.registry().EnsureKey(Hive::LocalMachine, Software32(rig, manufacturer + "\\DigitalImaging\\Other"));
    AddedScanner& s = Add({.description = description, .manufacturer = manufacturer});
    EXPECT_EQ(Ext().CleanupRemovedDevice(s.set, &s.data), 1);
    EXPECT_FALSE(HasKey(rig, model));
    EXPECT_TRUE(HasKey(rig, manufacturer + "\\DigitalImaging\\Other"));
}

// Names that would make the key paths leave the device's own tree: the keys stay, the debugger
// output says why, the TWAIN data source still goes (or stays when it has no instance number).
TEST(RemovalKeys, NamesThatWouldNameAnotherTreeSkipTheKeys) {
    struct Case {
        const char* what;
        ScannerSetup given;
        bool keysGo;
        bool twainGoes;
    } cases[] = {
        {"a description with a backslash", {.description = "Tarvix Q920k\\DeviceInstances"}, false, true},
        {"a manufacturer with a backslash", {.manufacturer = "Tarvix\\DigitalImaging"}, false, true},
        {"an empty serial part", {.instance_id = "USB\\VID_2E5A&PID_0920\\"}, false, true},
        {"no instance number", {.driver_instance = ""}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig(Profile(6, 1), c.what);
        const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
        tvx::test::AddInstanceKeys(rig, model, kSerial);
        tvx::test::AddTwainSource(rig, "0000");
        std::filesystem::create_directories(rig.machine.c_drive_folder() / "Windows" / "TWAIN_32" / "tvpn_");
        AddedScanner s = AddScanner(rig, c.given);
        {
            CSetupExtensionQ920k ext;
            EXPECT_EQ(ext.CleanupRemovedDevice(s.set, &s.data), 1);
        }
        EXPECT_EQ(HasKey(rig, "Tarvix\\DigitalImaging\\Tarvix Q920k"), !c.keysGo);
        EXPECT_TRUE(HasKey(rig, "Tarvix\\DigitalImaging"));
        EXPECT_EQ(rig.machine.files().IsFile(tvx::test::TwainFile("0000")), !c.twainGoes);
        EXPECT_TRUE(rig.machine.files().IsFolder("C:\\Windows\\TWAIN_32\\tvpn_"));
        ASSERT_EQ(rig.machine.system().debug_output().size(), 1u);
        EXPECT_NE(rig.machine.system().debug_output()[0].find(c.keysGo ? "TWAIN" : "imaging device keys"),
                  std::string::npos);
        rig.machine.setupapi().SetupDiDestroyDeviceInfoList(s.set);
        rig.ExpectClean();
    }
}

TEST_F(RemovalTest, WithoutTheIdentityOnlyTheDebuggerHearsOfIt) {
    const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
    tvx::test::AddInstanceKeys(rig, model, kSerial);
    tvx::test::AddTwainSource(rig, "0000");
    Ext();  // its log exists before the snapshot
    const auto registry = tvx::test::RegistryEntries(rig);
    const auto drive = tvx::test::DriveEntries(rig);
    AddedScanner& noMfg = Add({.manufacturer = ""});
    AddedScanner& noSlash = Add({.instance_id = "ROOTSCANNER"});
    EXPECT_EQ(Ext().CleanupRemovedDevice(noMfg.set, &noMfg.data), 0);
    EXPECT_EQ(Ext().CleanupRemovedDevice(noSlash.set, &noSlash.data), 0);
    EXPECT_EQ(Debug(), std::vector<std::string>(2, kCouldNotObtain));
    EXPECT_EQ(rig.LogBody(), "");
    auto after = tvx::test::RegistryEntries(rig);
    for (const auto& entry : registry) EXPECT_TRUE(after.count(entry)) << entry;
    EXPECT_EQ(tvx::test::DriveEntries(rig), drive);
}

// ---- The marker take-back ----

const std::string kMarker = "Software\\Tarvix\\tvx\\c32\\tvx";

TEST(RemovalMarker, TakesBackTheMarkerOrOnlyTheModelsValue) {
    struct Case {
        const char* what;
        std::function<void(SimRig&)> setUp;
        std::string log;
        std::vector<std::string> gone;   // keys (below Software, 32-bit view) or "key -> value"
        std::vector<std::string> stays;
    };
    const std::string marker = "Tarvix\\tvx\\c32\\tvx";
    const Case cases[] = {
        {"this model's value only", [](SimRig& r) { tvx::test::AddMarker(r); }, "dwIndex = 2\r\n",
         {"Tarvix\\tvx"}, {"Tarvix"}},
        {"a second model's value", [](SimRig& r) { tvx::test::AddMarker(r, {"tvxQ920k", "tvxQ700"}); },
         "dwIndex = 3\r\n", {marker + " -> tvxQ920k"},
         {marker + " -> tvxQ700", marker + " -> _PnPFinishedEvent", "Tarvix\\tvx\\c32 -> tvx_PNPFinishedEvent_99"}},
        {"a value name longer than the buffer still counts",
         [](SimRig& r) { tvx::test::AddMarker(r, {"tvxQ920k", std::string(300, 'L').c_str()}); }, "dwIndex = 3\r\n",
         {marker + " -> tvxQ920k"}, {marker + " -> _PnPFinishedEvent"}},
        {"another subkey beside c32",
         [](SimRig& r) {
             tvx::test::AddMarker(r);
             r.machine.registry().EnsureKey(Hive::LocalMachine, Software32(r, "Tarvix\\tvx\\other"));
         },
         "dwIndex = 2\r\nRegDeleteKey returned 5 while removing Software\\Tarvix\\tvx\r\n", {"Tarvix\\tvx\\c32"},
         {"Tarvix\\tvx\\other"}},
        {"another subkey beside the marker",
         [](SimRig& r) {
             tvx::test::AddMarker(r);
             r.machine.registry().EnsureKey(Hive::LocalMachine, Software32(r, "Tarvix\\tvx\\c32\\keep"));
         },
         "dwIndex = 2\r\nRegDeleteKey returned 5 while removing Software\\Tarvix\\tvx\\c32\r\n", {marker},
         {"Tarvix\\tvx\\c32\\keep", "Tarvix\\tvx\\c32 -> tvx_PNPFinishedEvent_99"}},
        {"a marker without the model's value", [](SimRig& r) { tvx::test::AddMarker(r, {"tvxQ700"}); },
         "RegQueryValueEx returned 2 while querying tvxQ920k\r\n", {}, {marker + " -> tvxQ700", marker + " -> _PnPFinishedEvent"}},
        {"no marker", [](SimRig& r) { r.machine.registry().EnsureKey(Hive::LocalMachine, Software32(r, "Tarvix\\tvx\\c32")); },
         "RegOpenKeyEx returned 2 while trying to open Software\\Tarvix\\tvx\\c32\\tvx\r\n", {}, {"Tarvix\\tvx\\c32"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig(Profile(6, 1), c.what);
        c.setUp(rig);
        const auto before = tvx::test::RegistryEntries(rig);
        {
            CSetupExtensionQ920k ext;
            ext.RemovePnPFinishedMarker();
            EXPECT_EQ(rig.LogBody(), c.log);
        }
        auto present = [&](const std::string& entry) {
            const size_t arrow = entry.find(" -> ");
            if (arrow == std::string::npos) return HasKey(rig, entry);
            return rig.machine.registry()
                .GetValue(Hive::LocalMachine, Software32(rig, entry.substr(0, arrow)), entry.substr(arrow + 4))
                .has_value();
        };
        for (const auto& entry : c.gone) EXPECT_FALSE(present(entry)) << entry;
        for (const auto& entry : c.stays) EXPECT_TRUE(present(entry)) << entry;
        // Nothing but what the case names goes.
        const auto after = tvx::test::RegistryEntries(rig);
        size_t lost = 0;
        for (const auto& entry : before) lost += !after.count(entry);
        EXPECT_EQ(lost == 0, c.gone.empty());
        rig.ExpectClean();
    }
}

TEST(RemovalMarker, TheKeysGoFromTheInsideOut) {
    SimRig rig(Profile(6, 1));
    tvx::test::AddMarker(rig);
    {
        CSetupExtensionQ920k ext;
        ext.RemovePnPFinishedMarker();
    }
    std::vector<std::string> removed;
    for (const auto& r : Layer().trace())
        if (r.call == "RegDeleteKeyExA") removed.push_back(r.args);
    ASSERT_EQ(removed.size(), 3u);
    EXPECT_NE(removed[0].find("\"tvx\""), std::string::npos) << removed[0];
    EXPECT_NE(removed[1].find("\"c32\""), std::string::npos) << removed[1];
    EXPECT_NE(removed[2].find("\"tvx\""), std::string::npos) << removed[2];
    EXPECT_FALSE(HasKey(rig, "Tarvix\\tvx"));
    EXPECT_TRUE(HasKey(rig, "Tarvix"));
    rig.ExpectClean();
}

TEST(RemovalMarker, TheCountStopsAtAThousand) {
    SimRig rig(Profile(6, 1));
    tvx::test::AddMarker(rig);
    for (int i = 0; i < 1005; ++i)
        rig.machine.registry().SetString(Hive::LocalMachine, Software32(rig, "Tarvix\\tvx\\c32\\tvx"),
                                         "other" + std::to_string(i), "1");
    {
        CSetupExtensionQ920k ext;
        ext.RemovePnPFinishedMarker();
        EXPECT_EQ(rig.LogBody(), "dwIndex = 1000\r\n");
    }
    EXPECT_FALSE(rig.machine.registry()
                     .GetValue(Hive::LocalMachine, Software32(rig, "Tarvix\\tvx\\c32\\tvx"), "tvxQ920k")
                     .has_value());
    rig.ExpectClean();
}

TEST(RemovalMarker, WithoutALoggerTheTakeBackStillRuns) {
    SimRig rig(Profile(6, 1));
    tvx::test::AddMarker(rig);
    rig.machine.registry().EnsureKey(Hive::LocalMachine, Software32(rig, "Tarvix\\tvx\\other"));
    {
        CSetupExtensionQ920k ext;
        ext.m_pLogger = nullptr;
        ext.RemovePnPFinishedMarker();
        ext.RemovePnPFinishedMarker();  // now without a marker key
        EXPECT_EQ(rig.LogBody(), "");
    }
    EXPECT_FALSE(HasKey(rig, "Tarvix\\tvx\\c32"));
    EXPECT_TRUE(HasKey(rig, "Tarvix\\tvx\\other"));
    rig.ExpectClean();
}

// ---- Through the dispatcher ----

DWORD Remove(CSetupExtension& ext, AddedScanner& s) {
    return plat::sim::CallCoInstaller(s.set, s.data, {DIF_REMOVE, s.index},
                                      [&](DI_FUNCTION f, HDEVINFO set, PSP_DEVINFO_DATA d, PCOINSTALLER_CONTEXT_DATA c) {
                                          return ext.CSetupExtension::TarvixDeviceCoInstaller(f, set, d, c);
                                      });
}

TEST_F(RemovalTest, DifRemoveCleansTheInstanceAndTakesBackTheMarker) {
    const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
    tvx::test::AddInstanceKeys(rig, model, kSerial);
    tvx::test::AddTwainSource(rig, "0000");
    tvx::test::AddMarker(rig);
    AddedScanner& s = Add();
    EXPECT_EQ(Remove(Ext(), s), DWORD(NO_ERROR));
    EXPECT_FALSE(HasKey(rig, model));
    EXPECT_FALSE(HasKey(rig, "Tarvix\\tvx"));
    EXPECT_TRUE(HasKey(rig, "Tarvix\\DigitalImaging"));
    EXPECT_FALSE(rig.machine.files().IsFolder(tvx::test::TwainFolder("0000")));
    EXPECT_EQ(rig.LogBody(),
              "\r\nTarvixDeviceCoInstaller: called . dif=5 pContext->InstallResult = 0x00000000 \r\n\r\r\n"
              "Handling DIF_REMOVE DIF code\r\ndwIndex = 2\r\n");
}

TEST_F(RemovalTest, DifRemoveWithoutAModelTakesBackOnlyTheMarker) {
    const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
    tvx::test::AddInstanceKeys(rig, model, kSerial);
    tvx::test::AddTwainSource(rig, "0000");
    tvx::test::AddMarker(rig);
    AddedScanner& s = Add({.model = nullptr});
    EXPECT_EQ(Remove(Ext(), s), DWORD(NO_ERROR));
    EXPECT_TRUE(HasKey(rig, model + "\\DeviceInstances\\" + kSerial + "\\Functions\\Scan"));
    EXPECT_TRUE(rig.machine.files().IsFile(tvx::test::TwainFile("0000")));
    EXPECT_FALSE(HasKey(rig, "Tarvix\\tvx"));
    EXPECT_TRUE(Debug().empty());
}

}  // namespace
