// The watched folders as both machines see them: a snapshot of a real folder, its difference from
// another, and the placeholder paths scenarios write.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/sim_fixture.h"
#include "tools/scenario/file_snapshot.h"

namespace {

namespace fs = std::filesystem;

using tvx::test::WriteHostFile;

std::string Describe(const std::vector<tvx::FileChange>& changes) {
    std::string out;
    for (const tvx::FileChange& c : changes) {
        out += std::string(tvx::FileChangeKindName(c.kind)) + (c.folder ? " folder " : " file ") + c.path;
        if (c.size) out += " " + std::to_string(*c.size);
        out += "\n";
    }
    return out;
}

TEST(FileSnapshot, DifferenceListsCreatedChangedAndDeletedInNameOrder) {
    const fs::path root = tvx::test::FreshScratchFolder();
    WriteHostFile(root / "tvpn_0000" / "tvpn_0000.ds", "old");
    WriteHostFile(root / "tvpn_0001" / "tvpn_0001.ds", "same");
    WriteHostFile(root / "Gone" / "x.ds", "x");
    tvx::FileSnapshot before;
    tvx::SnapshotFolder(root, "%WINDIR%\\TWAIN_32", before);

    WriteHostFile(root / "tvpn_0000" / "tvpn_0000.ds", "newer");
    fs::remove_all(root / "Gone");
    WriteHostFile(root / "a.log", "");
    tvx::FileSnapshot after;
    tvx::SnapshotFolder(root, "%WINDIR%\\TWAIN_32", after);

    EXPECT_EQ(Describe(tvx::DiffFiles(before, after)),
              "created file %WINDIR%\\TWAIN_32\\a.log 0\n"
              "deleted folder %WINDIR%\\TWAIN_32\\Gone\n"
              "deleted file %WINDIR%\\TWAIN_32\\Gone\\x.ds\n"
              "changed file %WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds 5\n");
    // Names are found without regard to case, as on Windows.
    EXPECT_NE(after.find("%windir%\\twain_32\\TVPN_0001\\tvpn_0001.DS"), after.end());
    EXPECT_TRUE(tvx::DiffFiles(after, after).empty());
}

TEST(FileSnapshot, MissingRootAddsNothing) {
    tvx::FileSnapshot snapshot;
    tvx::SnapshotFolder(tvx::test::FreshScratchFolder() / "nowhere", "%TEMP%", snapshot);
    EXPECT_TRUE(snapshot.empty());
}

TEST(FileSnapshot, AtOrBelowComparesWholeNames) {
    struct Row {
        const char* path;
        const char* base;
        bool below;
    } rows[] = {
        {"%WINDIR%\\TWAIN_32\\tvpn_0000", "%WINDIR%\\TWAIN_32\\tvpn_0000", true},
        {"%WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds", "%windir%\\twain_32\\TVPN_0000", true},
        {"%WINDIR%\\TWAIN_32\\tvpn_00001", "%WINDIR%\\TWAIN_32\\tvpn_0000", false},
        {"%WINDIR%\\TWAIN_32", "%WINDIR%\\TWAIN_32\\tvpn_0000", false},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix\\tvx", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\TarvixOther", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " / " + row.base);
        EXPECT_EQ(tvx::AtOrBelow(row.path, row.base), row.below);
    }
}

}  // namespace
