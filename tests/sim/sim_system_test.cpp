// The simulated kernel: its version record (what the profile says, in both record sizes), its
// tick count and sleep, and its conversion of ANSI text to wide text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/sim_fixture.h"

namespace {

using tvx::test::Profile;
using tvx::test::SimRig;

TEST(SimSystemVersion, ExtendedRecordCarriesTheServicePackItsTextNames) {
    struct Case {
        DWORD platform;
        const char* csd;
        WORD major, minor;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, "Service Pack 2", 2, 0},
        {VER_PLATFORM_WIN32_NT, "", 0, 0},
        {VER_PLATFORM_WIN32_WINDOWS, " A ", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csd);
        SimRig rig(Profile(5, 2, c.platform, c.csd));
        OSVERSIONINFOEXA info;
        std::memset(&info, 0xCC, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(plat::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)));
        EXPECT_STREQ(info.szCSDVersion, c.csd);
        EXPECT_EQ(info.wServicePackMajor, c.major);
        EXPECT_EQ(info.wServicePackMinor, c.minor);
        rig.ExpectClean();
    }
}

}  // namespace

namespace {

// The tick count starts where the scenario puts it and wraps at 32 bits as the virtual clock runs
// on; the difference of two counts, taken as unsigned 32-bit numbers, is the time between them.
TEST(SimSystemClock, TheTickCountWrapsAtThirtyTwoBits) {
    tvx::test::SimRig rig;
    rig.machine.system().SetTickCountStart(0xFFFFF000u);
    const DWORD before = plat::GetTickCount();
    EXPECT_EQ(before, 0xFFFFF000u);
    plat::Sleep(0x2000);
    const DWORD after = plat::GetTickCount();
    EXPECT_EQ(after, 0x1000u);
    EXPECT_EQ(static_cast<DWORD>(after - before), 0x2000u);
    EXPECT_EQ(rig.machine.clock().now_ms(), 0x2000u);
    rig.ExpectClean();
}

// A sleep without end stops the run rather than moving the clock 49 days on.
TEST(SimSystemClock, ASleepWithoutEndStopsTheRun) {
    tvx::test::SimRig rig;
    EXPECT_THROW(plat::Sleep(INFINITE), plat::sim::WaitsForever);
    EXPECT_EQ(rig.machine.clock().now_ms(), 0u);
    rig.ExpectClean();
}

// ANSI text to wide text: Windows-1252, the size asked for with no buffer, and the two refusals.
TEST(SimSystemText, WideConversionFollowsWindows1252AndItsBufferRules) {
    tvx::test::SimRig rig;
    WCHAR wide[8];
    EXPECT_EQ(plat::MultiByteToWideChar(CP_ACP, 0, "\x80\x81\x9F\xFF", -1, wide, 8), 5);
    EXPECT_EQ(std::u16string(wide), std::u16string(u"\u20AC\u0081\u0178\u00FF"));
    EXPECT_EQ(plat::MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, nullptr, 0), 7) << "the size asked for";
    plat::SetLastError(0);
    EXPECT_EQ(plat::MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, wide, 3), 0);
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(plat::MultiByteToWideChar(CP_ACP, 0x100, "a", -1, wide, 8), 0);
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_FLAGS));
    rig.ExpectClean();
}

}  // namespace
