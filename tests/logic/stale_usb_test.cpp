// The stale USB cleanup and its resumable subkey walk: which keys go and which stay, keys deleted
// while the walk runs, and contexts given back so that any number of cleanups work in one process.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "devices/stale_usb.h"
#include "platform/host/library.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::Profile;
using tvx::test::SimRig;
using tvx::test::SimTest;

constexpr const char* kUsb = "Enum\\USB";

// Keys below Enum\USB, as paths relative to it, in the registry's order.
std::vector<std::string> UsbTree(SimRig& rig) {
    std::vector<std::string> keys;
    const std::string prefix = std::string(kUsb) + "\\";
    rig.machine.registry().Walk(Hive::LocalMachine, [&](const plat::sim::RegKey&, const std::string& path) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0)
            keys.push_back(path.substr(prefix.size()));
    });
    return keys;
}

// An instance key below a device key; a null class leaves the "Class" value out.
void AddInstance(SimRig& rig, const std::string& device, const std::string& instance, const char* cls) {
    const std::string path = std::string(kUsb) + "\\" + device + "\\" + instance;
    rig.machine.registry().EnsureKey(Hive::LocalMachine, path);
    if (cls) rig.machine.registry().SetString(Hive::LocalMachine, path, "Class", cls);
}

void AddDevice(SimRig& rig, const std::string& device) {
    rig.machine.registry().EnsureKey(Hive::LocalMachine, std::string(kUsb) + "\\" + device);
}

// Open registry key handles, by description.
std::vector<std::string> OpenKeys(SimRig& rig) {
    std::vector<std::string> keys;
    for (const std::string& line : rig.machine.handles().Describe())
        if (line.rfind("registry key", 0) == 0) keys.push_back(line);
    return keys;
}

class StaleUsbTest : public SimTest {
protected:
    void TearDown() override {
        ext.reset();
        SimTest::TearDown();
    }
    int Clean() { return ext->RemoveStaleUsbEntries(); }
    std::optional<CSetupExtensionQ920k> ext{std::in_place};
};

TEST_F(StaleUsbTest, NullVendorDevicesAndTheMakersUnresolvedInstancesGo) {
    AddDevice(rig, "VID_0000&PID_0001");                        // null vendor, no instances: goes
    AddInstance(rig, "VID_0000&PID_0002", "5&1", "Image");      // null vendor with an instance: refused (5)
    AddDevice(rig, "vid_0000&pid_0003");                        // lower case: not the token
    AddDevice(rig, "ROOT_HUB20");
    AddInstance(rig, "VID_1A2B&PID_0920", "6&1", "Unknown");    // another maker: untouched
    AddInstance(rig, "VID_2E5A&PID_0920", "7&1", "Unknown");    // goes
    AddInstance(rig, "VID_2E5A&PID_0920", "7&2", "Image");      // stays
    AddInstance(rig, "VID_2E5A&PID_0920", "7&3", nullptr);      // no class: stays
    AddInstance(rig, "VID_2E5A&PID_0920", "7&4", "unknown");    // case matters: stays
    AddInstance(rig, "VID_2E5A&PID_0920", "7&5", "Unknown device");  // whole value only: stays
    rig.machine.registry().SetValue(Hive::LocalMachine, std::string(kUsb) + "\\VID_2E5A&PID_0920\\7&6", "Class",
                                    REG_SZ, {'U', 'n', 'k', 'n', 'o', 'w', 'n'});  // no terminator stored: goes
    rig.machine.registry().SetValue(Hive::LocalMachine, std::string(kUsb) + "\\VID_2E5A&PID_0920\\7&7", "Class",
                                    REG_SZ, std::vector<BYTE>(300, 'U'));  // larger than the buffer: stays

    EXPECT_EQ(Clean(), 0);
    EXPECT_EQ(UsbTree(rig), (std::vector<std::string>{
                                "ROOT_HUB20",
                                "VID_0000&PID_0002",
                                "VID_0000&PID_0002\\5&1",
                                "vid_0000&pid_0003",
                                "VID_1A2B&PID_0920",
                                "VID_1A2B&PID_0920\\6&1",
                                "VID_2E5A&PID_0920",
                                "VID_2E5A&PID_0920\\7&2",
                                "VID_2E5A&PID_0920\\7&3",
                                "VID_2E5A&PID_0920\\7&4",
                                "VID_2E5A&PID_0920\\7&5",
                                "VID_2E5A&PID_0920\\7&7",
                            }));
    // Nothing is logged: only the log's start lines are there.
    EXPECT_EQ(rig.Log(), "09:30:00\t12/10/26\t\r\nStart Log\r\n");
}

