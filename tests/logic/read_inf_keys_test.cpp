// CReadInf's key walk: one walk per reader, continued across sections, and its end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inf/read_inf.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

constexpr const char* kFolder = "C:\\Drivers\\";
constexpr const char* kInf = "tvx.inf";
constexpr const char* kText =
    "[Scanner.Events]\r\n"
    "ScanButton = %ScanButton.Desc%,{A6C5A715-8C6E-11D2-977A-0000F87A926F},%ScanApps%\r\n"
    "CopyButton = %CopyButton.Desc%,{B441F425-8C6E-11D2-977A-0000F87A926F},%CopyApps%\r\n"
    "; not a key\r\n"
    "NoEquals\r\n"
    "[Other.Events]\r\n"
    "EmailButton = %Email.Desc%\r\n"
    "[Empty.Events]\r\n";

// One call: its answer and the out text, which starts as "<unset>".
struct Step {
    bool ok;
    std::string name;
    bool operator==(const Step&) const = default;
};

void PrintTo(const Step& s, std::ostream* os) { *os << (s.ok ? "true " : "false ") << s.name; }

class ReadInfKeysTest : public SimTest {
protected:
    void SetUp() override { rig.machine.files().WriteFile(std::string(kFolder) + kInf, kText); }
    static Step Next(CReadInf& inf, const std::string& section) {
        Step s{false, "<unset>"};
        s.ok = inf.GetNextKeyName(section, s.name);
        return s;
    }
};

TEST_F(ReadInfKeysTest, WalksTheKeysThenAnswersEndAndReadsAgain) {
    CReadInf inf(kFolder, kInf);
    EXPECT_EQ(Next(inf, "Scanner.Events"), (Step{true, "ScanButton"}));
    EXPECT_EQ(Next(inf, "Scanner.Events"), (Step{true, "CopyButton"}));
    EXPECT_EQ(Next(inf, "Scanner.Events"), (Step{false, "end"}));
    EXPECT_EQ(Next(inf, "Scanner.Events"), (Step{true, "ScanButton"}));
}

TEST_F(ReadInfKeysTest, AnotherSectionNamedMidWalkContinuesTheFirstList) {
    CReadInf inf(kFolder, kInf);
    EXPECT_EQ(Next(inf, "Scanner.Events"), (Step{true, "ScanButton"}));
    EXPECT_EQ(Next(inf, "Other.Events"), (Step{true, "CopyButton"}));
    EXPECT_EQ(Next(inf, "Other.Events"), (Step{false, "end"}));
    EXPECT_EQ(Next(inf, "Other.Events"), (Step{true, "EmailButton"}));
    EXPECT_EQ(Next(inf, "Scanner.Events"), (Step{false, "end"}));
}

TEST_F(ReadInfKeysTest, ASectionWithoutKeyNamesAnswersTheQuerysDefault) {
    // The query hands back its default, the section's own name, for a section that lists no keys
    // or does not exist; only an empty name gives an empty list.
    struct Case {
        const char* section;
        std::vector<Step> steps;
    } cases[] = {
        {"Empty.Events", {{true, "Empty.Events"}, {false, "end"}}},
        {"Missing.Events", {{true, "Missing.Events"}, {false, "end"}}},
        {"", {{false, "<unset>"}, {false, "end"}, {false, "<unset>"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        CReadInf inf(kFolder, kInf);
        for (const Step& expected : c.steps) EXPECT_EQ(Next(inf, c.section), expected);
    }
}

TEST_F(ReadInfKeysTest, KeyNamesBeyondTheListBufferAreNotSeen) {
    // 30 names of 10 bytes: the 260-byte list keeps 25 of them and the 26th cut to "Button2".
    std::string text = "[Many.Events]\r\n";
    for (int i = 0; i < 30; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "Button%03d=%%t%%\r\n", i);
        text += line;
    }
    rig.machine.files().WriteFile(std::string(kFolder) + kInf, text);
    CReadInf inf(kFolder, kInf);
    std::vector<std::string> names;
    std::string name;
    while (inf.GetNextKeyName("Many.Events", name)) names.push_back(name);
    EXPECT_EQ(name, "end");
    ASSERT_EQ(names.size(), 26u);
    EXPECT_EQ(names[24], "Button024");
    EXPECT_EQ(names[25], "Button02");
}

}  // namespace
