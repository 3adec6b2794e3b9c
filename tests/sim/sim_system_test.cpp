// The simulated kernel's version record: what the profile says, in both record sizes.
#include <gtest/gtest.h>

#include <cstring>

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
