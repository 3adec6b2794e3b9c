// A long life in one loaded library, as a device installer process that installs and removes the
// scanner again and again would give it: the handles open (each enumeration context holds one), the
// heap and the log stay bounded however many times the flows run.
#include <gtest/gtest.h>

#include <malloc.h>

#include "platform/host/call_layer.h"
#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "tests/sim_fixture.h"
#include "tools/scenario/scenario.h"
#include "tools/tvx-sim/machine_setup.h"

namespace {

constexpr int kRounds = 1000;
constexpr size_t kRotationSize = 51200;

// The built-in first plug-in: the disc in D:, the still-image service, the scanner with its keys.
class LongLife : public ::testing::Test {
protected:
    LongLife()
        : scenario(tvx::ReadScenario(std::filesystem::path(TVX_SCENARIOS) / "default" / "scenario.toml")),
          folder(tvx::test::FreshScratchFolder()),
          machine(tvx::sim::ProfileOf(scenario.machine), tvx::sim::DriveFolder(folder, 'C')) {
        tvx::sim::SetUpMachine(machine, scenario.machine, folder, scenario.file.string());
    }

    DWORD Dif(DI_FUNCTION code, bool post = false) {
        return plat::sim::CallCoInstaller(machine.setupapi(), {code, 0, post}, library.Entry());
    }

    // The new-device sequence, then the removal.
    void InstallAndRemove() {
        EXPECT_EQ(Dif(DIF_INSTALLDEVICE), DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
        EXPECT_EQ(Dif(DIF_INSTALLDEVICE, true), DWORD(NO_ERROR));
        EXPECT_EQ(Dif(DIF_NEWDEVICEWIZARD_FINISHINSTALL), DWORD(NO_ERROR));
        EXPECT_EQ(Dif(DIF_REMOVE), DWORD(NO_ERROR));
    }

    void InstallPellionSoftware() {
        char command_line[] = "tvxQ920k";
        library.InstallPellionSoftware(nullptr, plat::host::CoInstallerLibrary::ModuleHandle(), command_line, 1);
    }

    size_t LogSize() { return machine.files().ReadFile("C:\\Windows\\Temp\\_coInst.log").value_or("").size(); }

    tvx::Scenario scenario;
    std::filesystem::path folder;
    plat::sim::Machine machine;
    plat::sim::ActiveMachine active{machine};
    plat::host::CoInstallerLibrary library;
};

TEST_F(LongLife, ThousandInstallsRemovalsAndSoftwareInstallsInOneLoadStayBounded) {
    plat::host::Layer().SetTracing(false);  // the trace would grow with every call
    ASSERT_TRUE(library.Load(TVX_COINSTALLER_MODULE)) << library.error();
    InstallAndRemove();
    InstallPellionSoftware();
    // What the first round leaves open on purpose (the named event) is the baseline.
    const size_t handles = machine.handles().open_count();
    const size_t heap_after_warm_up = mallinfo2().uordblks;
    for (int round = 1; round < kRounds; ++round) {
        InstallAndRemove();
        InstallPellionSoftware();
        ASSERT_EQ(machine.handles().open_count(), handles)
            << "round " << round << ": " << ::testing::PrintToString(machine.handles().Describe());
        if (::testing::Test::HasFailure()) return;
    }
    // The simulated machine keeps a record of every program started and every wait; the library
    // itself must not grow. A leak of a logger, a key path or a device set per round would show as
    // many kilobytes per round; the records stay well below that.
    const size_t growth = mallinfo2().uordblks - heap_after_warm_up;
    EXPECT_LT(growth / kRounds, 2048u) << growth << " bytes of heap more after " << kRounds << " rounds";
    library.Unload();
    EXPECT_LE(machine.EndProcess().size(), handles) << "the process still held more than the named event";
}

// Each load adds about 1.3 KB: three hundred loads take the log through its rotation several times.
TEST_F(LongLife, LogStaysWithinTheRotationSizeAndOneLoadsLines) {
    plat::host::Layer().SetTracing(false);
    size_t one_load = 0;  // the most one load (its lines from start to end) added
    int rotations = 0;
    for (int round = 0; round < 300; ++round) {
        const size_t before = LogSize();
        ASSERT_TRUE(library.Load(TVX_COINSTALLER_MODULE)) << library.error();
        InstallAndRemove();
        library.Unload();
        machine.EndProcess();
        const size_t after = LogSize();
        if (before > kRotationSize) ++rotations;  // this load had to cut the log back
        if (before <= kRotationSize) one_load = std::max(one_load, after - before);
        ASSERT_LE(after, kRotationSize + one_load + 2) << "round " << round;
        ASSERT_GT(after, 0u);
    }
    EXPECT_GT(one_load, 0u);
    EXPECT_GE(rotations, 3);
}

}  // namespace
