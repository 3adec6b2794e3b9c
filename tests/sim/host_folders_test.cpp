// The host's folders as the simulated machine reads and removes them: every name of a folder
// listed once however many the kernel hands out per read, a tree removed with its links but never
// what they lead to, a host file read whole into a reused text, and the simulated searches and
// names without regard to case over folders larger than one such read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/host/folder_names.h"
#include "platform/sim/files.h"
#include "platform/text/names.h"
#include "tests/sim_fixture.h"

namespace {

namespace fs = std::filesystem;
using tvx::test::FreshScratchFolder;
using tvx::test::SimRig;

using tvx::test::WriteHostFile;

// A name long enough that a few hundred of them take several of the kernel's folder reads.
std::string LongName(size_t i) { return "File" + std::to_string(i) + "_" + std::string(60, 'n') + ".txt"; }

std::multiset<std::string> Listed(const fs::path& folder, bool* read = nullptr) {
    std::multiset<std::string> names;
    const bool ok = plat::host::ForEachName(folder, [&](std::string_view name) {
        names.emplace(name);
        return true;
    });
    if (read) *read = ok;
    return names;
}

TEST(HostFolders, EveryNameIsListedOnceWithoutDotAndDotDot) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{700}}) {
        SCOPED_TRACE(count);
        const fs::path folder = FreshScratchFolder("." + std::to_string(count));
        std::multiset<std::string> made;
        for (size_t i = 0; i < count; ++i) {
            made.insert(LongName(i));
            WriteHostFile(folder / LongName(i), "x");
        }
        if (count) {
            fs::create_directory(folder / "sub");
            made.insert("sub");
        }
        bool read = false;
        EXPECT_EQ(Listed(folder, &read), made);
        EXPECT_TRUE(read);
    }
}

TEST(HostFolders, AListingStopsWhenAskedAndWhatIsNoFolderIsNotRead) {
    const fs::path folder = FreshScratchFolder();
    for (size_t i = 0; i < 50; ++i) WriteHostFile(folder / LongName(i), "x");
    size_t seen = 0;
    EXPECT_TRUE(plat::host::ForEachName(folder, [&](std::string_view) { return ++seen < 3; }));
    EXPECT_EQ(seen, 3u);

    for (const fs::path& not_a_folder : {folder / "missing", folder / LongName(0)}) {
        bool read = true;
        EXPECT_TRUE(Listed(not_a_folder, &read).empty());
        EXPECT_FALSE(read) << not_a_folder;
    }
}

// A tree goes whole, its links with it, while what a link leads to outside it stays.
TEST(HostFolders, RemoveTreeTakesTheTreeAndItsLinksButNotWhatTheyLeadTo) {
    const fs::path base = FreshScratchFolder();
    const fs::path outside = base / "outside";
    WriteHostFile(outside / "kept.txt", "kept");

    struct Case {
        const char* name;
        void (*make)(const fs::path& tree, const fs::path& outside);
    } cases[] = {
        {"nested files and folders",
         [](const fs::path& tree, const fs::path&) {
             WriteHostFile(tree / "a" / "b" / "c" / "file", "1");
             WriteHostFile(tree / "a" / "other", "2");
             fs::create_directories(tree / "empty" / "deeper");
         }},
        {"more names than one read of the folder",
         [](const fs::path& tree, const fs::path&) {
             for (size_t i = 0; i < 700; ++i) WriteHostFile(tree / LongName(i), "x");
         }},
        {"a deep chain",
         [](const fs::path& tree, const fs::path&) {
             fs::path deep = tree;
             for (int i = 0; i < 60; ++i) deep /= "level" + std::to_string(i);
             WriteHostFile(deep / "file", "x");
         }},
        {"links to a folder and a file outside, and one that leads nowhere",
         [](const fs::path& tree, const fs::path& outside) {
             fs::create_directories(tree);
             fs::create_directory_symlink(outside, tree / "folder link");
             fs::create_symlink(outside / "kept.txt", tree / "file link");
             fs::create_symlink(tree / "nothing", tree / "dangling");
             WriteHostFile(tree / "inner" / "x", "x");
             fs::create_hard_link(outside / "kept.txt", tree / "inner" / "second name");
         }},
        {"a file of the tree's name", [](const fs::path& tree, const fs::path&) { WriteHostFile(tree, "plain"); }},
        {"a link of the tree's name",
         [](const fs::path& tree, const fs::path& outside) { fs::create_directory_symlink(outside, tree); }},
        {"nothing of the tree's name", [](const fs::path&, const fs::path&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path tree = base / "tree";
        c.make(tree, outside);
        plat::host::RemoveTree(tree);
        std::error_code ec;
        EXPECT_FALSE(fs::exists(fs::symlink_status(tree, ec))) << "the tree is still there";
        std::ifstream in(outside / "kept.txt", std::ios::binary);
        std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(kept, "kept") << "what a link led to went with the tree";
    }
}

// A file is read whole into the text given, whatever that text held before; anything but a file
// reads as nothing, a pipe without waiting for a writer.
TEST(HostFolders, AHostFileIsReadWholeIntoAReusedText) {
    const fs::path folder = FreshScratchFolder();
    const std::string big(70000, 'b');
    WriteHostFile(folder / "big", big);
    WriteHostFile(folder / "small", "small");
    WriteHostFile(folder / "empty", "");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);

    std::string text = "left over from before";
    struct Case {
        const char* name;
        bool reads;
        std::string bytes;
    } cases[] = {
        {"big", true, big},   {"small", true, "small"}, {"empty", true, ""},
        {"big", true, big},   {"pipe", false, {}},      {"missing", false, {}},
        {".", false, {}},     {"small", true, "small"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool read = plat::sim::SimFiles::ReadHostFile(folder / c.name, text);
        EXPECT_EQ(read, c.reads);
        if (read) {
            EXPECT_EQ(text, c.bytes);
        }
    }
}

// A search and a name not spelt as on disk over a folder larger than one read of the kernel's:
// every entry found, in NTFS's order, and the one asked for found whatever its case.
TEST(HostFolders, SimulatedSearchesAndNamesReachEveryEntryOfALargeFolder) {
    SimRig rig;
    const fs::path host = rig.machine.c_drive_folder() / "Windows" / "Temp" / "Many";
    std::set<std::string> made;
    for (size_t i = 0; i < 700; ++i) {
        WriteHostFile(host / LongName(i), std::to_string(i));
        made.insert(LongName(i));
    }

    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE find = plat::FindFirstFileA("C:\\Windows\\Temp\\Many\\*.txt", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do found.emplace_back(data.cFileName);
    while (plat::FindNextFileA(find, &data));
    EXPECT_EQ(plat::FindClose(find), TRUE);
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), made);
    EXPECT_EQ(found.size(), made.size());
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        return plat::text::CompareNames(a, b) < 0;
    }));

    std::string upper = LongName(699);
    for (char& c : upper) c = plat::text::UpperAscii(c);
    EXPECT_EQ(rig.File("c:\\WINDOWS\\temp\\many\\" + upper), "699");
    EXPECT_EQ(rig.File("C:\\Windows\\Temp\\Many\\..\\MANY\\" + upper), "699");
    rig.ExpectClean();
}

}  // namespace
