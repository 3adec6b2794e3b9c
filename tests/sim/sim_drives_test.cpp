// The simulated drives and searches where no Wine prefix can show them: CD drives with and
// without a disc, removable drives, their volumes, NTFS's listing order, the attributes of a CD's
// files, and the DOS wildcards a search mask is rewritten into.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/wildcard.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Drive;
using tvx::test::FreshScratchFolder;
using tvx::test::SimTest;

class SimDrivesTest : public SimTest {
protected:
    void SetUp() override {
        auto& files = rig.machine.files();
        files.AddDrive(Drive{'D', DRIVE_CDROM, "TVX_DISC", 0x1234ABCD, FreshScratchFolder(".D")});
        files.AddDrive(Drive{'E', DRIVE_CDROM, "", 0, {}});
        files.AddDrive(Drive{'F', DRIVE_REMOVABLE, "STICK", 0x55, FreshScratchFolder(".F")});
    }

    // The names a search lists, in its order.
    std::vector<std::string> List(const char* pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = plat::FindFirstFileA(pattern, &data);
        if (find == INVALID_HANDLE_VALUE) return {"<error " + std::to_string(plat::GetLastError()) + ">"};
        do names.emplace_back(data.cFileName);
        while (plat::FindNextFileA(find, &data));
        EXPECT_EQ(plat::FindClose(find), TRUE);
        return names;
    }
};

// Every drive is in the mask and has its type, a CD drive without a disc too; its volume is not
// ready (21), and neither are searches and attributes on it. A CD's volume is CDFS and read-only.
TEST_F(SimDrivesTest, DrivesTypesAndVolumes) {
    EXPECT_EQ(plat::GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5));
    EXPECT_EQ(plat::GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(plat::GetDriveTypeA("e:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(plat::GetDriveTypeA("F:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
    EXPECT_EQ(plat::GetDriveTypeA("G:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(plat::GetDriveTypeA("E:\\setup\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));

    struct Case {
        const char* root;
        DWORD error;  // 0: answers
        const char* label;
        DWORD serial;
        const char* file_system;
        DWORD max_component;
        bool read_only;
    } cases[] = {
        {"D:\\", 0, "TVX_DISC", 0x1234ABCD, "CDFS", 221, true},
        {"F:\\", 0, "STICK", 0x55, "NTFS", 255, false},
        {"E:\\", ERROR_NOT_READY, "", 0, "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        char label[64] = "?", file_system[64] = "?";
        DWORD serial = 0, max_component = 0, flags = 0;
        plat::SetLastError(0);
        const BOOL ok = plat::GetVolumeInformationA(c.root, label, sizeof label, &serial, &max_component, &flags,
                                                    file_system, sizeof file_system);
        if (c.error) {
            EXPECT_EQ(ok, FALSE);
            EXPECT_EQ(plat::GetLastError(), c.error);
            continue;
        }
        ASSERT_EQ(ok, TRUE);
        EXPECT_STREQ(label, c.label);
        EXPECT_EQ(serial, c.serial);
        EXPECT_STREQ(file_system, c.file_system);
        EXPECT_EQ(max_component, c.max_component);
        EXPECT_EQ((flags & FILE_READ_ONLY_VOLUME) != 0, c.read_only);
    }

    char label[8];  // room for "TVX_DIS" and no NUL
    plat::SetLastError(0);
    EXPECT_EQ(plat::GetVolumeInformationA("D:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));

    EXPECT_EQ(List("E:\\*"), std::vector<std::string>{"<error 21>"});
    plat::SetLastError(0);
    EXPECT_EQ(plat::GetFileAttributesA("E:\\setup.exe"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
}

// A folder lists "." and ".." first (a root neither), then its names in the order of their
// upper-cased forms, as NTFS keeps them; a CD's files are read-only.
TEST_F(SimDrivesTest, ListingOrderAndAttributes) {
    auto& files = rig.machine.files();
    for (const char* name : {"D:\\b.txt", "D:\\A.TXT", "D:\\_x", "D:\\[y", "D:\\fw\\tool.exe"}) files.WriteFile(name, "MZ");
    EXPECT_EQ(List("D:\\*"), (std::vector<std::string>{"A.TXT", "b.txt", "fw", "[y", "_x"}));
    EXPECT_EQ(List("d:\\FW\\*"), (std::vector<std::string>{".", "..", "tool.exe"}));

    WIN32_FIND_DATAA data;
    HANDLE find = plat::FindFirstFileA("D:\\fw\\TOOL.EXE", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "tool.exe");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(data.nFileSizeLow, 2u);
    EXPECT_EQ(plat::FindClose(find), TRUE);
    plat::SetLastError(0);
    EXPECT_EQ(plat::FindClose(find), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// The rewriting of a mask into DOS wildcards and the match, name by name (8.3 names: Windows would
// match a long name's short name as well, which the simulated machine does not have).
TEST(SimSearchMask, DosWildcardsMatchAsWindowsMatchesThem) {
    struct Case {
        const char* mask;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.", "readme", true},       {"*.", "a.txt", false},      {"*.", ".", true},
        {"*.", "..", true},           {"?", "..", true},           {"?", "ab", false},
        {"a??", "ab", true},          {"a??", "abc", true},        {"a??", "abcd", false},
        {"a??", "a.b", false},        {"???.txt", "a.txt", true},  {"???.txt", "abcd.txt", false},
        {"?.?", "a", true},           {"?.?", "a.b", true},        {"?.?", "ab", false},
        {"*.*", "readme", true},      {"*.TXT", "a.b.txt", true},  {"x.*", "x", true},
        {"x.*", "xy", false},         {"*.t", "abc.t", true},      {"*.t", "a.txt", false},
        {"readme.", "readme", true},  {"*b*", "SUB", true},        {"a*.", "ab", true},
        {"a*.", "ab.c", false},       {"..*", "..", true},         {".*", "readme", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mask) + " / " + c.name);
        EXPECT_EQ(plat::sim::MatchesDosMask(c.name, plat::sim::DosSearchMask(c.mask)), c.matches);
    }
}

}  // namespace
