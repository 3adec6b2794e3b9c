// The library as Windows loads it: every load builds the one global object (start lines in
// "_coInst.log"), the exports reach it, every unload destroys it (end lines).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::MaskTimestamps;
using tvx::test::SimTest;

constexpr const char* kLoadStamp = "09:30:00\t12/10/26\t\r\n";

std::string ReadLogFixture(const std::string& name) {
    std::ifstream in(std::string(TVX_TEST_FIXTURES) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class LibraryTest : public SimTest {
protected:
    void AddScanner() {
        plat::sim::DeviceConfig device;
        device.instance_id = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2";
        device.description = "Tarvix Q920k";
        device.driver_instance = "0000";
        index_ = tvx::sim::AddScanner(rig.machine, device, "tvxQ920k");
    }
    DWORD Call(plat::host::CoInstallerLibrary& lib, DI_FUNCTION dif, bool post) {
        return plat::sim::CallCoInstaller(rig.machine.setupapi(), {dif, index_, post}, lib.Entry());
    }
    size_t index_ = 0;
};

TEST_F(LibraryTest, EachLoadBuildsAFreshObjectAndEachUnloadDestroysIt) {
    plat::host::CoInstallerLibrary lib;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        EXPECT_EQ(lib.DllEntryPoint(plat::host::CoInstallerLibrary::ModuleHandle(), DLL_THREAD_ATTACH, nullptr), TRUE);
        lib.Unload();
        EXPECT_EQ(rig.machine.handles().open_count(), 0u) << "the unload closes the log";
    }
    const std::string frame = std::string(kLoadStamp) + "Start Log\r\n" + kLoadStamp + "End Log\r\n\r\n";
    EXPECT_EQ(rig.Log(), frame + frame);
}

TEST_F(LibraryTest, InstallSequenceWritesTheExpectedLog) {
    AddScanner();
    {
        plat::host::CoInstallerLibrary lib;
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        EXPECT_EQ(Call(lib, DIF_INSTALLDEVICE, false), DWORD(ERROR_DI_POSTPROCESSING_REQUIRED));
        EXPECT_EQ(Call(lib, DIF_INSTALLDEVICE, true), DWORD(NO_ERROR));
        EXPECT_EQ(Call(lib, DIF_SELECTDEVICE, false), DWORD(NO_ERROR));
    }
    EXPECT_EQ(MaskTimestamps(rig.Log()), ReadLogFixture("coinst_install_sequence.log"));
}

TEST_F(LibraryTest, CommandEntryTakesANullCommandLine) {
    plat::host::CoInstallerLibrary lib;
    ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
    char model[] = "tvxQ920k";
    lib.InstallPellionSoftware(nullptr, plat::host::CoInstallerLibrary::ModuleHandle(), model, 1);
    lib.InstallPellionSoftware(nullptr, plat::host::CoInstallerLibrary::ModuleHandle(), nullptr, 1);
}

TEST(LibraryLoad, MissingFileIsReportedNotLoaded) {
    plat::host::CoInstallerLibrary lib;
    EXPECT_FALSE(lib.Load("/nonexistent/TarvixQ920kCO.so"));
    EXPECT_NE(lib.error().find("/nonexistent/TarvixQ920kCO.so"), std::string::npos);
    EXPECT_FALSE(lib.loaded());
}

// Another shared library in place of the co-installer: the message names every entry it lacks.
TEST(LibraryLoad, ALibraryWithoutTheEntriesNamesThem) {
    plat::host::CoInstallerLibrary lib;
    EXPECT_FALSE(lib.Load("libm.so.6"));
    EXPECT_FALSE(lib.loaded());
    for (const char* name : {"DllMain", "TarvixScannerCoInstaller", "InstallPellionSoftware", "DllEntryPoint"})
        EXPECT_NE(lib.error().find(name), std::string::npos) << lib.error();
}

}  // namespace
