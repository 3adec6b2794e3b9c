// The registry part of a report: the difference between the registry before and after a run, and
// its .reg form, which turns the registry before into the registry after.
#include <gtest/gtest.h>

#include "platform/text/names.h"
#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/registry_snapshot.h"

namespace {

using tvx::KeyChange;
using tvx::RegistrySnapshot;
using tvx::RegistryValue;

RegistryValue Sz(const std::string& name, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return RegistryValue{name, tvx::kRegSz, data};
}

RegistryValue Dword(const std::string& name, uint32_t v) {
    return RegistryValue{name, tvx::kRegDword,
                         {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)}};
}

const std::string kSoft = "HKEY_LOCAL_MACHINE\\SOFTWARE";

// A registry before a run and after it, with every kind of change and the near misses beside them.
struct Registries {
    RegistrySnapshot before;
    RegistrySnapshot after;

    Registries() {
        before.SetValue(kSoft + "\\A", Dword("x", 1));
        before.SetValue(kSoft + "\\A", Sz("y", "old"));
        before.SetValue(kSoft + "\\A", Sz("z", "going"));
        before.SetValue(kSoft + "\\A\\Gone", Sz("v", "1"));
        before.SetValue(kSoft + "\\A\\Gone\\Deeper", Sz("v", "2"));
        before.SetValue(kSoft + "\\A\\GoneToo", Sz("kept", "name shares a prefix with a removed key"));
        before.SetValue(kSoft + "\\Same", Sz("v", "1"));

        // Same keys under other letter cases: not a change.
        after.SetValue(kSoft + "\\a", Dword("X", 1));
        after.SetValue(kSoft + "\\a", Sz("y", "new"));
        after.SetValue(kSoft + "\\a", RegistryValue{"w", tvx::kRegExpandSz, {'%', 'T', '%', 0}});
        after.SetValue("hkey_local_machine\\software\\A\\GoneToo", Sz("kept", "name shares a prefix with a removed key"));
        after.SetValue(kSoft + "\\Same", Sz("v", "1"));
        after.SetValue(kSoft + "\\New\\Child", Dword("n", 7));
    }
};

TEST(RegistryDiff, ListsAddedChangedAndRemovedKeysAndValues) {
    Registries r;
    tvx::RegistryDiff diff = tvx::DiffRegistry(r.before, r.after);

    ASSERT_EQ(diff.keys.size(), 4u) << tvx::FormatRegistryDiff(diff);
    EXPECT_EQ(diff.keys[0].kind, KeyChange::Kind::Changed);
    EXPECT_TRUE(plat::text::EqualNames(diff.keys[0].path, kSoft + "\\A"));
    const auto& changes = diff.keys[0].changes;
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].name, "y");
    EXPECT_EQ(changes[0].before, Sz("y", "old"));
    EXPECT_EQ(changes[0].after, Sz("y", "new"));
    EXPECT_EQ(changes[1].name, "z");
    EXPECT_FALSE(changes[1].after.has_value()) << "removed";
    EXPECT_EQ(changes[2].name, "w");
    EXPECT_FALSE(changes[2].before.has_value()) << "added";

    EXPECT_EQ(diff.keys[1].kind, KeyChange::Kind::Removed);
    EXPECT_EQ(diff.keys[1].path, kSoft + "\\A\\Gone") << "one entry for the removed subtree, not one per key";

    EXPECT_EQ(diff.keys[2].kind, KeyChange::Kind::Added);
    EXPECT_EQ(diff.keys[2].path, kSoft + "\\New");
    EXPECT_TRUE(diff.keys[2].values.empty());
    EXPECT_EQ(diff.keys[3].kind, KeyChange::Kind::Added);
    EXPECT_EQ(diff.keys[3].path, kSoft + "\\New\\Child");
    EXPECT_EQ(diff.keys[3].values, std::vector<RegistryValue>{Dword("n", 7)});
}

TEST(RegistryDiff, RegFormTurnsTheRegistryBeforeIntoTheRegistryAfter) {
    Registries r;
    std::string text = tvx::FormatRegistryDiff(tvx::DiffRegistry(r.before, r.after));
    EXPECT_NE(text.find("; key removed, with everything below it\n[-" + kSoft + "\\A\\Gone]\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(";   \"y\"=\"old\"\n\"y\"=\"new\"\n"), std::string::npos) << "a change shows what the value was\n"
                                                                            << text;
    EXPECT_NE(text.find("; REG_EXPAND_SZ \"%T%\"\n\"w\"=hex(2):25,00,54,00,25,00,00,00\n"), std::string::npos)
        << "data shown as hex gets a readable comment\n"
        << text;

    RegistrySnapshot patched = r.before;
    tvx::ApplyRegFile(tvx::ParseRegFile("Windows Registry Editor Version 5.00\n\n" + text, "diff.reg"), patched);
    EXPECT_TRUE(tvx::DiffRegistry(patched, r.after).empty()) << tvx::FormatRegistryDiff(tvx::DiffRegistry(patched, r.after));
}

TEST(RegistryDiff, UnchangedRegistryHasNoDifference) {
    Registries r;
    EXPECT_TRUE(tvx::DiffRegistry(r.before, r.before).empty());
    EXPECT_EQ(tvx::FormatRegistryDiff(tvx::DiffRegistry(r.after, r.after)), "");
}

TEST(RegistryDiff, TypeChangeWithTheSameBytesIsAChange) {
    RegistrySnapshot before, after;
    before.SetValue(kSoft + "\\T", RegistryValue{"v", tvx::kRegBinary, {'1', 0}});
    after.SetValue(kSoft + "\\T", Sz("v", "1"));
    tvx::RegistryDiff diff = tvx::DiffRegistry(before, after);
    ASSERT_EQ(diff.keys.size(), 1u);
    ASSERT_EQ(diff.keys[0].changes.size(), 1u);
    EXPECT_EQ(diff.keys[0].changes[0].after->type, tvx::kRegSz);
}

}  // namespace
