// GetParams: the root and view it works in, what ReadString hands back for each kind of value,
// and what WriteString stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "platform/host/call_layer.h"
#include "platform/scoped.h"
#include "platform/text/guid.h"
#include "registry/get_params.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::SimTest;

constexpr const char* kParams = "SOFTWARE\\Tarvix\\tvx\\Params";
constexpr const char* kParams32 = "SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\Params";

class GetParamsTest : public SimTest {
protected:
    plat::sim::SimRegistry& Registry() { return rig.machine.registry(); }
    std::string Stored(const char* path, const char* name) {
        auto v = Registry().GetValue(Hive::LocalMachine, path, name);
        return v ? std::string(v->data.begin(), v->data.end()) : "<missing>";
    }
};

TEST_F(GetParamsTest, PathOnlyMeansTheMachineKeyInThe32BitViewWhileTheWrapperWritesNative) {
    GetParams params(kParams);
    EXPECT_EQ(params.WriteString("Label", "abc"), 0);
    {
        CSetupExtensionQ920k ext;
        EXPECT_TRUE(ext.WriteRegistryString(HKEY_LOCAL_MACHINE, kParams, "Label", "xyz", 4));
    }
    EXPECT_EQ(Stored(kParams32, "Label"), std::string("abc\0", 4));
    EXPECT_EQ(Stored(kParams, "Label"), std::string("xyz\0", 4));
    // Each reads back its own view.
    std::string text;
    EXPECT_EQ(params.ReadString("Label", text), 0);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(Registry().GetValue(Hive::LocalMachine, kParams32, "Label")->type, DWORD(REG_SZ));
}

TEST_F(GetParamsTest, SystemKeysAreTheSameInBothViews) {
    GetParams params("SYSTEM\\CurrentControlSet\\Control\\StillImage\\Tvx");
    EXPECT_EQ(params.WriteString("", "shared"), 0);
    EXPECT_EQ(Stored("SYSTEM\\CurrentControlSet\\Control\\StillImage\\Tvx", ""), std::string("shared\0", 7));
}

TEST_F(GetParamsTest, ReadStringHandsBackTextOrLeavesTheDestinationAlone) {
    Registry().SetString(Hive::LocalMachine, kParams32, "Name", "Scan to PDF");
    Registry().SetValue(Hive::LocalMachine, kParams32, "Binary", REG_BINARY, {'A', 'B', 'C', 'D', 'E'});
    Registry().SetValue(Hive::LocalMachine, kParams32, "Long", REG_SZ, std::vector<BYTE>(300, 'x'));
    std::vector<BYTE> exactly260(260, 'y');
    Registry().SetValue(Hive::LocalMachine, kParams32, "Full", REG_SZ, exactly260);
    std::vector<BYTE> binary260(260, 'b');
    Registry().SetValue(Hive::LocalMachine, kParams32, "FullBinary", REG_BINARY, binary260);
    Registry().SetValue(Hive::LocalMachine, kParams32, "Unterminated", REG_SZ, {'u', 'v'});
    Registry().SetValue(Hive::LocalMachine, kParams32, "Inner", REG_SZ, {'a', 0, 'b', 0});
    Registry().SetDword(Hive::LocalMachine, kParams32, "Number", 0x41);

    struct Case {
        const char* name;
        int result;
        std::string text;  // the destination afterwards; it starts as "unchanged"
    } cases[] = {
        {"Name", 0, "Scan to PDF"},
        {"NAME", 0, "Scan to PDF"},
        {"Binary", 0, "ABCDE"},
        {"Long", 1, "unchanged"},
        {"Full", 0, std::string(259, 'y')},
        {"FullBinary", 0, std::string(259, 'b')},
        {"Unterminated", 0, "uv"},
        {"Inner", 0, "a"},
        {"Number", 0, "A"},
        {"Missing", 1, "unchanged"},
    };
    GetParams params(kParams);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = "unchanged";
        EXPECT_EQ(params.ReadString(c.name, text), c.result);
        EXPECT_EQ(text, c.text);
    }
}

