// The JSON report: every text is written as UTF-8 from the machine's ANSI code page and escaped so
// that a JSON reader gets the same text back; members keep their order; a missing result is null.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/scenario/report.h"

namespace {

using Json = nlohmann::ordered_json;

tvx::Report OneDifStep() {
    tvx::Report r;
    r.machine_kind = "simulated";
    r.scenario_name = "json";
    tvx::ReportStep step;
    step.kind = tvx::StepKind::Dif;
    step.dif_code = 2;
    step.line = 7;
    step.install_result = 0xE0000226u;
    r.steps.push_back(step);
    return r;
}

TEST(ReportJson, TextsReadBackAsTheirUtf8) {
    struct Case {
        const char* what;
        std::string ansi;
        std::string utf8;
    } cases[] = {
        {"plain", "Start Log", "Start Log"},
        {"quote and backslash", "C:\\Temp\\\"x\"", "C:\\Temp\\\"x\""},
        {"line ends and tab", "a\r\nb\tc", "a\r\nb\tc"},
        {"other control characters", std::string("\x01\x08\x0C\x1F", 4), std::string("\x01\x08\x0C\x1F", 4)},
        {"Windows-1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tvx::Report r = OneDifStep();
        r.steps[0].log.push_back({"_coInst.log", c.ansi});
        r.notes.push_back(c.ansi);
        const std::string text = tvx::FormatReportJson(r);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        const Json j = Json::parse(text);
        EXPECT_EQ(j["steps"][0]["log"][0]["line"].get<std::string>(), c.utf8);
        EXPECT_EQ(j["notes"][0].get<std::string>(), c.utf8);
    }
}

TEST(ReportJson, MembersInTheirOrderAndAMissingResultIsNull) {
    tvx::Report r = OneDifStep();
    const Json j = Json::parse(tvx::FormatReportJson(r));
    std::vector<std::string> keys;
    for (const auto& item : j.items()) keys.push_back(item.key());
    const std::vector<std::string> expected = {
        "machine_kind", "scenario",   "machine",      "steps",           "programs",
        "waits",        "events",     "messages",     "wia_registrations", "inf_installs",
        "service_changes", "services_at_end", "debug_output", "registry", "files",
        "logs",         "open_handles", "notes"};
    EXPECT_EQ(keys, expected);

    const Json& step = j["steps"][0];
    EXPECT_EQ(step["action"], "dif");
    EXPECT_EQ(step["line"], 7u);
    EXPECT_EQ(step["dif"]["code"], 2u);
    EXPECT_EQ(step["install_result"]["value"], 0xE0000226u);
    EXPECT_EQ(step["install_result"]["hex"], "0xE0000226");
    EXPECT_TRUE(step["result"].is_null());
    EXPECT_TRUE(j["programs"].is_array() && j["programs"].empty());
    EXPECT_FALSE(j.contains("unmet_expectations")) << "only when expectations were checked";

    r.expectations_checked = true;
    r.steps[0].result = 0;
    const Json checked = Json::parse(tvx::FormatReportJson(r));
    EXPECT_TRUE(checked["unmet_expectations"].is_array());
    EXPECT_EQ(checked["steps"][0]["result"]["value"], 0u);
}

}  // namespace
