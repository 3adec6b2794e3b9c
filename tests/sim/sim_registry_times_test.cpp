// Last-write times on the simulated registry: a time the set-up gives a key is what both registry
// calls report, and the key's next change replaces it with the clock's time.
#include <gtest/gtest.h>

#include "platform/all.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::SimTest;

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

class SimRegistryTimesTest : public SimTest {};

TEST_F(SimRegistryTimesTest, GivenTimesAreReportedUntilTheKeyChanges) {
    auto& registry = rig.machine.registry();
    const char* events = "SYSTEM\\CurrentControlSet\\Control\\StillImage\\Events\\ScanButton";
    registry.EnsureKey(Hive::LocalMachine, std::string(events) + "\\H1");
    registry.EnsureKey(Hive::LocalMachine, std::string(events) + "\\H2");
    const FILETIME ten{10, 0}, thirty{30, 0};
    ASSERT_TRUE(registry.SetLastWriteTime(Hive::LocalMachine, std::string(events) + "\\H1", thirty));
    ASSERT_TRUE(registry.SetLastWriteTime(Hive::LocalMachine, std::string(events) + "\\H2", ten));
    EXPECT_FALSE(registry.SetLastWriteTime(Hive::LocalMachine, std::string(events) + "\\Missing", ten));

    HKEY parent = nullptr;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, events, 0, KEY_READ, &parent), ERROR_SUCCESS);
    uint64_t enumerated[2] = {};
    for (DWORD i = 0; i < 2; ++i) {
        char name[64];
        DWORD cch = sizeof name;
        FILETIME t{};
        ASSERT_EQ(plat::RegEnumKeyExA(parent, i, name, &cch, nullptr, nullptr, nullptr, &t), ERROR_SUCCESS);
        enumerated[i] = Ticks(t);
    }
    EXPECT_EQ(enumerated[0], 30u);
    EXPECT_EQ(enumerated[1], 10u);

    HKEY h2 = nullptr;
    ASSERT_EQ(plat::RegOpenKeyExA(parent, "H2", 0, KEY_ALL_ACCESS, &h2), ERROR_SUCCESS);
    FILETIME queried{};
    ASSERT_EQ(plat::RegQueryInfoKeyA(h2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, &queried),
              ERROR_SUCCESS);
    EXPECT_EQ(Ticks(queried), 10u);

    const BYTE data[] = "x";
    ASSERT_EQ(plat::RegSetValueExA(h2, "CmdLine", 0, REG_SZ, data, 2), ERROR_SUCCESS);
    ASSERT_EQ(plat::RegQueryInfoKeyA(h2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, &queried),
              ERROR_SUCCESS);
    EXPECT_EQ(Ticks(queried), Ticks(rig.machine.clock().FileTime())) << "the change stamps the key with the clock";
    plat::RegCloseKey(h2);
    plat::RegCloseKey(parent);
}

}  // namespace
