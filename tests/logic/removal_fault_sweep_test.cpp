// Every platform call of a DIF_REMOVE failed in turn, once and from then on: the library never
// crashes, leaves no handle open, answers NO_ERROR, and removes nothing but the removed instance's
// imaging keys and TWAIN data source and the marker.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tests/logic/removal_rig.h"

namespace {

using plat::host::Layer;
using tvx::test::Hive;
using tvx::test::Profile;
using tvx::test::SimRig;
using tvx::test::Software32;

DWORD RunRemove(SimRig& rig, size_t device) {
    plat::host::CoInstallerLibrary lib;
    EXPECT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
    const DWORD result = plat::sim::CallCoInstaller(rig.machine.setupapi(), {DIF_REMOVE, device}, lib.Entry());
    lib.Unload();
    return result;
}

// Two instances of the model with their keys and TWAIN data sources, the marker with a second
// model's value or without, and the log already there; answers the index of instance 0000.
size_t SetUpRemovalMachine(SimRig& rig, bool secondModel) {
    const std::string model = tvx::test::ModelKey("Tarvix", "Tarvix Q920k");
    tvx::test::AddInstanceKeys(rig, model, "5&1F2E3D4C&0&2");
    tvx::test::AddInstanceKeys(rig, model, "5&1F2E3D4C&0&3");
    tvx::test::AddTwainSource(rig, "0000");
    tvx::test::AddTwainSource(rig, "0001");
    if (secondModel)
        tvx::test::AddMarker(rig, {"tvxQ920k", "tvxQ700"});
    else
        tvx::test::AddMarker(rig);
    rig.machine.files().WriteFile("C:\\Windows\\Temp\\_coInst.log", "");
    size_t index = 0;
    for (const char* instance : {"0000", "0001"}) {
        plat::sim::DeviceConfig device;
        device.instance_id = std::string("USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&") + (instance[3] == '0' ? "2" : "3");
        device.description = tvx::test::kScannerDescription;
        device.manufacturer = tvx::test::kScannerManufacturer;
        device.hardware_ids = {"USB\\VID_2E5A&PID_0920"};
        device.driver_instance = instance;
        const size_t added = tvx::sim::AddScanner(rig.machine, device, "tvxQ920k");
        if (instance[3] == '0') index = added;
    }
    return index;
}

// Whether a registry entry ("path" or "path -> value", physical) is one the removal of instance
// 0000 may take away: its own keys, and the marker keys or, while a second model's value remains,
// only this model's value.
bool MayGo(SimRig& rig, const std::string& entry, bool secondModel) {
    if (secondModel && entry.find("Tarvix\\tvx") != std::string::npos)
        return entry == Software32(rig, "Tarvix\\tvx\\c32\\tvx -> tvxQ920k");
    const std::string instance = Software32(rig, "Tarvix\\DigitalImaging\\Tarvix Q920k\\DeviceInstances\\5&1F2E3D4C&0&2");
    const std::string marker = Software32(rig, "Tarvix\\tvx");
    auto below = [&](const std::string& root) {
        return entry.size() >= root.size() && entry.compare(0, root.size(), root) == 0 &&
               (entry.size() == root.size() || entry[root.size()] == '\\' || entry[root.size()] == ' ');
    };
    return below(instance) || below(marker);
}

void Sweep(bool secondModel) {
    {
        SCOPED_TRACE("without faults");
        SimRig rig(Profile(6, 1), "-clean");
        const size_t index = SetUpRemovalMachine(rig, secondModel);
        EXPECT_EQ(RunRemove(rig, index), DWORD(NO_ERROR));
        EXPECT_FALSE(rig.machine.files().IsFolder(tvx::test::TwainFolder("0000")));
        EXPECT_TRUE(rig.machine.files().IsFile(tvx::test::TwainFile("0001")));
        EXPECT_EQ(rig.machine.registry().FindKey(Hive::LocalMachine, Software32(rig, "Tarvix\\tvx")) != nullptr,
                  secondModel);
        rig.ExpectClean();
    }
    for (const bool fromThenOn : {false, true}) {
        uint64_t rounds = 0;
        for (uint64_t n = 1;; ++n) {
            SCOPED_TRACE((fromThenOn ? "from call " : "call ") + std::to_string(n));
            SimRig rig(Profile(6, 1));
            const size_t index = SetUpRemovalMachine(rig, secondModel);
            const auto registry = tvx::test::RegistryEntries(rig);
            const auto drive = tvx::test::DriveEntries(rig);
            Layer().FailNth(n, ERROR_ACCESS_DENIED, fromThenOn);
            EXPECT_EQ(RunRemove(rig, index), DWORD(NO_ERROR));
            Layer().ClearFaults();
            tvx::test::CloseHandlesWhoseCloseFailed(rig);  // the logic closed them as far as it could

            const auto registryAfter = tvx::test::RegistryEntries(rig);
            for (const auto& entry : registry) {
                if (!registryAfter.count(entry)) {
                    EXPECT_TRUE(MayGo(rig, entry, secondModel)) << "removed: " << entry;
                }
            }
            const auto driveAfter = tvx::test::DriveEntries(rig);
            for (const auto& entry : drive) {
                if (!driveAfter.count(entry)) {
                    EXPECT_TRUE(entry.find("tvpn_0000") != std::string::npos) << "removed: " << entry;
                }
            }
            rig.ExpectClean();
            ++rounds;
            if (Layer().injected() == 0 || ::testing::Test::HasFailure()) break;
        }
        EXPECT_GT(rounds, 10u) << "the sweep reached the removal's calls";
    }
}

TEST(RemovalFaultSweep, AnyFailingCallLeavesNoHandleAndRemovesOnlyWhatTheRemovalNames) {
    Sweep(false);
}

TEST(RemovalFaultSweep, WithASecondModelAnyFailingCallKeepsTheMarkerKeys) { Sweep(true); }

}  // namespace
