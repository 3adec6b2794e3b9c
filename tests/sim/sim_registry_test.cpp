// The simulated registry where it models the machine rather than a single call: the views of a
// 64-bit Windows 7, the refusal of HKLM writes to a standard user, Windows' subkey order, handles
// that outlive their key, and a key's values and longest lengths through a series of changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/call_layer.h"
#include "platform/scoped.h"
#include "platform/text/names.h"
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

// Calls made on a predefined key itself are checked against the user's rights on its hive: a
// standard user reads HKLM but cannot change its values; HKCU stays his.
TEST(SimRegistryRights, CallsOnAPredefinedKeyFollowTheUsersRightsOnItsHive) {
    const BYTE data[] = "1";
    char name[256];
    DWORD size = 0;
    struct Case {
        const char* what;
        bool admin;
        HKEY hive;
        LSTATUS (*call)(HKEY key, char* name, DWORD* size, const BYTE* data);
        LSTATUS status;
    } cases[] = {
        {"set value, HKLM, standard user", false, HKEY_LOCAL_MACHINE,
         [](HKEY k, char*, DWORD*, const BYTE* d) { return plat::RegSetValueExA(k, "TvxDirect", 0, REG_SZ, d, 2); },
         ERROR_ACCESS_DENIED},
        {"delete value, HKLM, standard user", false, HKEY_LOCAL_MACHINE,
         [](HKEY k, char*, DWORD*, const BYTE*) { return plat::RegDeleteValueA(k, "TvxDirect"); }, ERROR_ACCESS_DENIED},
        {"query value, HKLM, standard user", false, HKEY_LOCAL_MACHINE,
         [](HKEY k, char*, DWORD* n, const BYTE*) {
             return plat::RegQueryValueExA(k, "TvxDirect", nullptr, nullptr, nullptr, n);
         },
         ERROR_FILE_NOT_FOUND},
        {"enumerate keys, HKLM, standard user", false, HKEY_LOCAL_MACHINE,
         [](HKEY k, char* s, DWORD* n, const BYTE*) {
             *n = 256;
             return plat::RegEnumKeyExA(k, 0, s, n, nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_SUCCESS},
        {"enumerate values, HKLM, standard user", false, HKEY_LOCAL_MACHINE,
         [](HKEY k, char* s, DWORD* n, const BYTE*) {
             *n = 256;
             return plat::RegEnumValueA(k, 0, s, n, nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_NO_MORE_ITEMS},
        {"key information, HKLM, standard user", false, HKEY_LOCAL_MACHINE,
         [](HKEY k, char*, DWORD* n, const BYTE*) {
             return plat::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, n, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr);
         },
         ERROR_SUCCESS},
        {"set value, HKCU, standard user", false, HKEY_CURRENT_USER,
         [](HKEY k, char*, DWORD*, const BYTE* d) { return plat::RegSetValueExA(k, "TvxDirect", 0, REG_SZ, d, 2); },
         ERROR_SUCCESS},
        {"delete value, HKCU, administrator", true, HKEY_CURRENT_USER,
         [](HKEY k, char*, DWORD*, const BYTE* d) {
             plat::RegSetValueExA(k, "TvxDirect", 0, REG_SZ, d, 2);
             return plat::RegDeleteValueA(k, "TvxDirect");
         },
         ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig(Profile(6, 1, VER_PLATFORM_WIN32_NT, "", c.admin));
        EXPECT_EQ(c.call(c.hive, name, &size, data), c.status);
        rig.ExpectClean();
    }
}

// The set-up calls change what the registry calls then see: values keep their place when set
// again and go to the end when removed and set anew; a removed tree leaves its open handles on a
// deleted key.
TEST_F(SimRegistryTest, SetUpCallsChangeWhatTheCallsSee) {
    auto& registry = rig.machine.registry();
    registry.SetString(Hive::CurrentUser, "SetUp\\Key", "a", "1");
    registry.SetDword(Hive::CurrentUser, "SetUp\\Key", "b", 2);
    registry.SetString(Hive::CurrentUser, "SetUp\\Key", "A", "again");
    auto names = [](HKEY key) {
        std::string list;
        for (DWORD i = 0;; ++i) {
            char name[64];
            DWORD size = sizeof name;
            if (plat::RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            list += (list.empty() ? "" : ",") + std::string(name, size);
        }
        return list;
    };
    plat::ScopedKey key;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_CURRENT_USER, "SetUp\\Key", 0, KEY_READ, key.out()), ERROR_SUCCESS);
    EXPECT_EQ(names(key.get()), "a,b");
    EXPECT_TRUE(registry.DeleteValue(Hive::CurrentUser, "SetUp\\Key", "A"));
    EXPECT_FALSE(registry.DeleteValue(Hive::CurrentUser, "SetUp\\Key", "a"));
    EXPECT_FALSE(registry.DeleteValue(Hive::CurrentUser, "SetUp\\Missing", "a"));
    EXPECT_FALSE(registry.FindKey(Hive::CurrentUser, "SetUp\\Missing")) << "removing a value makes no key";
    registry.SetString(Hive::CurrentUser, "SetUp\\Key", "a", "3");
    EXPECT_EQ(names(key.get()), "b,a");

    EXPECT_FALSE(registry.DeleteTree(Hive::CurrentUser, "")) << "a hive's root stays";
    EXPECT_TRUE(registry.DeleteTree(Hive::CurrentUser, "SetUp"));
    EXPECT_FALSE(registry.FindKey(Hive::CurrentUser, "SetUp"));
    DWORD size = 0;
    EXPECT_EQ(plat::RegQueryValueExA(key.get(), "a", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
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

// Windows answers success to closing a predefined key, but closes the handle the process keeps
// for it under every other thread: the machine answers the same and reports it as a finding.
TEST(SimRegistryRoots, ClosingAPredefinedKeyIsAFinding) {
    SimRig rig;
    EXPECT_EQ(plat::RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(plat::RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(plat::host::Layer().not_modelled(),
              (std::vector<std::string>{"RegCloseKey of a predefined key (HKEY_LOCAL_MACHINE)",
                                        "RegCloseKey of a predefined key (HKEY_CURRENT_USER)"}));
}

// An owner given the root a key was opened below closes the key only when it is not that root:
// an empty path answers the root itself, which stays open for its own holder.
TEST_F(SimRegistryTest, AKeyThatIsItsRootIsNotClosedByItsOwner) {
    rig.machine.registry().SetString(Hive::CurrentUser, "Parent\\Child", "v", "1");
    plat::ScopedKey parent;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_CURRENT_USER, "Parent", 0, KEY_READ, parent.out(HKEY_CURRENT_USER)),
              ERROR_SUCCESS);
    EXPECT_TRUE(parent.owns());
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
        {
            plat::ScopedKey root;
            ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, empty, 0, KEY_READ, root.out(HKEY_LOCAL_MACHINE)),
                      ERROR_SUCCESS);
            EXPECT_EQ(root.get(), HKEY_LOCAL_MACHINE);
            EXPECT_FALSE(root.owns());
            plat::ScopedKey alias;
            ASSERT_EQ(plat::RegOpenKeyA(parent.get(), empty, alias.out(parent.get())), ERROR_SUCCESS);
            EXPECT_EQ(alias.get(), parent.get());
            plat::ScopedKey moved(std::move(alias));
            EXPECT_FALSE(moved.owns());
        }
        // The caller's key is still open.
        DWORD size = 0;
        EXPECT_EQ(plat::RegQueryValueExA(parent.get(), "Missing", nullptr, nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
    }
    plat::ScopedKey child;
    ASSERT_EQ(plat::RegOpenKeyA(parent.get(), "Child", child.out(parent.get())), ERROR_SUCCESS);
    EXPECT_TRUE(child.owns());
}

// What enumeration shows of a key, and what RegQueryInfoKeyA answers for it, side by side: the
// counts and longest lengths recomputed from the enumerated subkeys and values must be the ones the
// query reports, and every enumerated value must be found by its name in upper case with its type
// and size.
void ExpectInfoMatchesEnumeration(HKEY key) {
    DWORD subkeys = 0, maxSubkey = 0;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (plat::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ++subkeys;
        maxSubkey = std::max(maxSubkey, size);
    }
    DWORD values = 0, maxName = 0, maxData = 0;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name, type = 0, cbData = 0;
        if (plat::RegEnumValueA(key, i, name, &size, nullptr, &type, nullptr, &cbData) != ERROR_SUCCESS) break;
        ++values;
        maxName = std::max(maxName, size);
        const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
        maxData = std::max(maxData, text ? 2 * cbData : cbData);
        std::string upper(name, size);
        for (char& c : upper) c = plat::text::UpperAscii(c);
        DWORD foundType = 0, foundSize = 0;
        EXPECT_EQ(plat::RegQueryValueExA(key, upper.c_str(), nullptr, &foundType, nullptr, &foundSize), ERROR_SUCCESS)
            << upper;
        EXPECT_EQ(foundType, type) << upper;
        EXPECT_EQ(foundSize, cbData) << upper;
    }
    DWORD q[5] = {99, 99, 99, 99, 99};
    ASSERT_EQ(plat::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &q[0], &q[1], nullptr, &q[2], &q[3], &q[4],
                                     nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::vector<DWORD>(q, q + 5), (std::vector<DWORD>{subkeys, maxSubkey, values, maxName, maxData}));
}

TEST_F(SimRegistryTest, ValuesAndLongestLengthsFollowEveryChange) {
    plat::ScopedKey key;
    ASSERT_EQ(plat::RegCreateKeyExA(HKEY_CURRENT_USER, "Tally", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(),
                                    nullptr),
              ERROR_SUCCESS);
    const BYTE text[] = "a longer text than the others";
    const DWORD number = 7;
    struct Step {
        const char* what;
        std::function<LSTATUS()> change;
    };
    const Step steps[] = {
        {"three values", [&] {
             plat::RegSetValueExA(key.get(), "a", 0, REG_SZ, text, 2);
             plat::RegSetValueExA(key.get(), "bb", 0, REG_SZ, text, sizeof text);
             return plat::RegSetValueExA(key.get(), "ccc", 0, REG_BINARY, text, 5);
         }},
        {"the longest data becomes a number", [&] {
             return plat::RegSetValueExA(key.get(), "BB", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
         }},
        {"the first value goes", [&] { return plat::RegDeleteValueA(key.get(), "A"); }},
        {"two subkeys", [&] {
             plat::ScopedKey sub;
             plat::RegCreateKeyExA(key.get(), "k1", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.out(), nullptr);
             sub.reset();
             return plat::RegCreateKeyExA(key.get(), "a-longer-key", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.out(),
                                          nullptr);
         }},
        {"the longer subkey goes", [&] { return plat::RegDeleteKeyA(key.get(), "A-LONGER-KEY"); }},
        {"the first value comes back at the end", [&] {
             return plat::RegSetValueExA(key.get(), "a", 0, REG_EXPAND_SZ, text, 4);
         }},
        {"the longest name goes", [&] { return plat::RegDeleteValueA(key.get(), "cCc"); }},
        {"the last value goes", [&] { return plat::RegDeleteValueA(key.get(), "a"); }},
        {"a value set to what it holds", [&] {
             return plat::RegSetValueExA(key.get(), "bb", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(step.change(), ERROR_SUCCESS);
        ExpectInfoMatchesEnumeration(key.get());
    }
    DWORD size = 0;
    EXPECT_EQ(plat::RegQueryValueExA(key.get(), "ccc", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

}  // namespace
