// Every platform call of the new-device sequence failed in turn, once and from then on: the
// library never crashes, leaves no handle open and answers only what the device installer allows.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/library.h"
#include "tests/sim_fixture.h"

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
        SP_DEVINFO_DATA data;
        HDEVINFO set = rig.machine.setupapi().OpenSetFor(device, &data);
        COINSTALLER_CONTEXT_DATA context{post ? TRUE : FALSE, NO_ERROR, nullptr};
        DWORD result = lib.TarvixScannerCoInstaller(dif, set, &data, &context);
        rig.machine.setupapi().SetupDiDestroyDeviceInfoList(set);
        return result;
    };
    a.pre = call(DIF_INSTALLDEVICE, false);
    a.post = call(DIF_INSTALLDEVICE, true);
    a.finish = call(DIF_NEWDEVICEWIZARD_FINISHINSTALL, false);
    a.action = call(DIF_FINISHINSTALL_ACTION, false);
    lib.Unload();
    return a;
}

TEST(InstallSequenceFaultSweep, AnyFailingCallLeavesNoHandleAndOnlyAllowedAnswers) {
    for (const DWORD version : {500u, 501u, 502u, 601u}) {
        for (const bool fromThenOn : {false, true}) {
            uint64_t rounds = 0;
            for (uint64_t n = 1;; ++n) {
                SCOPED_TRACE("version " + std::to_string(version) + (fromThenOn ? ", from call " : ", call ") +
                             std::to_string(n));
                SimRig rig(Profile(version / 100, version % 100));
                plat::sim::DeviceConfig device;
                device.instance_id = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2";
                device.description = "Tarvix Q920k";
                device.driver_instance = "0000";
                size_t index = rig.machine.setupapi().AddDevice(device);
                rig.machine.registry().SetString(plat::sim::Hive::LocalMachine,
                                                 rig.machine.setupapi().hardware_key_path(index), "CoinstallerModel",
                                                 "tvxQ920k");
                Layer().FailNth(n, ERROR_ACCESS_DENIED, fromThenOn);

                Answers a = RunSequence(rig, index);
                EXPECT_EQ(a.pre, DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
                EXPECT_EQ(a.post, DWORD(NO_ERROR));
                EXPECT_EQ(a.finish, DWORD(NO_ERROR));
                EXPECT_EQ(a.action, DWORD(NO_ERROR));
                rig.ExpectClean();
                ++rounds;
                if (Layer().injected() == 0 || ::testing::Test::HasFailure()) break;
            }
            EXPECT_GT(rounds, 10u) << "the sweep reached the sequence's calls";
        }
    }
}

}  // namespace
