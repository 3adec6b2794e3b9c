// The version record and the tests the dispatcher and the install decision branch on.
#include <gtest/gtest.h>

#include <string>

#include "core/os_info.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::Profile;
using tvx::test::SimRig;

// Which tests answer true, as a string of letters in the order 98, SE, Any, Me, 2000, XP, 2003,
// Vista, LaterThanVista; '-' for false.
std::string Answers(const COsInfo& os) {
    const bool answers[] = {os.IsWin98(),   os.IsWin98SE(), os.IsWin98Any(), os.IsWinMe(),         os.IsWin2000(),
                            os.IsWinXP(),   os.IsWin2003(), os.IsVista(),    os.IsLaterThanVista()};
    const char letters[] = "8SAM0X3VL";
    std::string out;
    for (size_t i = 0; i < 9; ++i) out += answers[i] ? letters[i] : '-';
    return out;
}

TEST(OsInfo, VersionTestsOfEachSystem) {
    struct Case {
        const char* system;
        DWORD major, minor, platform;
        const char* csd;
        const char* answers;
        int nt, nine;
    } cases[] = {
        {"Windows 98", 4, 10, VER_PLATFORM_WIN32_WINDOWS, "", "8-A------", 0, 410},
        {"Windows 98 SE", 4, 10, VER_PLATFORM_WIN32_WINDOWS, " A ", "-SA------", 0, 410},
        {"Windows 98, other text", 4, 10, VER_PLATFORM_WIN32_WINDOWS, " B ", "8-A------", 0, 410},
        {"Windows Me", 4, 90, VER_PLATFORM_WIN32_WINDOWS, "", "---M-----", 0, 490},
        {"Windows 2000", 5, 0, VER_PLATFORM_WIN32_NT, "Service Pack 4", "----0----", 500, 0},
        {"Windows XP", 5, 1, VER_PLATFORM_WIN32_NT, "Service Pack 3", "-----X---", 501, 0},
        {"Windows 5.2", 5, 2, VER_PLATFORM_WIN32_NT, "Service Pack 2", "------3--", 502, 0},
        {"Windows Vista", 6, 0, VER_PLATFORM_WIN32_NT, "", "-------V-", 600, 0},
        {"Windows 7", 6, 1, VER_PLATFORM_WIN32_NT, "Service Pack 1", "--------L", 601, 0},
        {"Win32s", 3, 10, VER_PLATFORM_WIN32s, "", "---------", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        SimRig rig(Profile(c.major, c.minor, c.platform, c.csd), c.system);
        COsInfo os;
        EXPECT_EQ(Answers(os), c.answers);
        EXPECT_EQ(os.m_NTVersion, c.nt);
        EXPECT_EQ(os.m_9xVersion, c.nine);
        // The service-pack text is kept on the 9x family only.
        EXPECT_EQ(std::string(os.m_szCSDVersion), c.platform == VER_PLATFORM_WIN32_WINDOWS ? c.csd : "");
        rig.ExpectClean();
    }
}

TEST(OsInfo, AsksForTheExtendedRecordFirstAndFallsBackToTheBasicOne) {
    SimRig rig(Profile(5, 1));
    plat::host::Layer().FailNth(1, ERROR_INSUFFICIENT_BUFFER);
    COsInfo os;
    EXPECT_TRUE(os.IsWinXP());
    const auto& trace = plat::host::Layer().trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].call, "GetVersionExA");
    EXPECT_EQ(trace[1].call, "GetVersionExA");
}

TEST(OsInfo, FailedVersionQueryLeavesEveryTestFalse) {
    SimRig rig(Profile(5, 1));
    plat::host::Layer().FailCall("GetVersionExA", ERROR_INVALID_PARAMETER);
    COsInfo os;
    EXPECT_EQ(Answers(os), "---------");
    EXPECT_EQ(os.m_NTVersion, 0);
    EXPECT_EQ(os.m_9xVersion, 0);
}

TEST(OsInfo, LongServicePackTextIsCutToTheMember) {
    SimRig rig(Profile(4, 10, VER_PLATFORM_WIN32_WINDOWS, ""));
    rig.machine.profile().os.csd = std::string(120, 'z');
    COsInfo os;
    EXPECT_EQ(std::string(os.m_szCSDVersion), std::string(63, 'z'));
    EXPECT_TRUE(os.IsWin98());
}

TEST(OsInfo, IsAdminAsksTheServiceManagerOnNt) {
    struct Case {
        const char* who;
        DWORD major, minor, platform;
        bool admin;
        bool expected;
        bool asks;
    } cases[] = {
        {"administrator on XP", 5, 1, VER_PLATFORM_WIN32_NT, true, true, true},
        {"user on XP", 5, 1, VER_PLATFORM_WIN32_NT, false, false, true},
        {"user on 7", 6, 1, VER_PLATFORM_WIN32_NT, false, false, true},
        {"anyone on 98", 4, 10, VER_PLATFORM_WIN32_WINDOWS, false, true, false},
        {"anyone on Me", 4, 90, VER_PLATFORM_WIN32_WINDOWS, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        SimRig rig(Profile(c.major, c.minor, c.platform, "", c.admin), c.who);
        COsInfo os;
        EXPECT_EQ(os.IsAdmin(), c.expected);
        EXPECT_EQ(SimRig::Called("OpenSCManagerA"), c.asks);
        rig.ExpectClean();  // the manager's handle is closed
    }
}

}  // namespace
