// The explanations of Windows names: every name the report can show has one, and names it does not
// know get none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/scenario/glossary.h"
#include "tools/scenario/names.h"

namespace {

// "A | B | 0x40" as its names.
std::vector<std::string> FlagNames(const std::string& described) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= described.size()) {
        size_t end = described.find(" | ", start);
        if (end == std::string::npos) end = described.size();
        std::string name = described.substr(start, end - start);
        if (name.rfind("0x", 0) != 0 && name != "0") names.push_back(name);
        start = end + 3;
    }
    return names;
}

TEST(Glossary, ExplainsEveryNameTheReportCanShow) {
    std::vector<std::string> names;
    for (uint32_t code = 0; code < 0x100; ++code) names.push_back(tvx::DifName(code));
    for (uint32_t value = 0; value < 0x2000; ++value) names.push_back(tvx::ResultName(value));
    for (uint32_t value = 0xE0000200u; value < 0xE0000300u; ++value) names.push_back(tvx::ResultName(value));
    for (uint32_t type = 0; type < 12; ++type) names.push_back(tvx::RegTypeName(type));
    for (uint32_t state = 1; state < 8; ++state) names.push_back(tvx::ServiceStateName(state));
    for (uint32_t show = 0; show < 12; ++show) {
        std::string described = tvx::DescribeShowState(show);
        names.push_back(described.substr(0, described.find(' ')));
    }
    for (const std::string& described :
         {tvx::DescribeInstallFlags(0xFFFFFFFFu), tvx::DescribeInstallFlagsEx(0xFFFFFFFFu),
          tvx::DescribeCreationFlags(0xFFFFFFFFu), tvx::DescribeStartupFlags(0xFFFFFFFFu)})
        for (const std::string& name : FlagNames(described)) names.push_back(name);
    size_t checked = 0;
    for (const std::string& name : names) {
        if (name.empty()) continue;  // a value without a name
        ++checked;
        EXPECT_FALSE(tvx::Glossary(name).empty()) << name;
    }
    EXPECT_GT(checked, 100u) << "the names tables were read";
}

TEST(Glossary, KnowsUsbNumbersByTheirBeginningAndNothingElse) {
    struct Case {
        const char* name;
        bool known;
    };
    const Case cases[] = {
        {"VID_2E5A", true},  {"PID_0920", true}, {"VID_", false},       {"REG_SZ", true},
        {"REG_SZ2", false},  {"reg_sz", false},  {"TARVIX_Q920K", false}, {"running", true},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(!tvx::Glossary(c.name).empty(), c.known) << c.name;
}

}  // namespace
