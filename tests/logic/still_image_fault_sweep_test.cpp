// Every platform call of a device installation's naming, network data, wizard registration and
// event repair failed in turn, once and from then on: the library never crashes, leaves no handle,
// COM object or COM string alive, gives back COM as it found it, answers only what the device
// installer allows, writes no value but those these steps own, and registers the wizard only
// for the device's own, well-formed event GUIDs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "tests/logic/still_image_rig.h"

namespace {

using plat::host::Layer;
using plat::sim::Hive;
using tvx::test::kScanEmail;
using tvx::test::kScanImage;
using tvx::test::kScanPrint;
using tvx::test::kSystemEvents;
using tvx::test::kWizardClsid;
using tvx::test::Profile;
using tvx::test::SimRig;

constexpr const char* kInstance = "0003";

// Every value of HKEY_LOCAL_MACHINE as key path (upper case) and value name, with type and bytes.
using Snapshot = std::map<std::pair<std::string, std::string>, std::pair<DWORD, std::vector<BYTE>>>;

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

Snapshot Take(plat::sim::SimRegistry& registry) {
    Snapshot snapshot;
    registry.Walk(Hive::LocalMachine, [&](const plat::sim::RegKey& key, const std::string& path) {
        for (const auto& v : key.values) snapshot[{Upper(path), v.name}] = {v.type, v.data};
    });
    return snapshot;
}

// Whether these steps may write a value of that name in that key: the device's driver key and its
// "DeviceData", its event keys and their handler copies, and the system's still-image event keys.
bool Owned(const std::string& path, const std::string& name) {
    const std::string device = Upper(std::string(tvx::test::kImageClassKey) + "\\" + kInstance);
    const std::string events = Upper(kSystemEvents) + "\\";
    auto depthBelow = [&](const std::string& base) -> int {
        if (path.compare(0, base.size(), base) != 0) return -1;
        return static_cast<int>(std::count(path.begin() + base.size(), path.end(), '\\'));
    };
    const std::set<std::string> deviceValues = {"SWDevInst", "FriendlyName", "DeviceID"};
    const std::set<std::string> networkValues = {"NetworkDeviceID", "PortID", "NetworkHostName"};
    const std::set<std::string> handlerValues = {"CmdLine", "Desc", "Icon", "Name"};
    if (path == device) return deviceValues.count(name) > 0;
    if (path == device + "\\DEVICEDATA") return networkValues.count(name) > 0;
    if (depthBelow(device + "\\EVENTS\\") == 0) return name == "DefaultHandler";
    if (depthBelow(device + "\\EVENTS\\") == 1) return handlerValues.count(name) > 0;
    if (depthBelow(events) == 0) return name == "GUID";
    return false;
}

// A machine with all the data these steps work on: a like device holding number 1, the scanner
// with its network identity and its selected driver, the wizard's and two applications' handler registrations, and the
// scanner's button events, one of them with a GUID text that is no GUID.
size_t Furnish(SimRig& rig) {
    auto& registry = rig.machine.registry();
    plat::sim::DeviceConfig other;
    other.instance_id = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&1";
    other.description = "Tarvix Q920k";
    other.driver_instance = "0001";
    rig.machine.setupapi().AddDevice(other);
    registry.SetDword(Hive::LocalMachine, std::string(tvx::test::kImageClassKey) + "\\0001", "SWDevInst", 1);

    plat::sim::DeviceConfig scanner;
    scanner.instance_id = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2";
    scanner.description = "Tarvix Q920k";
    scanner.driver_instance = kInstance;
    scanner.selected_driver = plat::sim::SelectedDriver{"C:\\Windows\\inf\\oem3.inf", "Q920k.Install", "Tarvix Q920k",
                                                        "Tarvix", "Tarvix", ""};
    rig.machine.files().WriteFile("C:\\Windows\\inf\\oem3.inf",
                                  "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Image\r\n\r\n"
                                  "[Q920k.Install.NTamd64]\r\nRegisterDlls=Q920k.Dlls\r\n");
    size_t index = rig.machine.setupapi().AddDevice(scanner);
    const std::string hardwareKey = rig.machine.setupapi().hardware_key_path(index);
    registry.SetString(Hive::LocalMachine, hardwareKey, "NetworkDeviceID", "tvx-0042");
    registry.SetString(Hive::LocalMachine, hardwareKey, "PortID", "9100");
    registry.SetString(Hive::LocalMachine, hardwareKey, "NetworkHostName", "scanner.lan");

    tvx::test::StillImageRig still(rig);
    still.Wizard();
    still.SystemHandler("ScanButton", "ScanApp", 10);
    still.SystemEvent("PrintButton", kScanPrint);
    still.SystemHandler("PrintButton", "PrintApp", 20);
    still.DeviceEvent(kInstance, "ScanButton", kScanImage);
    still.DeviceEvent(kInstance, "CopyButton", kScanPrint);
    still.DeviceEvent(kInstance, "EmailButton", kScanEmail);
    still.DeviceEvent(kInstance, "BadButton", "{not-a-guid}");
    return index;
}

struct PassAnswers {
    DWORD pre, post;
};

PassAnswers Install(SimRig& rig, size_t device) {
    PassAnswers a{};
    plat::host::CoInstallerLibrary lib;
    EXPECT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
    auto call = [&](bool post) {
        return plat::sim::CallCoInstaller(rig.machine.setupapi(), {DIF_INSTALLDEVICE, device, post}, lib.Entry());
    };
    a.pre = call(false);
    a.post = call(true);
    lib.Unload();
    return a;
}

// What every run must hold, faults or not. A handle whose close was made to fail is closed first:
// the logic closed it as far as it could.
void CheckInvariants(SimRig& rig, const Snapshot& before, const PassAnswers& a) {
    EXPECT_EQ(a.pre, DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
    EXPECT_EQ(a.post, DWORD(NO_ERROR));
    tvx::test::CloseHandlesWhoseCloseFailed(rig);
    rig.ExpectClean();
    EXPECT_EQ(rig.machine.com_wia().apartment_count(), 0u) << "COM given back as found";
    const Snapshot after = Take(rig.machine.registry());
    for (const auto& [where, value] : after) {
        auto was = before.find(where);
        if (was != before.end() && was->second == value) continue;
        EXPECT_TRUE(Owned(where.first, where.second)) << "wrote " << where.first << " : " << where.second;
    }
    for (const auto& r : rig.machine.com_wia().registrations()) {
        EXPECT_EQ(r.clsid, kWizardClsid);
        EXPECT_TRUE(r.event_guid == kScanImage || r.event_guid == kScanPrint || r.event_guid == kScanEmail)
            << "registered for " << r.event_guid;
        EXPECT_EQ(r.flags, WIA_REGISTER_EVENT_CALLBACK);
        EXPECT_FALSE(r.has_device_id);
    }
}

TEST(StillImageFaultSweep, UntouchedRunDoesAllTheWork) {
    for (const DWORD version : {500u, 501u, 601u}) {
        SCOPED_TRACE("version " + std::to_string(version));
        SimRig rig(Profile(version / 100, version % 100), std::to_string(version));
        size_t device = Furnish(rig);
        const Snapshot before = Take(rig.machine.registry());
        CheckInvariants(rig, before, Install(rig, device));
        tvx::test::StillImageRig still(rig);
        const std::string deviceKey = still.DeviceKey(kInstance);
        EXPECT_EQ(still.Value(deviceKey + "\\DeviceData", "PortID"), "REG_SZ:9100\\0");
        EXPECT_EQ(rig.machine.setupapi().section_installs().size(), version == 500 ? 1u : 0u);
        if (version == 500) {
            EXPECT_EQ(still.Value(deviceKey, "FriendlyName"), "REG_SZ:Tarvix Q920k #2\\0");
            EXPECT_TRUE(rig.machine.com_wia().registrations().empty());
        } else {
            EXPECT_EQ(still.Value(deviceKey, "FriendlyName"), "<missing>");
            EXPECT_EQ(rig.machine.com_wia().registrations().size(), 3u);
            EXPECT_EQ(still.Value(deviceKey + "\\Events\\ScanButton", "DefaultHandler"), "REG_SZ:ScanApp\\0");
            EXPECT_EQ(still.Value(deviceKey + "\\Events\\CopyButton", "DefaultHandler"), "REG_SZ:PrintApp\\0");
            EXPECT_FALSE(still.HasKey(std::string(kSystemEvents) + "\\BadButton"));
        }
    }
}

TEST(StillImageFaultSweep, AnyFailingCallLeavesNothingAliveAndWritesOnlyItsOwnValues) {
    for (const DWORD version : {500u, 501u, 601u}) {
        for (const bool fromThenOn : {false, true}) {
            uint64_t rounds = 0;
            for (uint64_t n = 1;; ++n) {
                SCOPED_TRACE("version " + std::to_string(version) + (fromThenOn ? ", from call " : ", call ") +
                             std::to_string(n));
                SimRig rig(Profile(version / 100, version % 100));
                size_t device = Furnish(rig);
                const Snapshot before = Take(rig.machine.registry());
                Layer().FailNth(n, ERROR_ACCESS_DENIED, fromThenOn);
                CheckInvariants(rig, before, Install(rig, device));
                ++rounds;
                if (Layer().injected() == 0 || ::testing::Test::HasFailure()) break;
            }
            EXPECT_GT(rounds, 50u) << "the sweep reached the steps' calls";
        }
    }
}

}  // namespace
