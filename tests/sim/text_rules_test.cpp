// The shared Windows text rules (platform/text): names compared and ordered as Windows does, paths
// split, hive names and handles, GUID text, UTF-16LE bytes and REG_MULTI_SZ lists, pinned by
// literal bytes so that every machine that uses them agrees with Windows; and the scratch folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/encoding.h"
#include "platform/text/guid.h"
#include "platform/text/hives.h"
#include "platform/text/names.h"
#include "platform/host/scratch_folder.h"
#include "tests/sim_fixture.h"

namespace {

namespace fs = std::filesystem;
namespace text = plat::text;
using namespace std::string_literals;

TEST(TextNames, CompareAsWindowsOrdersNames) {
    struct Case {
        std::string a, b;
        int order;  // the sign CompareNames must give
    } cases[] = {
        {"alpha", "ALPHA", 0},
        {"", "", 0},
        {"Beta1", "beta2", -1},
        {"abc", "ABCD", -1},      // a name before every longer name it begins
        {"[br", "Zeta", 1},       // upper-cased: '[' (0x5B) and '_' (0x5F) come after the letters
        {"_under", "zeta", 1},
        {"0010", "A", -1},
        {"~tilde", "_under", 1},
        {"\xE9", "\xC9", 1},      // only ASCII letters fold
        {"\x80", "z", 1},         // bytes compare as unsigned
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        const int got = text::CompareNames(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.order);
        const int back = text::CompareNames(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.order);
        EXPECT_EQ(text::EqualNames(c.a, c.b), c.order == 0);
    }
}

TEST(TextNames, SplitPathDropsEmptyParts) {
    struct Case {
        std::string path, separators;
        std::vector<std::string> parts;
    } cases[] = {
        {"SOFTWARE\\Tarvix\\tvx", "\\", {"SOFTWARE", "Tarvix", "tvx"}},
        {"\\A\\\\B\\", "\\", {"A", "B"}},
        {"", "\\", {}},
        {"\\\\", "\\", {}},
        {"a/b\\c", "\\", {"a/b", "c"}},       // registry paths: only backslashes separate
        {"a/b\\c", "\\/", {"a", "b", "c"}},   // file paths: both
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(text::SplitPath(c.path, c.separators), c.parts);
    }
}

TEST(TextHives, NamesShortNamesAndHandles) {
    struct Case {
        const char* name;
        std::optional<size_t> hive;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE", 2}, {"hklm", 2},  {"HKCR", 0},      {"hkey_current_user", 1},
        {"HKU", 3},                {"HKCC", 4},  {"HKEY_PERFORMANCE_DATA", std::nullopt},
        {"HKLMX", std::nullopt},   {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text::FindHive(c.name), c.hive);
    }
    EXPECT_STREQ(text::kHives[*text::FindHiveByHandle(0x80000002u)].abbreviation, "HKLM");
    EXPECT_STREQ(text::kHives[*text::FindHiveByHandle(0x80000005u)].name, "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(text::FindHiveByHandle(0x80000004u), std::nullopt);  // HKEY_PERFORMANCE_DATA
    EXPECT_EQ(text::FindHiveByHandle(0x00000002u), std::nullopt);
}

TEST(TextHives, SplitHivePathCutsAtTheFirstBackslash) {
    std::optional<text::HivePath> split = text::SplitHivePath("hklm\\SOFTWARE\\Tarvix");
    ASSERT_TRUE(split);
    EXPECT_STREQ(text::kHives[split->hive].name, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(split->rest, "SOFTWARE\\Tarvix");
    split = text::SplitHivePath("HKEY_USERS");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->hive, 3u);
    EXPECT_EQ(split->rest, "");
    EXPECT_FALSE(text::SplitHivePath("SOFTWARE\\Tarvix"));
}

// A record with Windows' GUID fields, filled with a sentinel to show what a failed read touched.
struct Guid {
    uint32_t Data1 = 0xDEADBEEF;
    uint16_t Data2 = 0xDEAD, Data3 = 0xBEEF;
    uint8_t Data4[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
};

TEST(TextGuid, ReadsTheImagingClassAndWritesItBack) {
    Guid guid;
    ASSERT_TRUE(text::ParseGuid(text::kImageClassGuid, &guid));
    EXPECT_EQ(guid.Data1, 0x6BDD1FC6u);
    EXPECT_EQ(guid.Data2, 0x810Fu);
    EXPECT_EQ(guid.Data3, 0x11D0u);
    EXPECT_EQ(std::vector<uint8_t>(guid.Data4, guid.Data4 + 8),
              (std::vector<uint8_t>{0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}));
    EXPECT_EQ(text::FormatGuid(guid), text::kImageClassGuid);

    Guid lower;
    ASSERT_TRUE(text::ParseGuid("{a6c5a715-8c6e-11d2-977a-0000f87a926f}", &lower));
    EXPECT_EQ(text::FormatGuid(lower), "{A6C5A715-8C6E-11D2-977A-0000F87A926F}");

    constexpr Guid kConstant = text::GuidFromText<Guid>("{00000001-0002-0003-0405-060708090A0B}");
    EXPECT_EQ(kConstant.Data1, 1u);
    EXPECT_EQ(kConstant.Data4[7], 0x0Bu);
}

TEST(TextGuid, RefusesAnythingElseAndLeavesTheRecordAlone) {
    const char* const bad[] = {
        "",
        "6BDD1FC6-810F-11D0-BEC7-08002BE2092F",      // no braces
        "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F",     // no closing brace
        "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F} ",   // something after it
        "{6BDD1FC6-810F-11D0-BEC7-08002BE2092G}",    // not a hex digit
        "{6BDD1FC6-810F-11D0-BEC708-002BE2092F}",    // hyphen out of place
        "{6BDD1FC6+810F-11D0-BEC7-08002BE2092F}",
        "{ 6BDD1FC-810F-11D0-BEC7-08002BE2092F}",    // the right length, a blank in a number
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        Guid guid;
        EXPECT_FALSE(text::ParseGuid(text, &guid));
        EXPECT_FALSE(text::IsGuidText(text));
        EXPECT_EQ(guid.Data1, 0xDEADBEEFu);
        EXPECT_EQ(guid.Data4[0], 0xEEu);
    }
    EXPECT_TRUE(text::IsGuidText(text::kImageClassGuid));
}

TEST(TextEncoding, Utf16LittleEndianBytes) {
    EXPECT_EQ(text::Utf16LeBytes(u"A\u20AC\uFEFF"), "A\0\xAC\x20\xFF\xFE"s);
    EXPECT_EQ(text::Utf16LeBytes(u""), "");
    EXPECT_EQ(text::Utf16LeUnits("A\0\xAC\x20"s), u"A\u20AC");
    EXPECT_EQ(text::Utf16LeUnits("A\0\x42"s), u"A") << "a last odd byte is dropped";
    EXPECT_EQ(text::Utf16LeUnits(""), u"");
}

TEST(TextEncoding, MultiSzListsEndWithAnEmptyString) {
    EXPECT_EQ(text::PackMultiSz({"a", "bc"}), "a\0bc\0\0"s);
    EXPECT_EQ(text::PackMultiSz({"USB\\VID_1A2B&PID_0920"}), "USB\\VID_1A2B&PID_0920\0\0"s);
    EXPECT_EQ(text::PackMultiSz({}), "\0"s);
}

TEST(TextScratchFolder, IsMadeFreshAndRemovedWithItsOwner) {
    const fs::path below = tvx::test::FreshScratchFolder() / "below";
    fs::path made;
    {
        std::optional<plat::host::ScratchFolder> first = plat::host::ScratchFolder::Make(below, "tvx-test-");
        std::optional<plat::host::ScratchFolder> second = plat::host::ScratchFolder::Make(below, "tvx-test-");
        ASSERT_TRUE(first && second);
        made = first->path();
        EXPECT_TRUE(fs::is_directory(made));
        EXPECT_EQ(made.parent_path(), below);
        EXPECT_EQ(made.filename().string().rfind("tvx-test-", 0), 0u) << made;
        EXPECT_NE(made, second->path());
        fs::create_directories(made / "sub");
        std::ofstream(made / "sub" / "file.txt") << "x";

        plat::host::ScratchFolder moved = std::move(*first);
        first.reset();  // the moved-from owner removes nothing
        EXPECT_TRUE(fs::exists(made / "sub" / "file.txt"));
        EXPECT_EQ(moved.path(), made);
    }
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(fs::is_empty(below));

    std::ofstream(below / "a file") << "x";
    EXPECT_FALSE(plat::host::ScratchFolder::Make(below / "a file", "tvx-test-")) << "no folder below a file";
}

// Where scratch folders go unless told: the folder TMPDIR names, else a memory-backed one.
TEST(TextScratchFolder, DefaultPlaceIsTmpdirElseMemory) {
    const char* saved = std::getenv("TMPDIR");
    const std::optional<std::string> before = saved ? std::optional<std::string>(saved) : std::nullopt;
    const fs::path named = tvx::test::FreshScratchFolder() / "named";
    fs::create_directories(named);

    setenv("TMPDIR", named.c_str(), 1);
    EXPECT_EQ(fs::path(plat::host::ScratchFolder::DefaultBelow()), named);
    for (bool empty : {true, false}) {
        if (empty)
            setenv("TMPDIR", "", 1);
        else
            unsetenv("TMPDIR");
        const fs::path chosen = plat::host::ScratchFolder::DefaultBelow();
        EXPECT_NE(chosen, named) << "TMPDIR " << (empty ? "empty" : "unset");
        if (fs::is_directory("/dev/shm") && access("/dev/shm", W_OK | X_OK) == 0) {
            EXPECT_EQ(chosen, "/dev/shm");
        }
        EXPECT_TRUE(plat::host::ScratchFolder::Make(chosen, "tvx-test-")) << chosen;
    }

    if (before)
        setenv("TMPDIR", before->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

}  // namespace
