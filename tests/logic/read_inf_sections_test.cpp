// CReadInf's section walk: which names it hands out, in which order, and when it reads the file
// again. Its tables are shared with the contract suite (tests/contract/inf_reader_cases.h), so
// that they run on both machines: here on the simulated one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inf/read_inf.h"
#include "tests/contract/inf_reader_cases.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

const std::string kFolder = "C:\\Drivers\\";
constexpr const char* kInf = "tvx.inf";

class ReadInfSectionsTest : public SimTest {
protected:
    void WriteInf(const std::string& text) { rig.machine.files().WriteFile(kFolder + kInf, text); }
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

TEST_F(ReadInfSectionsTest, TheSharedTables) {
    using namespace tvx::inf_reader_table;
    for (const InfFile& f : AnsiFiles()) rig.machine.files().WriteFile(kFolder + f.name, f.bytes);
    for (const SectionWalkCase& c : SectionWalkCases()) {
        SCOPED_TRACE(std::string(c.file) + " with \"" + c.search + "\"");
        EXPECT_EQ(RunSectionWalk(kFolder, c, Form::Ansi), "");
    }
    for (const SectionStepsCase& c : SectionStepsCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RunSectionSteps(kFolder, c, Form::Ansi), "");
    }
}

}  // namespace
