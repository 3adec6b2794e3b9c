// The simulated INI queries where the agreement table cannot reach: forms the machine does not
// model fail loudly, each query reads the file as it is now, and the odd last byte of a UTF-16 file
// (which Wine reads together with whatever byte follows the file in its memory) has one answer.
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
        {std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0w\0i\0d\0e\0", 22), "wide"},
        {std::string("\xFE\xFF\0[\0s\0]\0\n\0k\0=\0w\0i\0d\0e", 22), "wide"},
        {std::string("[\0s\0]\0\n\0k\0=\0w\0i\0d\0e\0", 20), "dflt"},  // no mark: 8-bit text
        {"[s]\r\nk=first\r\n", "first"},
        // A file far larger than the last, its key at its end, then a short one again: each is
        // read whole and nothing of the larger one stays behind.
        {"[s]\r\n" + std::string(9000, ';') + "\r\nk=at the end\r\n", "at the end"},
        {"[s]\r\nk=short\r\n", "short"},
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

TEST(IniSimRules, AnOddLastByteOfAUtf16FileIsOneUnreadableCharacter) {
    SimRig rig;
    const char* path = "C:\\Windows\\Temp\\odd.ini";
    const std::pair<std::string, std::string> contents[] = {
        {std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0w\0X", 19), "vw?"},
        {std::string("\xFE\xFF\0[\0s\0]\0\n\0k\0=\0v\0wX", 19), "vw?"},
        {std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0\"\0v\0\"\0X", 21), "\"v\"?"},  // the quotes stay
    };
    for (const auto& [bytes, answer] : contents) {
        SCOPED_TRACE(answer);
        rig.machine.files().WriteFile(path, bytes);
        EXPECT_EQ(Query("s", "k", path), answer);
    }
    rig.ExpectClean();
}

}  // namespace
