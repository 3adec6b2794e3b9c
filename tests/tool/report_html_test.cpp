// The report as a web page: every text from the machine shows as text, the timeline draws one box
// per call that ran and places programs, waits and service states on the virtual clock, and the
// registry changes read as a before/after table.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "tools/scenario/glossary.h"
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

// The page with the hover explanations of Windows names taken out: "<abbr title=...>REG_SZ</abbr>"
// becomes "REG_SZ".
std::string WithoutExplanations(const std::string& page) {
    return std::regex_replace(page, std::regex("<abbr title=\"[^\"]*\">([^<]*)</abbr>"), "$1");
}

// The width and height the timeline picture is drawn at.
struct Picture {
    double width = 0, height = 0;
};
Picture PictureSize(const std::string& page) {
    std::smatch m;
    if (!std::regex_search(page, m, std::regex("<svg class=\"timeline\"[^>]* width=\"([0-9.]+)\" height=\"([0-9.]+)\"")))
        return {};
    return {std::stod(m[1]), std::stod(m[2])};
}

// The SVG part of a page.
std::string Svg(const std::string& page) {
    size_t from = page.find("<svg"), to = page.find("</svg>");
    return from == std::string::npos || to == std::string::npos ? std::string() : page.substr(from, to - from);
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
    EXPECT_NE(page.find("every expectation was met."), std::string::npos);
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
    const std::string page = WithoutExplanations(tvx::FormatReportHtml(r));

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

namespace {

tvx::KeyChange AddedKey(const std::string& path, size_t values) {
    tvx::KeyChange key{tvx::KeyChange::Kind::Added, path, {}, {}};
    for (size_t i = 0; i < values; ++i) key.values.push_back({"V" + std::to_string(i), 4, {1, 0, 0, 0}});
    return key;
}

TEST(ReportHtml, OpensWithOneSentenceOfTheOutcome) {
    struct Case {
        const char* run;
        std::function<void(tvx::Report&)> change;
        const char* sentence;
        bool failed;
    };
    const Case cases[] = {
        {"everything goes well",
         [](tvx::Report& r) {
             tvx::KeyChange changed{tvx::KeyChange::Kind::Changed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Old", {}, {}};
             changed.changes = {{"Kept", std::nullopt, tvx::RegistryValue{"Kept", 4, {0, 0, 0, 0}}}};
             r.registry.keys = {AddedKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\New", 2), changed};
             r.files.push_back({tvx::FileChange::Kind::Created, "%TEMP%\\_coInst.log", false, 300});
             r.expectations_checked = true;
         },
         "The co-installer answered all 3 calls without error, started 2 programs, changed 3 registry values and "
         "changed 1 file or folder; every expectation was met.",
         false},
        {"nothing changes",
         [](tvx::Report& r) {
             r.steps.erase(r.steps.begin() + 1, r.steps.begin() + 3);
             r.programs.clear();
             r.waits.clear();
         },
         "The co-installer answered its one call without error, started no program and left the registry as it was.",
         false},
        {"no call at all",
         [](tvx::Report& r) {
             r.steps.erase(r.steps.begin() + 1, r.steps.begin() + 4);
             r.programs.clear();
             r.waits.clear();
         },
         "The co-installer was not called, started no program and left the registry as it was.", false},
        {"a call fails", [](tvx::Report& r) { r.steps[3].result = 5; },
         "The co-installer answered 2 of 3 calls without error and step 4 (DIF_NEWDEVICEWIZARD_FINISHINSTALL) with "
         "ERROR_ACCESS_DENIED; it started 2 programs and left the registry as it was.",
         true},
        {"the class installer fails and the co-installer passes it on",
         [](tvx::Report& r) {
             r.steps[2].install_result = 0x4C7;
             r.steps[2].result = 0x4C7;
         },
         "The co-installer answered 2 of 3 calls without error and step 3 (DIF_INSTALLDEVICE) with ERROR_CANCELLED "
         "passed on from the class installer; it started 2 programs and left the registry as it was.",
         true},
        {"two calls fail, one with a code without a name",
         [](tvx::Report& r) {
             r.steps[2].result = 0x1234;
             r.steps[3].result = 0xE0000203u;
         },
         "The co-installer answered 1 of 3 calls without error, step 3 (DIF_INSTALLDEVICE) with the error 0x00001234 "
         "and step 4 (DIF_NEWDEVICEWIZARD_FINISHINSTALL) with ERROR_NO_DRIVER_SELECTED; it started 2 programs and left "
         "the registry as it was.",
         true},
        {"a call waits forever",
         [](tvx::Report& r) {
             r.steps[2].waits_forever = "\"D:\\fwUpdate\\tarvix tool.exe\" -auto";
             r.steps[2].result.reset();
             r.steps[2].ended_ms.reset();
             r.steps[3].not_run = r.steps[4].not_run = "the co-installer still waits in step 3";
         },
         "The co-installer answered 1 of 2 calls without error and never returned from step 3 (DIF_INSTALLDEVICE: it "
         "waits forever for tarvix tool.exe); it started 2 programs and left the registry as it was; 2 later steps "
         "did not run.",
         true},
        {"expectations not met",
         [](tvx::Report& r) {
             r.expectations_checked = true;
             r.unmet_expectations = {"result of step 2", "registry value X"};
         },
         "The co-installer answered all 3 calls without error, started 2 programs and left the registry as it was; 2 "
         "expectations were not met.",
         true},
        {"keys added empty and deleted, a handle left open",
         [](tvx::Report& r) {
             r.registry.keys = {AddedKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\A", 0), AddedKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\B", 0),
                                {tvx::KeyChange::Kind::Removed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Dead", {}, {}}};
             r.open_handles = {"registry key HKEY_LOCAL_MACHINE\\SOFTWARE\\A"};
         },
         "The co-installer answered all 3 calls without error, started 2 programs, added 2 empty registry keys and "
         "deleted 1 registry key with everything below it; 1 handle was left open.",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.run);
        tvx::Report r = FirstPlugIn();
        c.change(r);
        const std::string page = WithoutExplanations(tvx::FormatReportHtml(r));
        // The first thing below the title.
        const std::string opening = std::string("</h1>\n<p class=\"verdict ") + (c.failed ? "failed" : "fine") + "\">" +
                                    c.sentence;
        EXPECT_NE(page.find(opening), std::string::npos) << page.substr(page.find("<h1>"), 700);
        EXPECT_EQ(CountOf(page, "<p class=\"verdict "), 1u);
    }
    tvx::Report unmet = FirstPlugIn();
    unmet.expectations_checked = true;
    unmet.unmet_expectations = {"result of step 2"};
    EXPECT_NE(tvx::FormatReportHtml(unmet).find("not met. <a href=\"#expectations\">"), std::string::npos)
        << "the sentence leads to the unmet expectation";
}

TEST(ReportHtml, WindowsNamesCarryAShortExplanationOnHover) {
    tvx::Report r = FirstPlugIn();
    r.scenario_name = "DIF_REMOVE";
    r.steps[1].description = "TarvixScannerCoInstaller DIF_INSTALLDEVICE (0x02)";
    r.steps[1].log.push_back({"_coInst.log", "log line naming DIF_REMOVE"});
    r.steps[3].params_before = tvx::InstallParams{0, 0};
    r.steps[3].params_after = tvx::InstallParams{0, 8};
    r.programs[0].creation_flags = 0x10;
    r.programs[0].startup_flags = 0x40;
    r.programs[0].show_window = 1;
    r.machine.push_back("Drive D: CD-ROM drive, volume label \"TARVIX_Q920K\"");
    tvx::KeyChange usb{tvx::KeyChange::Kind::Added, "HKEY_LOCAL_MACHINE\\SYSTEM\\Enum\\USB\\VID_2E5A&PID_0920", {}, {}};
    usb.values = {{"Count", 4, {1, 0, 0, 0}}};
    r.registry.keys = {usb};
    r.service_changes = {{3, "stisvc", "stop pending", 100}};
    tvx::WiaRegistrationMade wia;
    wia.step = 3;
    wia.event = "{A6C5A715-8C6E-11D2-977A-0000F87A926F}";
    r.wia_registrations = {wia};
    const std::string page = tvx::FormatReportHtml(r);

    struct Shown {
        const char* where;
        const char* name;
    };
    const Shown shown[] = {
        {"a step's call", "DIF_INSTALLDEVICE"},
        {"a call's answer", "ERROR_DI_POSTPROCESSING_REQUIRED"},
        {"the installation parameters", "DI_FLAGSEX_FINISHINSTALL_ACTION"},
        {"how a program started", "CREATE_NEW_CONSOLE"},
        {"how a program started", "STARTF_FORCEONFEEDBACK"},
        {"how a program started", "SW_SHOWNORMAL"},
        {"a registry key", "HKEY_LOCAL_MACHINE"},
        {"a device ID", "VID_2E5A"},
        {"a device ID", "PID_0920"},
        {"a registry value's type", "REG_DWORD"},
        {"a service's state", "stop pending"},
        {"a WIA registration's answer", "S_OK"},
        {"the legend", "ERROR_DI_DO_DEFAULT"},
    };
    for (const Shown& s : shown) {
        SCOPED_TRACE(std::string(s.where) + ": " + s.name);
        std::string meaning;
        for (char ch : tvx::Glossary(s.name))
            meaning += ch == '"' ? std::string("&quot;") : ch == '\'' ? std::string("&#39;") : std::string(1, ch);
        ASSERT_FALSE(meaning.empty());
        EXPECT_NE(page.find("<abbr title=\"" + meaning + "\">" + s.name + "</abbr>"), std::string::npos);
    }
    EXPECT_NE(page.find("VID_2E5A</abbr>&amp;<abbr"), std::string::npos) << "the entity between them stays";
    EXPECT_EQ(page.find("<abbr title=\"\""), std::string::npos) << "no empty explanation";
    // Left as written: the picture (its boxes have tips of their own), log lines, the head, data.
    EXPECT_EQ(Svg(page).find("<abbr"), std::string::npos);
    EXPECT_NE(page.find("log line naming DIF_REMOVE\n"), std::string::npos);
    EXPECT_NE(page.find("<title>Scenario \xE2\x80\x9C" "DIF_REMOVE\xE2\x80\x9D"), std::string::npos);
    EXPECT_NE(page.find("&quot;TARVIX_Q920K&quot;"), std::string::npos) << "a volume label is no Windows name";
    EXPECT_NE(Svg(page).find("DIF_INSTALLDEVICE: " + std::string(tvx::Glossary("DIF_INSTALLDEVICE"))),
              std::string::npos)
        << "a call's box explains its code in its tip";
}

// The picture fits a page 1,400 px wide and every label in it is drawn whole, whatever the run.
TEST(ReportHtml, TimelineFitsThePageAndDrawsEveryLabelWhole) {
    const std::string long_program =
        "C:\\Program Files\\Tarvix\\tarvixFirmwareUpdateToolForEveryScannerModel.exe /silent /log=C:\\fw.log";
    struct Case {
        const char* run;
        std::function<void(tvx::Report&)> change;
    };
    const Case cases[] = {
        {"the built-in run", [](tvx::Report&) {}},
        {"calls that take no virtual time",
         [](tvx::Report& r) {
             for (tvx::ReportStep& s : r.steps) s.started_ms = s.ended_ms = 0;
             r.programs.clear();
             r.waits.clear();
         }},
        {"a machine without a clock", [](tvx::Report& r) { r = tvx::NormaliseReport(r); }},
        {"two processes, the second waiting 12 s",
         [](tvx::Report& r) {
             tvx::ReportStep load = Step(tvx::StepKind::Load, 0, 0);
             tvx::ReportStep action = Dif(0x2A, false, 0, 12000, 0);
             tvx::ReportStep unload = Step(tvx::StepKind::Unload, 12000, 12000);
             for (tvx::ReportStep& s : r.steps) s.started_ms = s.ended_ms = 0;
             r.steps.insert(r.steps.end(), {load, action, unload});
             for (tvx::ProgramStarted& p : r.programs) p.step = 7;
             r.waits[0].step = 7;
         }},
        {"long program and service names",
         [&](tvx::Report& r) {
             r.programs[1].command_line = long_program;
             r.service_changes = {{3, "StillImageServiceOfAVeryLongNameIndeed", "stop pending", 100}};
             r.waits.push_back({3, "D:\\unseen program with a long name.exe", tvx::WaitOutcome::Ended, 500, 0, 0});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.run);
        tvx::Report r = FirstPlugIn();
        c.change(r);
        const std::string page = tvx::FormatReportHtml(r);
        const std::string svg = Svg(page);
        const Picture picture = PictureSize(page);
        ASSERT_GT(picture.width, 0);
        EXPECT_LE(picture.width, 1320) << "wider than a page 1,400 px wide leaves it";
        EXPECT_EQ(svg.find("\xE2\x80\xA6"), std::string::npos) << "a label cut with an ellipsis";
        EXPECT_EQ(svg.find("textLength"), std::string::npos) << "a label squeezed";
        // The texts at the right end: the end note and the last time on the axis.
        std::smatch m;
        if (std::regex_search(svg, m, std::regex("<text class=\"note\" x=\"([0-9.]+)\""))) {
            EXPECT_LE(std::stod(m[1]) + 110, picture.width) << "the last call returns";
        }
        double last_time = 0;
        const std::regex time("<text class=\"time\" x=\"([0-9.]+)\"[^>]*>([^<]*)<");
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), time);
             it != std::sregex_iterator(); ++it)
            last_time = std::max(last_time, std::stod((*it)[1]) + static_cast<double>((*it)[2].length()) * 6.02 / 2);
        EXPECT_LE(last_time, picture.width);
        // Lane labels one below the other, none drawn over another.
        std::vector<double> ys;
        const std::regex label("<text class=\"lane(-sub)?\" x=\"8\" y=\"([0-9.]+)\"");
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), label);
             it != std::sregex_iterator(); ++it)
            ys.push_back(std::stod((*it)[2]));
        for (size_t i = 1; i < ys.size(); ++i) EXPECT_GE(ys[i], ys[i - 1] + 10) << i;
    }

    // A title too long for the label column wraps onto more lines: all of it is there.
    tvx::Report r = FirstPlugIn();
    r.programs[1].command_line = long_program;
    const std::string svg = Svg(tvx::FormatReportHtml(r));
    std::string lines;
    const std::regex title("<text class=\"lane\" x=\"8\" y=\"[0-9.]+\">([^<]*)<");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), title);
         it != std::sregex_iterator(); ++it)
        lines += (*it)[1].str();
    std::string whole = "tarvixFirmwareUpdateToolForEveryScannerModel.exe /silent /log=C:\\fw.log";
    whole.erase(std::remove(whole.begin(), whole.end(), ' '), whole.end());
    lines.erase(std::remove(lines.begin(), lines.end(), ' '), lines.end());
    EXPECT_NE(lines.find(whole), std::string::npos) << lines;
}

}  // namespace
