// The setup extension's registry wrappers: the view each works in, the bytes a read hands back and
// a write stores, and the key removal's statuses and log lines.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "entry/setup_extension_q920k.h"
#include "platform/scoped.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::SimTest;

class RegistryWrappersTest : public SimTest {
protected:
    void TearDown() override {
        ext.reset();
        SimTest::TearDown();
    }
    plat::sim::SimRegistry& Registry() { return rig.machine.registry(); }
    // The lines the extension logged after its start lines.
    std::string LogBody() {
        ext.reset();
        std::string log = rig.Log();
        size_t at = log.find("Start Log\r\n");
        return at == std::string::npos ? log : log.substr(at + 11);
    }
    std::optional<CSetupExtensionQ920k> ext{std::in_place};
};

constexpr const char* kEnd = "09:30:00\t12/10/26\t\r\nEnd Log\r\n\r\n";

TEST_F(RegistryWrappersTest, ReadHandsBackTheStoredBytesInTheNativeView) {
    Registry().SetString(Hive::LocalMachine, "SOFTWARE\\Tarvix\\tvx", "Model", "native");
    Registry().SetString(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\tvx", "Model", "32-bit");
    Registry().SetValue(Hive::LocalMachine, "SOFTWARE\\Tarvix\\tvx", "Raw", REG_BINARY, {1, 2, 3});

    struct Case {
        const char* path;
        const char* name;
        DWORD size;
        bool ok;
        std::string bytes;  // the buffer's first bytes afterwards ('#' untouched)
    } cases[] = {
        {"SOFTWARE\\Tarvix\\tvx", "Model", 16, true, std::string("native\0#", 8)},
        {"SOFTWARE\\Tarvix\\tvx", "Raw", 16, true, std::string("\1\2\3#", 4)},
        // A buffer one byte short of the terminator fails and hands back nothing usable.
        {"SOFTWARE\\Tarvix\\tvx", "Model", 6, false, std::string("######", 6)},
        {"SOFTWARE\\Tarvix\\tvx", "Missing", 16, false, std::string("####", 4)},
        {"SOFTWARE\\Tarvix\\none", "Model", 16, false, std::string("####", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.name + " size " + std::to_string(c.size));
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(ext->ReadRegistryValue(HKEY_LOCAL_MACHINE, c.path, c.name, reinterpret_cast<LPBYTE>(buffer), c.size),
                  c.ok);
        EXPECT_EQ(std::string(buffer, c.bytes.size()), c.bytes);
    }
}

TEST_F(RegistryWrappersTest, ReadWithAnEmptyPathLeavesTheCallersKeyOpen) {
    Registry().SetString(Hive::LocalMachine, "SYSTEM\\Setup", "SystemSetupInProgress", "1");
    plat::ScopedKey setup;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", 0, KEY_READ, setup.out()), ERROR_SUCCESS);
    char text[8] = {0};
    EXPECT_TRUE(ext->ReadRegistryValue(setup.get(), "", "SystemSetupInProgress", reinterpret_cast<LPBYTE>(text),
                                       sizeof text));
    EXPECT_STREQ(text, "1");
    // The caller's key still works, and closing it is the caller's business.
    DWORD size = sizeof text;
    EXPECT_EQ(plat::RegQueryValueExA(setup.get(), "SystemSetupInProgress", nullptr, nullptr,
                                     reinterpret_cast<LPBYTE>(text), &size),
              ERROR_SUCCESS);
}

TEST_F(RegistryWrappersTest, WriteStoresTheByteCountGivenAndCreatesTheKey) {
    const char kGuid[] = "{A1B2C3D4}";
    const char kLonger[] = "abcdef";
    struct Case {
        const char* name;
        const char* text;
        DWORD count;
        std::string stored;
    } cases[] = {
        {"WithNul", kGuid, 11, std::string(kGuid, 11)},
        // The text's length leaves the NUL out; Windows stores it anyway, as it follows the data.
        {"LengthOnly", kGuid, 10, std::string(kGuid, 11)},
        // Without a NUL after the counted bytes the value is stored unterminated.
        {"Unterminated", kLonger, 3, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::host::Layer().ClearTrace();
        EXPECT_TRUE(ext->WriteRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix\\Net", c.name, c.text, c.count));
        auto v = Registry().GetValue(Hive::LocalMachine, "SOFTWARE\\Tarvix\\Net", c.name);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->type, DWORD(REG_SZ));
        EXPECT_EQ(std::string(v->data.begin(), v->data.end()), c.stored);
        bool passed = false;
        for (const auto& r : plat::host::Layer().trace())
            if (r.call == "RegSetValueExA") passed = r.args.ends_with(", " + std::to_string(c.count));
        EXPECT_TRUE(passed) << "the byte count passed is the caller's";
    }
    // Native view: nothing landed below Wow6432Node.
    EXPECT_FALSE(Registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix"));
}

TEST_F(RegistryWrappersTest, WriteFailsWhenTheKeyCanNeitherBeOpenedNorCreated) {
    EXPECT_FALSE(ext->WriteRegistryString(HKEY_LOCAL_MACHINE, "\\Bad", "v", "x", 2));
}

TEST_F(RegistryWrappersTest, DeleteRemovesALeafKeyInThe32BitViewWithoutLogging) {
    Registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\TWAIN\\0001");
    Registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Tarvix\\TWAIN\\0001");
    EXPECT_EQ(ext->DeleteRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix\\TWAIN", "0001"), 0);
    EXPECT_FALSE(Registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\TWAIN\\0001"));
    EXPECT_TRUE(Registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Tarvix\\TWAIN\\0001"));
    EXPECT_EQ(LogBody(), kEnd);
}

TEST_F(RegistryWrappersTest, DeleteOfAKeyWithSubkeysFailsWithFiveAndLogsTheFullPath) {
    Registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\TWAIN\\0001\\Sub");
    EXPECT_EQ(ext->DeleteRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix\\TWAIN", "0001"), 5);
    EXPECT_TRUE(Registry().FindKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\TWAIN\\0001\\Sub"));
    EXPECT_EQ(LogBody(), std::string("RegDeleteKey returned 5 while removing SOFTWARE\\Tarvix\\TWAIN\\0001\r\n") + kEnd);
}

TEST_F(RegistryWrappersTest, DeleteBelowAMissingParentFailsWithTwoAndLogsTheParent) {
    EXPECT_EQ(ext->DeleteRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix\\None", "0001"), 2);
    EXPECT_EQ(LogBody(), std::string("RegOpenKeyEx returned 2 while opening SOFTWARE\\Tarvix\\None\r\n") + kEnd);
}

TEST_F(RegistryWrappersTest, DeleteOfAMissingKeyFailsWithTwo) {
    Registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Tarvix\\TWAIN");
    EXPECT_EQ(ext->DeleteRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix\\TWAIN", "0009"), 2);
    EXPECT_EQ(LogBody(), std::string("RegDeleteKey returned 2 while removing SOFTWARE\\Tarvix\\TWAIN\\0009\r\n") + kEnd);
}

TEST_F(RegistryWrappersTest, DeleteCutsAnOverlongFullPathToItsBuffer) {
    const std::string parent = "SOFTWARE\\" + std::string(250, 'p');
    const std::string child(40, 'c');
    Registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\" + parent.substr(9) + "\\" + child + "\\Sub");
    EXPECT_EQ(ext->DeleteRegistryKey(HKEY_LOCAL_MACHINE, parent.c_str(), child.c_str()), 5);
    const std::string full = (parent + "\\" + child).substr(0, 271);
    EXPECT_EQ(LogBody(), "RegDeleteKey returned 5 while removing " + full + "\r\n" + kEnd);
}

TEST_F(RegistryWrappersTest, DeleteWithoutALoggerStillAnswersTheStatus) {
    // The extension still owns its logger; the pointer the logic tests is what is null.
    ext->m_pLogger = nullptr;
    EXPECT_EQ(ext->DeleteRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarvix\\None", "0001"), 2);
}

}  // namespace
