// The simulated INI queries where the agreement table cannot reach: forms the machine does not
// model fail loudly, and each query reads the file as it is now.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimRig;

std::string Query(const char* app, const char* key, const char* file, DWORD* ret = nullptr) {
    char buffer[64] = {0};
    DWORD n = plat::GetPrivateProfileStringA(app, key, "dflt", buffer, sizeof buffer, file);
    if (ret) *ret = n;
    return std::string(buffer, n);
}

TEST(IniSimRules, ARelativePathIsNotModelledAndSaysSo) {
    SimRig rig;
    DWORD ret = 99;
    EXPECT_EQ(Query("s", "k", ".\\driver.inf", &ret), "");
    EXPECT_EQ(ret, 0u);
    EXPECT_EQ(plat::GetLastError(), plat::host::kNotModelled);
    ASSERT_EQ(plat::host::Layer().not_modelled().size(), 1u);
    plat::host::Layer().Reset();  // the loud failure was the point
}

TEST(IniSimRules, EveryQueryReadsTheFileAsItIsNow) {
    SimRig rig;
    const char* path = "C:\\Windows\\Temp\\live.ini";
    // Each content in turn, the answer it gives; a change of the same size counts as much as any.
    const std::pair<std::string, std::string> contents[] = {
        {"[s]\r\nk=first\r\n", "first"},
        {"[s]\r\nk=fifth\r\n", "fifth"},
        {"\xEF\xBB\xBF[s]\r\nk=second\x1A\r\n", "second"},
        {"[t]\r\nk=first\r\n", "dflt"},
        {"[s]\r\nk=first\r\n", "first"},
    };
    for (const auto& [bytes, answer] : contents) {
        SCOPED_TRACE(bytes);
        rig.machine.files().WriteFile(path, bytes);
        EXPECT_EQ(Query("s", "k", path), answer);
    }
    ASSERT_TRUE(plat::DeleteFileA(path));
    EXPECT_EQ(Query("s", "k", path), "dflt");
    rig.ExpectClean();
}

TEST(IniSimRules, AUtf16FileIsNotModelledAndSaysSo) {
    SimRig rig;
    const char* path = "C:\\Windows\\Temp\\wide.inf";
    rig.machine.files().WriteFile(path, std::string("\xFF\xFE[\0s\0]\0", 8));
    EXPECT_EQ(Query("s", "k", path), "dflt");
    EXPECT_EQ(plat::host::Layer().not_modelled().size(), 1u);
    plat::host::Layer().Reset();
}

}  // namespace