TEST_F(StaleUsbTest, TheNullVendorDeviceKeyIsDeletedWithOneCallThatARemainingInstanceRefuses) {
    AddInstance(rig, "VID_0000&PID_0002", "5&1", "Image");
    plat::host::Layer().ClearTrace();
    Clean();
    std::vector<std::string> deletes;
    for (const auto& r : plat::host::Layer().trace())
        if (r.call == "RegDeleteKeyA") deletes.push_back(r.result);
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_EQ(deletes[0], "5") << "ERROR_ACCESS_DENIED, as Windows refuses a key with subkeys";
    EXPECT_EQ(UsbTree(rig), (std::vector<std::string>{"VID_0000&PID_0002", "VID_0000&PID_0002\\5&1"}));
}

TEST_F(StaleUsbTest, DeletingDuringTheWalkSkipsNoSuccessor) {
    // Forward enumeration that deletes as it goes would skip every second key.
    for (const char* device : {"VID_0000&PID_0001", "VID_0000&PID_0002", "VID_0000&PID_0003", "VID_0000&PID_0004"})
        AddDevice(rig, device);
    for (const char* instance : {"1", "2", "3", "4", "5"}) AddInstance(rig, "VID_2E5A&PID_0920", instance, "Unknown");
    AddInstance(rig, "VID_2E5A&PID_0921", "1", "Unknown");
    AddInstance(rig, "VID_2E5A&PID_0921", "2", "Image");
    AddInstance(rig, "VID_2E5A&PID_0921", "3", "Unknown");

    Clean();
    EXPECT_EQ(UsbTree(rig), (std::vector<std::string>{"VID_2E5A&PID_0920", "VID_2E5A&PID_0921",
                                                      "VID_2E5A&PID_0921\\2"}));
}

TEST_F(StaleUsbTest, ANameWithBothTokensIsDeletedFirstAndThenWalked) {
    AddDevice(rig, "VID_0000&PID_0001&VID_2E5A");                          // deleted; the walk finds nothing
    AddInstance(rig, "VID_0000&PID_0002&VID_2E5A", "1", "Unknown");       // delete refused; its instance goes
    AddInstance(rig, "VID_0000&PID_0002&VID_2E5A", "2", "Image");
    Clean();
    EXPECT_EQ(UsbTree(rig),
              (std::vector<std::string>{"VID_0000&PID_0002&VID_2E5A", "VID_0000&PID_0002&VID_2E5A\\2"}));
}

TEST_F(StaleUsbTest, AnEmptyOrMissingTreeChangesNothing) {
    Clean();  // no Enum\USB at all
    rig.machine.registry().EnsureKey(Hive::LocalMachine, kUsb);
    plat::host::Layer().ClearTrace();
    Clean();
    EXPECT_TRUE(UsbTree(rig).empty());
    for (const auto& r : plat::host::Layer().trace()) EXPECT_NE(r.call, "RegDeleteKeyA");
}

TEST_F(StaleUsbTest, EveryCleanupGivesItsContextsBack) {
    AddInstance(rig, "VID_2E5A&PID_0920", "1", "Image");
    AddInstance(rig, "VID_2E5A&PID_0921", "1", "Image");
    AddInstance(rig, "VID_0000&PID_0001", "1", "Image");
    for (int i = 0; i < 1000; ++i) {
        Clean();
        ASSERT_TRUE(OpenKeys(rig).empty()) << "after cleanup " << i << ": " << ::testing::PrintToString(OpenKeys(rig));
    }
    // The last cleanup still walked the whole tree: the maker's unresolved instance added now goes.
    AddInstance(rig, "VID_2E5A&PID_0921", "2", "Unknown");
    Clean();
    EXPECT_EQ(UsbTree(rig), (std::vector<std::string>{"VID_0000&PID_0001", "VID_0000&PID_0001\\1",
                                                      "VID_2E5A&PID_0920", "VID_2E5A&PID_0920\\1",
                                                      "VID_2E5A&PID_0921", "VID_2E5A&PID_0921\\1"}));
}

// The walk itself, one step at a time.
class SubkeyWalkTest : public SimTest {
protected:
    std::vector<std::string> WalkAll(const char* path, DWORD* context) {
        std::vector<std::string> names;
        char name[MAX_PATH];
        while (EnumSubkeyStep(HKEY_LOCAL_MACHINE, path, name, context)) names.push_back(name);
        return names;
    }
};

