// Every platform call of the new-device sequence failed in turn, once and from then on, in a
// hardware-first and in a software-first installation: the library never crashes, leaves no handle
// open but the named event's, and answers only what the device installer allows.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/device_installer.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tests/logic/install_rig.h"
#include "platform/host/library.h"

namespace {

using plat::host::Layer;
using tvx::test::Profile;
using tvx::test::SimRig;

struct Answers {
    DWORD pre, post, finish, action;
};

Answers RunSequence(SimRig& rig, size_t device) {
    Answers a{};
    plat::host::CoInstallerLibrary lib;
    EXPECT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
    auto call = [&](DI_FUNCTION dif, bool post) {
        return plat::sim::CallCoInstaller(rig.machine.setupapi(), {dif, device, post}, lib.Entry());
    };
    a.pre = call(DIF_INSTALLDEVICE, false);
    a.post = call(DIF_INSTALLDEVICE, true);
    a.finish = call(DIF_NEWDEVICEWIZARD_FINISHINSTALL, false);
    a.action = call(DIF_FINISHINSTALL_ACTION, false);
    lib.Unload();
    return a;
}

// A machine on which the whole job has something to do: the install disc with its firmware tool,
// the running still-image service, stale USB entries, the RunOnce key and the scanner.
size_t SetUpInstallMachine(SimRig& rig, bool softwareFirst) {
    tvx::MachineDescription m;
    m.drives.push_back(tvx::test::DiscDrive(rig, 'D', {}));
    m.programs.push_back({.path = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe", .run_time_ms = 30000});
    m.services.push_back(tvx::StillImageService(true, 7000));
    tvx::RegistryWriter registry(m);
    registry.EnsureKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    registry.EnsureKey("HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_0000&PID_0000");
    registry.SetString("HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_2E5A&PID_0920\\5&1", "Class", "Unknown");
    registry.SetString("HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_2E5A&PID_0920\\5&2", "Class", "Image");
    if (softwareFirst) registry.SetDword("HKEY_LOCAL_MACHINE\\SYSTEM\\Setup", "SystemSetupInProgress", 1);
    tvx::test::AddToMachine(rig, m);

    plat::sim::DeviceConfig device;
    device.instance_id = "USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&2";
    device.description = "Tarvix Q920k";
    device.hardware_ids = {"USB\\VID_2E5A&PID_0920"};
    device.driver_instance = "0000";
    size_t index = tvx::sim::AddScanner(rig.machine, device, "tvxQ920k");
    return index;
}

void Sweep(bool softwareFirst, std::initializer_list<DWORD> versions) {
    for (const DWORD version : versions) {
        {
            // Without faults the run does the whole job, so the sweep fails calls of every step.
            SCOPED_TRACE("version " + std::to_string(version) + " without faults");
            SimRig rig(Profile(version / 100, version % 100), "-clean");
            const size_t index = SetUpInstallMachine(rig, softwareFirst);
            Answers a = RunSequence(rig, index);
            EXPECT_EQ(a.action, DWORD(NO_ERROR));
            const auto& started = rig.machine.process().started();
            EXPECT_GE(started.size(), 2u) << "the firmware tool and the setup, or the tool twice and the setup";
            if (softwareFirst) {
                EXPECT_TRUE(SimRig::Called("ControlService"));
                EXPECT_EQ(rig.machine.sync().set_events().size(), 1u);
            } else {
                EXPECT_FALSE(rig.machine.sync().set_events().size());
            }
            EXPECT_FALSE(rig.machine.registry().FindKey(plat::sim::Hive::LocalMachine, "Enum\\USB\\VID_0000&PID_0000"));
            EXPECT_EQ(tvx::test::CloseKeptEventHandles(rig), softwareFirst ? 1u : 0u);
            rig.ExpectClean();
        }
        for (const bool fromThenOn : {false, true}) {
            uint64_t rounds = 0;
            for (uint64_t n = 1;; ++n) {
                SCOPED_TRACE("version " + std::to_string(version) + (fromThenOn ? ", from call " : ", call ") +
                             std::to_string(n));
                SimRig rig(Profile(version / 100, version % 100));
                const size_t index = SetUpInstallMachine(rig, softwareFirst);
                Layer().FailNth(n, ERROR_ACCESS_DENIED, fromThenOn);

                Answers a = RunSequence(rig, index);
                Layer().ClearFaults();
                EXPECT_EQ(a.pre, DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
                EXPECT_EQ(a.post, DWORD(NO_ERROR));
                EXPECT_EQ(a.finish, DWORD(NO_ERROR));
                // The action answers the setup's start: success, or the error its creation reported.
                EXPECT_TRUE(a.action == NO_ERROR || a.action == ERROR_ACCESS_DENIED) << a.action;
                // Only the named event's handle may stay, and only in a software-first install.
                tvx::test::CloseHandlesWhoseCloseFailed(rig);
                EXPECT_LE(tvx::test::CloseKeptEventHandles(rig), softwareFirst ? 1u : 0u);
                rig.ExpectClean();
                ++rounds;
                if (Layer().injected() == 0 || ::testing::Test::HasFailure()) break;
            }
            EXPECT_GT(rounds, 10u) << "the sweep reached the sequence's calls";
        }
    }
}

TEST(InstallSequenceFaultSweep, HardwareFirstAnyFailingCallLeavesNoHandleAndOnlyAllowedAnswers) {
    Sweep(false, {500u, 501u, 502u, 601u});
}

TEST(InstallSequenceFaultSweep, SoftwareFirstAnyFailingCallLeavesOnlyTheEventAndOnlyAllowedAnswers) {
    Sweep(true, {501u, 601u});
}

}  // namespace
