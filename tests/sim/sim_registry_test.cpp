// The simulated registry where it models the machine rather than a single call: the views of a
// 64-bit Windows 7, the refusal of HKLM writes to a standard user, Windows' subkey order, and
// handles that outlive their key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scoped.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::Profile;
using tvx::test::SimRig;
using tvx::test::SimTest;

class SimRegistryTest : public SimTest {};

// Creates a key in the 32-bit view and answers where it landed.
std::string WhereA32BitCreateLands(SimRig& rig, const std::string& path) {
    plat::ScopedKey key;
    EXPECT_EQ(plat::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                    nullptr, key.out(), nullptr),
              ERROR_SUCCESS);
    if (rig.machine.registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\" + path.substr(9)))
        return "32-bit";
    if (rig.machine.registry().FindKey(Hive::LocalMachine, path)) return "shared";
    return "nowhere";
}

TEST(SimRegistryViews, TheThirtyTwoBitViewRedirectsSoftwareExceptSharedKeys) {
    struct Case {
        const char* path;
        const char* lands;
    } cases[] = {
        {"SOFTWARE\\Tarvix\\tvx\\c32", "32-bit"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "32-bit"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\Sub", "shared"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe", "shared"},
        {"SOFTWARE\\Classes\\.tvx", "shared"},
        {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "shared"},
        {"SOFTWARE\\Policies\\Tarvix", "shared"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SimRig rig;
        EXPECT_EQ(WhereA32BitCreateLands(rig, c.path), c.lands);
        rig.ExpectClean();
    }
}

TEST_F(SimRegistryTest, SystemIsOneKeyForBothViewsAndClsidMovesBelowClasses) {
    rig.machine.registry().SetString(Hive::LocalMachine, "SYSTEM\\Setup", "SystemSetupInProgress", "x");
    plat::ScopedKey system;
    EXPECT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", 0, KEY_READ | KEY_WOW64_32KEY, system.out()),
              ERROR_SUCCESS);
    plat::ScopedKey clsid;
    EXPECT_EQ(plat::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{1}", 0, nullptr, 0,
                                    KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, clsid.out(), nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(rig.machine.registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}"));
}

TEST_F(SimRegistryTest, RelativeOpensFromAThirtyTwoBitHandleStayInItsView) {
    plat::ScopedKey software;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, software.out()),
              ERROR_SUCCESS);
    plat::ScopedKey vendor;
    ASSERT_EQ(plat::RegCreateKeyExA(software.get(), "Tarvix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, vendor.out(),
                                    nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(rig.machine.registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix"));
    EXPECT_FALSE(rig.machine.registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Tarvix"));
}

TEST(SimRegistryViews, AThirtyTwoBitMachineHasOneView) {
    plat::sim::MachineProfile profile = Profile(5, 1);
    profile.is_64bit = false;
    SimRig rig(profile);
    EXPECT_EQ(WhereA32BitCreateLands(rig, "SOFTWARE\\Tarvix"), "shared");
    rig.ExpectClean();
}

TEST(SimRegistryRights, AStandardUserCannotWriteBelowHklm) {
    SimRig rig(Profile(6, 1, VER_PLATFORM_WIN32_NT, "", /*admin=*/false));
    rig.machine.registry().SetString(Hive::LocalMachine, "SOFTWARE\\Tarvix", "Kept", "1");
    plat::ScopedKey key;
    EXPECT_EQ(plat::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.out(), nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix", 0, KEY_ALL_ACCESS, key.out()),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix"), ERROR_ACCESS_DENIED);
    // Reading is allowed, and RegOpenKeyA's "as much as allowed" gives a handle that can only read.
    ASSERT_EQ(plat::RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix", key.out()), ERROR_SUCCESS);
    const BYTE one[] = "2";
    EXPECT_EQ(plat::RegSetValueExA(key.get(), "Kept", 0, REG_SZ, one, 2), ERROR_ACCESS_DENIED);
    DWORD size = 0;
    EXPECT_EQ(plat::RegQueryValueExA(key.get(), "Kept", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    key.reset();
    // The user's own hive stays writable.
    EXPECT_EQ(plat::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tarvix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.out(), nullptr),
              ERROR_SUCCESS);
    key.reset();
    rig.ExpectClean();
}

TEST_F(SimRegistryTest, SubkeysComeInWindowsOrder) {
    for (const char* name : {"zeta", "_under", "Beta2", "0010", "a_c", "BETA1", "[br", "Alpha", "0002", "~tilde"})
        rig.machine.registry().EnsureKey(Hive::CurrentUser, std::string("Order\\") + name);
    plat::ScopedKey key;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_CURRENT_USER, "Order", 0, KEY_READ, key.out()), ERROR_SUCCESS);
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        LSTATUS s = plat::RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (s == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(s, ERROR_SUCCESS);
        names.push_back(name);
    }
    // Upper-cased comparison: "[", "_" sort after the letters, "~" last.
    EXPECT_EQ(names, (std::vector<std::string>{"0002", "0010", "Alpha", "a_c", "BETA1", "Beta2", "zeta", "[br",
                                               "_under", "~tilde"}));
}

TEST_F(SimRegistryTest, AHandleOutlivesItsDeletedKey) {
    rig.machine.registry().SetString(Hive::CurrentUser, "Gone", "v", "1");
    plat::ScopedKey key;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_CURRENT_USER, "Gone", 0, KEY_ALL_ACCESS, key.out()), ERROR_SUCCESS);
    EXPECT_EQ(plat::RegDeleteKeyA(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(plat::RegQueryValueExA(key.get(), "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    const BYTE data[] = "x";
    EXPECT_EQ(plat::RegSetValueExA(key.get(), "v", 0, REG_SZ, data, 2), ERROR_KEY_DELETED);
    EXPECT_EQ(plat::RegCloseKey(key.release()), ERROR_SUCCESS);
}

}  // namespace
