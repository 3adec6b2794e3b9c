// CReadInf's section walk: which names it hands out, in which order, and when it reads the file
// again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inf/read_inf.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

constexpr const char* kFolder = "C:\\Drivers\\";
constexpr const char* kInf = "tvx.inf";

class ReadInfSectionsTest : public SimTest {
protected:
    void WriteInf(const std::string& text) { rig.machine.files().WriteFile(std::string(kFolder) + kInf, text); }
    // Every name the walk hands out until it answers false.
    static std::vector<std::string> Walk(CReadInf& inf, const std::string& search) {
        std::vector<std::string> names;
        std::string text = search;
        while (inf.FindNextSection(text)) {
            names.push_back(text);
            text = search;
        }
        EXPECT_EQ(text, search) << "the end leaves the text alone";
        return names;
    }
};

using Names = std::vector<std::string>;

TEST_F(ReadInfSectionsTest, HandsOutEveryMatchOnceThenStartsAgainFromAFreshRead) {
    WriteInf("[Version]\r\nSignature=\"$Windows NT$\"\r\n[Scanner.Events]\r\nScanButton=%a%\r\n"
             "[Scanner.EvtReg]\r\n[Other.Events]\r\n");
    CReadInf inf(kFolder, kInf);
    EXPECT_EQ(inf.GetFullPath(), "C:\\Drivers\\tvx.inf");
    EXPECT_EQ(Walk(inf, ".Events"), (Names{"Scanner.Events", "Other.Events"}));
    // The next walk reads the file again.
    WriteInf("[New.Events]\r\n[Scanner.Events]\r\n");
    EXPECT_EQ(Walk(inf, ".Events"), (Names{"New.Events", "Scanner.Events"}));
}

TEST_F(ReadInfSectionsTest, MatchesBySubstringAndByCase) {
    struct Case {
        const char* search;
        Names names;
    } cases[] = {
        {".Events", {"X.Events", "Scanner.Events.NT", "Events.Tail.Events"}},
        {"Events", {"X.Events", "Scanner.Events.NT", "Events", "Events.Tail.Events"}},
        {".events", {"Scanner.events"}},
        {"", {"X.Events", "Scanner.Events.NT", "Scanner.events", "Events", "Ev", "Events.Tail.Events"}},
        {"Nothing", {}},
    };
    WriteInf("[X.Events]\r\n[Scanner.Events.NT]\r\n[Scanner.events]\r\n[Events]\r\n[Ev]\r\n[Events.Tail.Events]\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search);
        CReadInf inf(kFolder, kInf);
        EXPECT_EQ(Walk(inf, c.search), c.names);
    }
}

TEST_F(ReadInfSectionsTest, ASearchTextGivenMidWalkIsOnlyTheOutput) {
    WriteInf("[A.Events]\r\n[B.Other]\r\n[C.Events]\r\n");
    CReadInf inf(kFolder, kInf);
    std::string text = ".Events";
    ASSERT_TRUE(inf.FindNextSection(text));
    EXPECT_EQ(text, "A.Events");
    text = ".Other";
    ASSERT_TRUE(inf.FindNextSection(text));
    EXPECT_EQ(text, "C.Events");
    text = ".Other";
    EXPECT_FALSE(inf.FindNextSection(text));
    // After the end the new text is taken.
    EXPECT_TRUE(inf.FindNextSection(text));
    EXPECT_EQ(text, "B.Other");
}

TEST_F(ReadInfSectionsTest, NamesBeyondTheListBufferAreNotSeen) {
    // 100 names of 12 bytes fill 1,200 bytes; the list keeps its first 1,038 bytes and two NULs.
    std::string text;
    Names expected;
    for (int i = 0; i < 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "S%03d.Events", i);
        text += "[" + std::string(name) + "]\r\n";
        if ((i + 1) * 12 <= 1038) expected.push_back(name);
    }
    WriteInf(text);
    CReadInf inf(kFolder, kInf);
    ASSERT_EQ(expected.size(), 86u);
    // The 87th name is cut to "S086.E" and no longer matches.
    EXPECT_EQ(Walk(inf, ".Events"), expected);
    Names all = Walk(inf, "");
    ASSERT_EQ(all.size(), 87u);
    EXPECT_EQ(all.back(), "S086.E");
}

TEST_F(ReadInfSectionsTest, AMissingFileHasNoSections) {
    CReadInf inf(kFolder, "missing.inf");
    EXPECT_EQ(Walk(inf, ".Events"), Names{});
    EXPECT_EQ(Walk(inf, ""), Names{});
}

}  // namespace