TEST_F(SubkeyWalkTest, AWalkEndsWithItsContextReleased) {
    for (const char* k : {"Walk\\A\\x", "Walk\\B", "Walk\\C"}) rig.machine.registry().EnsureKey(Hive::LocalMachine, k);
    DWORD context = 0;
    char name[MAX_PATH] = "<unset>";
    ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Walk", name, &context), 1);
    EXPECT_STREQ(name, "A");
    EXPECT_NE(context, 0u);
    EXPECT_EQ(OpenKeys(rig).size(), 1u) << "the walked key stays open between steps";
    EXPECT_EQ(WalkAll("Walk", &context), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(context, 0u);
    EXPECT_TRUE(OpenKeys(rig).empty());
}

TEST_F(SubkeyWalkTest, AKeyThatDoesNotOpenGivesNoContext) {
    DWORD context = 0;
    char name[MAX_PATH] = "<unset>";
    EXPECT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Missing\\Key", name, &context), 0);
    EXPECT_EQ(context, 0u);
    EXPECT_STREQ(name, "<unset>");
    EXPECT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "", name, &context), 0) << "an empty path names the root itself";
}

TEST_F(SubkeyWalkTest, ASubkeyDeletedBetweenStepsDoesNotHideItsSuccessor) {
    for (const char* k : {"Walk\\A", "Walk\\B", "Walk\\C", "Walk\\D"})
        rig.machine.registry().EnsureKey(Hive::LocalMachine, k);
    DWORD context = 0;
    char name[MAX_PATH];
    ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Walk", name, &context), 1);
    ASSERT_STREQ(name, "A");
    ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Walk", name, &context), 1);
    ASSERT_STREQ(name, "B");
    rig.machine.registry().DeleteTree(Hive::LocalMachine, "Walk\\B");  // the current one goes
    EXPECT_EQ(WalkAll("Walk", &context), (std::vector<std::string>{"C", "D"}));
}

TEST_F(SubkeyWalkTest, AContextGivenAnotherPathStartsAgainThere) {
    for (const char* k : {"One\\A", "One\\B", "Two\\X", "Two\\Y"}) rig.machine.registry().EnsureKey(Hive::LocalMachine, k);
    DWORD context = 0;
    char name[MAX_PATH];
    ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "One", name, &context), 1);
    EXPECT_EQ(WalkAll("Two", &context), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(context, 0u);
    EXPECT_TRUE(OpenKeys(rig).empty());
    // A move to a key that does not open ends the walk as well.
    ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "One", name, &context), 1);
    EXPECT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Three", name, &context), 0);
    EXPECT_EQ(context, 0u);
    EXPECT_TRUE(OpenKeys(rig).empty());
}

TEST_F(SubkeyWalkTest, TheContextTableCannotOverflow) {
    rig.machine.registry().EnsureKey(Hive::LocalMachine, "Walk\\A");
    rig.machine.registry().EnsureKey(Hive::LocalMachine, "Walk\\B");
    std::vector<DWORD> contexts(kSubkeyContexts - 1, 0);
    char name[MAX_PATH];
    for (DWORD& c : contexts) ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Walk", name, &c), 1);
    // Every number is in use: one more walk cannot start, and nothing is left open for it.
    DWORD extra = 0;
    EXPECT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Walk", name, &extra), 0);
    EXPECT_EQ(extra, 0u);
    EXPECT_EQ(OpenKeys(rig).size(), contexts.size());
    // Giving one back makes room; the walks in progress go on undisturbed.
    ReleaseSubkeyContext(&contexts[3]);
    EXPECT_EQ(contexts[3], 0u);
    EXPECT_EQ(WalkAll("Walk", &extra), (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Walk", name, &contexts[0]), 1);
    EXPECT_STREQ(name, "B");
    for (DWORD& c : contexts) ReleaseSubkeyContext(&c);
    EXPECT_TRUE(OpenKeys(rig).empty());
}

// A thousand installs in one loaded library: the cleanup's walks leave no key open, however many
// times it runs in the process.
TEST(StaleUsbInLoadedLibrary, AThousandInstallsLeaveNoKeyOpen) {
    SimRig rig(Profile(6, 0));
    AddInstance(rig, "VID_2E5A&PID_0920", "5&1F2E3D4C&0&2", "Image");
    AddInstance(rig, "VID_0000&PID_0000", "5&1", "Unknown");
    {
        plat::host::CoInstallerLibrary lib;
        ASSERT_TRUE(lib.Load(TVX_COINSTALLER_MODULE)) << lib.error();
        char model[] = "tvxQ920k";
        for (int i = 0; i < 1000; ++i) {
            lib.InstallPellionSoftware(nullptr, nullptr, model, 1);
            ASSERT_TRUE(OpenKeys(rig).empty()) << "after install " << i << ": "
                                               << ::testing::PrintToString(OpenKeys(rig));
            if (i == 0) AddInstance(rig, "VID_2E5A&PID_0920", "5&late", "Unknown");
        }
        // The late unresolved instance went in the second round.
        EXPECT_EQ(UsbTree(rig), (std::vector<std::string>{"VID_0000&PID_0000", "VID_0000&PID_0000\\5&1",
                                                          "VID_2E5A&PID_0920", "VID_2E5A&PID_0920\\5&1F2E3D4C&0&2"}));
    }
    rig.ExpectClean();
}

}  // namespace
