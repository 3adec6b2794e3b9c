// The report as a web page: every text from the machine shows as text, the timeline draws one box
// per call that ran and places programs, waits and service states on the virtual clock, and the
// registry changes read as a before/after table.
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "tools/scenario/report.h"

namespace {

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

tvx::ReportStep Step(tvx::StepKind kind, uint64_t from, uint64_t to) {
    tvx::ReportStep s;
    s.kind = kind;
    s.description = kind == tvx::StepKind::Load ? "load TarvixQ920kCO.dll" : "unload TarvixQ920kCO.dll";
    s.started_ms = from;
    s.ended_ms = to;
    return s;
}

tvx::ReportStep Dif(uint32_t code, bool post, uint64_t from, uint64_t to, uint32_t result) {
    tvx::ReportStep s = Step(tvx::StepKind::Dif, from, to);
    s.description = "TarvixScannerCoInstaller DIF code " + std::to_string(code);
    s.dif_code = code;
    s.post_processing = post;
    s.result = result;
    return s;
}

// The built-in scenario's shape: load, DIF_INSTALLDEVICE before and after (the second one runs the
// firmware tool for 12 s and waits for it, then starts the setup, which runs on for 4 s),
// DIF_NEWDEVICEWIZARD_FINISHINSTALL, unload.
tvx::Report FirstPlugIn() {
    tvx::Report r;
    r.machine_kind = "simulated machine";
    r.scenario_name = "first plug-in";
    r.machine.push_back("64-bit Windows 5.2");
    r.steps.push_back(Step(tvx::StepKind::Load, 0, 0));
    r.steps.push_back(Dif(0x02, false, 0, 0, 0xE0000226u));
    r.steps.push_back(Dif(0x02, true, 0, 12000, 0));
    r.steps.push_back(Dif(0x1E, false, 12000, 12000, 0));
    r.steps.push_back(Step(tvx::StepKind::Unload, 12000, 12000));
    tvx::ProgramStarted firmware;
    firmware.step = 3;
    firmware.command_line = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto";
    firmware.started_ms = 0;
    firmware.ends_ms = 12000;
    tvx::ProgramStarted setup;
    setup.step = 3;
    setup.command_line = "D:\\setup.exe ";
    setup.started_ms = 12000;
    setup.ends_ms = 16000;
    r.programs = {firmware, setup};
    r.waits.push_back({3, firmware.command_line, tvx::WaitOutcome::Ended, 0xFFFFFFFFu, 12000, 0});
    return r;
}

// The rectangle of each SVG element of a class, in document order: x, width.
struct Box {
    double x = 0, width = 0;
    double right() const { return x + width; }
};
std::vector<Box> Boxes(const std::string& page, const std::string& group_class) {
    std::vector<Box> boxes;
    std::regex box("<g class=\"" + group_class + "\"[^>]*>(<title>[^<]*</title>)?<rect x=\"([0-9.]+)\" y=\"[0-9.]+\" "
                   "width=\"([0-9.]+)\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), box); it != std::sregex_iterator(); ++it)
        boxes.push_back({std::stod((*it)[2]), std::stod((*it)[3])});
    return boxes;
}

TEST(ReportHtml, EveryTextFromTheMachineShowsAsText) {
    struct Case {
        const char* where;
        std::function<void(tvx::Report&, const std::string&)> put;
    };
    const Case cases[] = {
        {"scenario name", [](tvx::Report& r, const std::string& t) { r.scenario_name = t; }},
        {"description", [](tvx::Report& r, const std::string& t) { r.description = t; }},
        {"machine", [](tvx::Report& r, const std::string& t) { r.machine.push_back(t); }},
        {"step", [](tvx::Report& r, const std::string& t) { r.steps[1].description = t; }},
        {"log line", [](tvx::Report& r, const std::string& t) { r.steps[1].log.push_back({"_coInst.log", t}); }},
        {"program", [](tvx::Report& r, const std::string& t) { r.programs[1].command_line = t; }},
        {"debugger output", [](tvx::Report& r, const std::string& t) { r.debug_output.push_back({2, t}); }},
        {"registry key", [](tvx::Report& r, const std::string& t) {
             r.registry.keys.push_back({tvx::KeyChange::Kind::Removed, "HKEY_CURRENT_USER\\" + t, {}, {}});
         }},
        {"registry value", [](tvx::Report& r, const std::string& t) {
             std::vector<uint8_t> data(t.begin(), t.end());
             data.push_back(0);
             r.registry.keys.push_back({tvx::KeyChange::Kind::Added, "HKEY_CURRENT_USER\\K", {{t, 1, data}}, {}});
         }},
        {"file", [](tvx::Report& r, const std::string& t) {
             r.files.push_back({tvx::FileChange::Kind::Created, "%TEMP%\\" + t, false, 3});
         }},
        {"unmet expectation", [](tvx::Report& r, const std::string& t) {
             r.expectations_checked = true;
             r.unmet_expectations.push_back(t);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        tvx::Report r = FirstPlugIn();
        c.put(r, "<script>alert('x & \"y\"')</script>");
        const std::string page = tvx::FormatReportHtml(r);
        EXPECT_EQ(page.find("<script"), std::string::npos);
        EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x &amp; &quot;y&quot;&#39;)&lt;/script&gt;"), std::string::npos);
    }
}

TEST(ReportHtml, MachineTextIsConvertedFromWindows1252AndControlCharactersStayVisible) {
    tvx::Report r = FirstPlugIn();
    r.steps[1].log.push_back({"_coInst.log", "Preis \x80 5 \xE9t\xE9"});
    r.steps[1].log.push_back({"_coInst.log", "bell\x07 and a CR of its own:\r"});
    const std::string page = tvx::FormatReportHtml(r);
    EXPECT_NE(page.find("Preis \xE2\x82\xAC 5 \xC3\xA9t\xC3\xA9"), std::string::npos) << "euro sign and accents";
    EXPECT_NE(page.find("bell\xE2\x90\x87 and a CR of its own:&lt;CR&gt;"), std::string::npos);
}

TEST(ReportHtml, HasEverySectionAndSaysNoneWhereNothingHappened) {
    tvx::Report r = FirstPlugIn();
    r.expectations_checked = true;
    const std::string page = tvx::FormatReportHtml(r);
    for (const char* id : {"timeline", "machine", "calls", "programs", "services", "events", "wia", "debug",
                           "registry", "files", "logs", "summary", "expectations"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(CountOf(page, std::string("<section id=\"") + id + "\">"), 1u);
        EXPECT_EQ(CountOf(page, std::string("<a href=\"#") + id + "\">"), 1u) << "linked from the top";
    }
    EXPECT_NE(page.find("<h2>Registry changes</h2>\n<p class=\"none\">none</p>"), std::string::npos);
    EXPECT_NE(page.find("The scenario's expectations: all met."), std::string::npos);
    EXPECT_EQ(CountOf(page, "<section"), CountOf(page, "</section>"));
}

TEST(ReportHtml, TimelineDrawsOneBoxPerCallThatRanAndNoneForStepsThatDidNot) {
    tvx::Report r = FirstPlugIn();
    tvx::ReportStep install = Step(tvx::StepKind::InstallPellionSoftware, 12000, 12000);
    install.description = "InstallPellionSoftware with command line \"tvxQ920k\"";
    install.command_line = "tvxQ920k";
    r.steps.insert(r.steps.begin() + 4, install);
    tvx::ReportStep not_run = Dif(0x05, false, 0, 0, 0);
    not_run.started_ms.reset();
    not_run.ended_ms.reset();
    not_run.result.reset();
    not_run.not_run = "the co-installer still waits in step 3";
    r.steps.push_back(not_run);
    const std::string page = tvx::FormatReportHtml(r);

    EXPECT_EQ(CountOf(page, "<g class=\"call "), 4u);
    for (const char* step : {"2", "3", "4", "5"})
        EXPECT_EQ(CountOf(page, std::string("data-step=\"") + step + "\""), 1u) << step;
    EXPECT_EQ(CountOf(page, "data-step=\"7\""), 0u) << "the step that did not run";
    EXPECT_EQ(CountOf(page, "<g class=\"library\">"), 2u) << "the load and the unload";
    // Each box shows the answer by its colour.
    EXPECT_EQ(CountOf(page, "<g class=\"call post\""), 1u);
    EXPECT_EQ(CountOf(page, "<g class=\"call ok\""), 2u);
    EXPECT_EQ(CountOf(page, "<g class=\"call none\""), 1u) << "InstallPellionSoftware answers nothing";
}

TEST(ReportHtml, TimelineKeepsCallsApartAndPlacesTheWaitAndTheProgramsOnTheClock) {
    const std::string page = tvx::FormatReportHtml(FirstPlugIn());
    std::vector<Box> calls = Boxes(page, "call [a-z]+");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_LT(calls[0].right(), calls[1].x) << "calls that take no time still stand apart";
    EXPECT_LT(calls[1].right(), calls[2].x);
    EXPECT_GT(calls[1].width, calls[0].width + 300) << "the 12 s call is wide";

    std::vector<Box> waits = Boxes(page, "wait");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_DOUBLE_EQ(waits[0].x, calls[1].x) << "the wait fills the call that waited";
    EXPECT_DOUBLE_EQ(waits[0].right(), calls[1].right());

    std::vector<Box> programs = Boxes(page, "program");
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_DOUBLE_EQ(programs[0].x, calls[1].x) << "the firmware tool starts as the call begins";
    EXPECT_DOUBLE_EQ(programs[0].right(), calls[1].right());
    EXPECT_DOUBLE_EQ(programs[1].x, calls[1].right()) << "the setup starts as the wait ends";
    Box unload = Boxes(page, "library").back();
    EXPECT_GT(programs[1].right(), unload.right()) << "the setup runs on after the last call";
    // Both calls have the same room for their names; what the second has beyond that is its 12 s,
    // and the setup's 4 s after the last call are drawn at the same scale.
    EXPECT_NEAR((programs[1].right() - unload.right()) / (calls[1].width - calls[0].width), 4000.0 / 12000.0, 0.01);
}

TEST(ReportHtml, TimelineShowsTheServiceStatesInOrderAndACallThatNeverReturns) {
    tvx::Report r = FirstPlugIn();
    r.service_changes = {{3, "stisvc", "stop pending", 100},
                         {3, "stisvc", "stopped", 800},
                         {3, "stisvc", "start pending", 5100},
                         {3, "stisvc", "running", 12700}};
    r.steps[3].waits_forever = "D:\\never.exe";
    r.steps[3].ended_ms.reset();
    r.steps[3].result.reset();
    r.steps[4].not_run = "the co-installer still waits in step 4";
    const std::string page = tvx::FormatReportHtml(r);

    std::regex band("<g class=\"service ([a-z]+)\"");
    std::string states;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), band); it != std::sregex_iterator(); ++it)
        states += (*it)[1].str() + " ";
    EXPECT_EQ(states, "running pending stopped pending running ") << "running before the stop was asked for";
    std::vector<Box> bands = Boxes(page, "service [a-z]+");
    for (size_t i = 1; i < bands.size(); ++i) EXPECT_DOUBLE_EQ(bands[i].x, bands[i - 1].right()) << i;

    EXPECT_EQ(CountOf(page, "<g class=\"call forever\""), 1u);
    EXPECT_EQ(CountOf(page, "<g class=\"forever-wait\">"), 1u) << "the arrow to the edge";
    EXPECT_NE(page.find("steps 1 to 4, never unloaded"), std::string::npos);
    EXPECT_EQ(CountOf(page, "<g class=\"library\">"), 1u) << "the unload never came";
}

TEST(ReportHtml, ReportWithoutVirtualTimesStillDrawsTheCallsInOrder) {
    tvx::Report r = tvx::NormaliseReport(FirstPlugIn());
    const std::string page = tvx::FormatReportHtml(r);
    std::vector<Box> calls = Boxes(page, "call [a-z]+");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_LT(calls[0].right(), calls[1].x);
    EXPECT_LT(calls[1].right(), calls[2].x);
    EXPECT_NE(page.find("keeps no virtual clock"), std::string::npos);
    EXPECT_EQ(CountOf(page, "<g class=\"wait\">"), 0u) << "nothing to place it by";
}

TEST(ReportHtml, RegistryChangesReadAsABeforeAndAfterTableGroupedByKey) {
    auto sz = [](const std::string& name, const std::string& text) {
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        return tvx::RegistryValue{name, 1, data};
    };
    tvx::Report r = FirstPlugIn();
    tvx::KeyChange added{tvx::KeyChange::Kind::Added, "HKEY_LOCAL_MACHINE\\SOFTWARE\\New", {}, {}};
    added.values = {sz("", "default text"), {"Count", 4, {0x2A, 0, 0, 0}}, {"List", 7, {'a', 0, 'b', 0, 0}},
                    {"Raw", 3, {0x01, 0xFF}}, {"Big", 11, {1, 0, 0, 0, 0, 0, 0, 0}}};
    tvx::KeyChange changed{tvx::KeyChange::Kind::Changed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Old", {}, {}};
    changed.changes = {{"Kept", sz("Kept", "before"), sz("Kept", "after")},
                       {"Gone", sz("Gone", "was here"), std::nullopt},
                       {"Fresh", std::nullopt, sz("Fresh", "1")}};
    tvx::KeyChange removed{tvx::KeyChange::Kind::Removed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Dead", {}, {}};
    r.registry.keys = {added, changed, removed};
    const std::string page = tvx::FormatReportHtml(r);

    EXPECT_EQ(CountOf(page, "<tbody class=\"key\">"), 3u) << "one group per key";
    const char* const rows[] = {
        "<th colspan=\"4\">HKEY_LOCAL_MACHINE\\SOFTWARE\\New<span class=\"what\">key added</span>",
        "<td class=\"mono\"><span class=\"none\">(Default)</span></td><td>REG_SZ</td><td class=\"none\">(not there)"
        "</td><td class=\"mono after\">\"default text\"</td>",
        "<td>REG_DWORD</td><td class=\"none\">(not there)</td><td class=\"mono after\">0x0000002a (42)</td>",
        "<td class=\"mono after\">\"a\"<br>\"b\"</td>",
        "<td class=\"mono after\">01 ff</td>",
        "<td class=\"mono after\">0x0000000000000001 (1)</td>",
        "<td class=\"mono\">Kept</td><td>REG_SZ</td><td class=\"mono before\">\"before\"</td>"
        "<td class=\"mono after\">\"after\"</td>",
        "<td class=\"mono\">Gone</td><td>REG_SZ</td><td class=\"mono before\">\"was here\"</td>"
        "<td class=\"none\">(deleted)</td>",
        "<td class=\"mono\">Fresh</td><td>REG_SZ</td><td class=\"none\">(not there)</td>",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Dead<span class=\"what\">key deleted, with everything below it</span>",
    };
    for (const char* row : rows) EXPECT_NE(page.find(row), std::string::npos) << row;
}

}  // namespace