TEST_F(GetParamsTest, ReadStringWithAnEmptyNameOnlyTestsForTheDefaultValue) {
    Registry().SetString(Hive::LocalMachine, kParams32, "", "the default");
    Registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\NoDefault");
    struct Case {
        const char* path;
        int result;
    } cases[] = {
        {kParams, 0},
        {"SOFTWARE\\Tarvix\\NoDefault", 1},
        {"SOFTWARE\\Tarvix\\Missing", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        GetParams params(c.path);
        std::string text = "unchanged";
        EXPECT_EQ(params.ReadString("", text), c.result);
        EXPECT_EQ(text, "unchanged");
    }
}

TEST_F(GetParamsTest, AnOpenRootKeyNamesTheKeyBelowIt) {
    const std::string driver =
        plat::sim::kImageClassKey + "\\0000";
    Registry().SetString(Hive::LocalMachine, driver + "\\Events\\ScanButton", "", "Scan");
    plat::ScopedKey root;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, driver.c_str(), 0, KEY_ALL_ACCESS, root.out()), ERROR_SUCCESS);

    GetParams event(root.get(), "Events\\ScanButton");
    std::string text;
    EXPECT_EQ(event.ReadString("", text), 0);
    EXPECT_EQ(event.WriteString("FriendlyName", "Scan button"), 0);
    event.SetPath("Events\\CopyButton");
    EXPECT_EQ(event.ReadString("", text), 1);
    EXPECT_EQ(event.WriteString("", "Copy"), 0);

    EXPECT_EQ(Stored((driver + "\\Events\\ScanButton").c_str(), "FriendlyName"), std::string("Scan button\0", 12));
    EXPECT_EQ(Stored((driver + "\\Events\\CopyButton").c_str(), ""), std::string("Copy\0", 5));
    // The caller's root is still open and usable.
    DWORD size = 0;
    EXPECT_EQ(plat::RegQueryValueExA(root.get(), "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

// An empty path names the root key itself. The registry then hands back the root's own handle
// (the predefined key), which must stay open: the machine reports a closed predefined key, and the
// fixture's clean check fails on it. (Values are written only at the root of the user's hive, a
// key of its own; the machine root holds hives, not values.)
TEST_F(GetParamsTest, AnEmptyPathWorksOnTheRootItselfAndNeverClosesIt) {
    struct Case {
        const char* label;
        GetParams params;
        bool writes;
    } cases[] = {
        {"root unset", GetParams(""), false},
        {"machine key", GetParams(HKEY_LOCAL_MACHINE, ""), false},
        {"user key", GetParams(HKEY_CURRENT_USER, ""), true},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string name = std::string("Tvx ") + c.label;  // each case its own value
        std::string text = "unchanged";
        EXPECT_EQ(c.params.ReadString("", text), 1);  // the root has no default value
        EXPECT_EQ(c.params.ReadString(name, text), 1);
        if (c.writes) {
            EXPECT_EQ(c.params.WriteString(name, "at the root"), 0);
            EXPECT_EQ(c.params.ReadString(name, text), 0);
            EXPECT_EQ(text, "at the root");
            auto v = Registry().GetValue(Hive::CurrentUser, "", name);
            ASSERT_TRUE(v);
            EXPECT_EQ(std::string(v->data.begin(), v->data.end()), std::string("at the root\0", 12));
        }
        EXPECT_TRUE(plat::host::Layer().not_modelled().empty())
            << ::testing::PrintToString(plat::host::Layer().not_modelled());
    }
}

TEST_F(GetParamsTest, WriteStringStoresTheTextWithItsNulAndCreatesMissingParents) {
    GetParams params("SOFTWARE\\Tarvix\\a\\b\\c");
    EXPECT_EQ(params.WriteString("Three", "abc"), 0);
    EXPECT_EQ(params.WriteString("Empty", ""), 0);
    auto v = Registry().GetValue(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\a\\b\\c", "Three");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, DWORD(REG_SZ));
    EXPECT_EQ(v->data.size(), 4u);
    EXPECT_EQ(Stored("SOFTWARE\\Wow6432Node\\Tarvix\\a\\b\\c", "Empty"), std::string("\0", 1));
}

TEST_F(GetParamsTest, FailuresAnswerOne) {
    // A standard user may not open a machine key with full access, for reading either.
    Registry().SetString(Hive::LocalMachine, kParams32, "Name", "stored");
    rig.machine.profile().admin = false;
    GetParams params(kParams);
    EXPECT_EQ(params.WriteString("Name", "x"), 1);
    std::string text = "unchanged";
    EXPECT_EQ(params.ReadString("Name", text), 1);
    EXPECT_EQ(text, "unchanged");
}

}  // namespace
