// The report as one self-contained web page: a timeline picture of the run (inline SVG) at its top,
// then the machine, the calls and everything the run changed, in the words of the text form.
// Nothing in the page runs or is fetched: it reads the same in any browser and when printed.
// Portable.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>

#include "tools/scenario/glossary.h"
#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/report_html_text.h"
#include "tools/scenario/report_timeline.h"
#include "tools/scenario/report_words.h"
#include "tools/scenario/text_codec.h"

namespace tvx {
namespace {

using namespace html;

// ---------------------------------------------------------------------------------------------
// The page's parts

const char kStyle[] = R"(
body { font: 14px/1.45 "DejaVu Sans", Verdana, sans-serif; color: #1d232a; margin: 0 auto; max-width: 1400px;
       padding: 16px 24px 48px; background: #fff; }
h1 { font-size: 22px; margin: 8px 0 2px; }
h2 { font-size: 17px; margin: 28px 0 8px; padding-bottom: 3px; border-bottom: 2px solid #d6dde4; }
h3 { font-size: 14px; margin: 14px 0 4px; }
.meta { color: #56616c; margin: 0 0 10px; }
.intro { color: #3b4550; }
.verdict { font-size: 15px; padding: 8px 12px; border-radius: 4px; margin: 6px 0 10px; }
.verdict.fine { background: #e3f3e4; border: 1px solid #8cc991; }
.verdict.failed { background: #fde7e7; border: 1px solid #e39a9a; }
abbr[title] { text-decoration: underline dotted #8a949d; cursor: help; }
.outcome { padding: 6px 10px; border-radius: 4px; display: inline-block; margin: 4px 0; }
.outcome.met { background: #e3f3e4; border: 1px solid #8cc991; }
.outcome.unmet { background: #fde7e7; border: 1px solid #e39a9a; }
nav { font-size: 13px; margin: 10px 0; }
nav a { margin-right: 10px; white-space: nowrap; }
code, pre, .mono { font-family: "DejaVu Sans Mono", Consolas, monospace; font-size: 12.5px; }
pre { background: #f5f7f9; border: 1px solid #e1e6eb; padding: 6px 8px; margin: 4px 0; white-space: pre-wrap;
      word-break: break-all; }
table { border-collapse: collapse; margin: 4px 0 8px; }
th, td { border: 1px solid #d6dde4; padding: 3px 8px; text-align: left; vertical-align: top; }
thead th { background: #eef2f5; }
td.mono, td .mono { word-break: break-all; }
.none { color: #77818b; font-style: italic; }
.figure { overflow-x: auto; margin: 0; border: 1px solid #d6dde4; border-radius: 4px; padding: 6px 0; background: #fcfdfe; }
figcaption, .caption { color: #56616c; font-size: 13px; margin: 6px 0; }
.legend span.swatch { display: inline-block; width: 12px; height: 12px; border: 1px solid #555;
                      vertical-align: -2px; margin: 0 4px 0 12px; }
ol.calls { padding-left: 0; list-style: none; }
ol.calls > li { border: 1px solid #d6dde4; border-left-width: 6px; border-radius: 4px; padding: 6px 10px;
                margin: 8px 0; }
ol.calls > li.ok { border-left-color: #5aa862; } ol.calls > li.post { border-left-color: #4c86c6; }
ol.calls > li.default { border-left-color: #9aa3ab; } ol.calls > li.error { border-left-color: #d05a5a; }
ol.calls > li.forever { border-left-color: #e0922e; } ol.calls > li.none { border-left-color: #9b83c9; }
ol.calls > li.library { border-left-color: #bcc4cc; } ol.calls > li.not-run { border-left-color: #e1e6eb;
                color: #77818b; }
.step-title { font-weight: bold; }
.why { color: #56616c; font-style: italic; }
.answer { font-weight: bold; }
table.registry { width: 100%; table-layout: fixed; }
table.registry col.name { width: 20%; } table.registry col.type { width: 12%; }
table.registry tr.key th { background: #eef2f5; font-family: "DejaVu Sans Mono", monospace; font-size: 12.5px;
                           word-break: break-all; }
table.registry tr.key .what { font-family: "DejaVu Sans", sans-serif; font-weight: normal; color: #56616c;
                              margin-left: 8px; }
table.registry td.before { background: #fdf1f1; } table.registry td.after { background: #eef8ef; }
table.registry td.same { background: none; }
.badge { font-size: 12px; padding: 0 6px; border-radius: 8px; background: #e1e6eb; }
svg.timeline { display: block; max-width: 100%; height: auto; font-family: "DejaVu Sans Mono", monospace; font-size: 10px; }
svg.timeline text.lane { font: bold 11px "DejaVu Sans", sans-serif; fill: #1d232a; }
svg.timeline text.lane-sub, svg.timeline text.note { font: 10px "DejaVu Sans", sans-serif; fill: #56616c; }
svg.timeline text.time { text-anchor: middle; fill: #3b4550; }
svg.timeline line.axis, svg.timeline line.tick { stroke: #56616c; }
svg.timeline line.axis { stroke-width: 2; } svg.timeline line.still { stroke-width: 1; stroke-dasharray: 2 3; }
svg.timeline line.end { stroke: #56616c; stroke-dasharray: 4 3; }
svg.timeline rect.after { fill: #f1f4f7; }
svg.timeline rect.process { fill: #e9eef3; stroke: #c3ccd5; }
svg.timeline g.library rect { fill: #bcc4cc; } svg.timeline g.library text { text-anchor: middle; font-size: 9px; }
svg.timeline g.call rect { stroke: #39424b; stroke-width: 1; }
svg.timeline g.call text { fill: #111; } svg.timeline g.call text.detail { fill: #3b4550; }
svg.timeline tspan.n { font-weight: bold; }
svg.timeline g.ok rect, .swatch.ok { fill: #cdeacf; background: #cdeacf; }
svg.timeline g.post rect, .swatch.post { fill: #cfe0f3; background: #cfe0f3; }
svg.timeline g.default rect, .swatch.default { fill: #e3e6e9; background: #e3e6e9; }
svg.timeline g.error rect, .swatch.error { fill: #f6cccc; background: #f6cccc; }
svg.timeline g.none rect, .swatch.none { fill: #e4dcf3; background: #e4dcf3; }
svg.timeline g.forever rect, .swatch.forever { fill: #fbdcb4; background: #fbdcb4; }
svg.timeline g.forever-wait line { stroke: #e0922e; stroke-width: 2; stroke-dasharray: 6 4; }
svg.timeline g.forever-wait path { fill: #e0922e; }
svg.timeline g.program rect, .swatch.program { fill: #e6ddc9; background: #e6ddc9; stroke: #a89a7a; }
svg.timeline g.wait rect, .swatch.wait { fill: #b98f3e; background: #b98f3e; }
svg.timeline g.wait text { fill: #fff; }
svg.timeline g.service rect { stroke: none; }
svg.timeline g.running rect, .swatch.running { fill: #9fd3a5; background: #9fd3a5; }
svg.timeline g.pending rect, .swatch.pending { fill: #f3cf7a; background: #f3cf7a; }
svg.timeline g.stopped rect, .swatch.stopped { fill: #c9ced3; background: #c9ced3; }
svg.timeline line.change { stroke: #1d232a; }
)";

void Section(std::string& out, const std::string& id, const std::string& title) {
    out += "</section>\n<section id=\"" + id + "\">\n<h2>" + Esc(title) + "</h2>\n";
}

void NoneLine(std::string& out, const std::string& what = "none") { out += "<p class=\"none\">" + Esc(what) + "</p>\n"; }

std::string StepLink(size_t step) {
    return "<a href=\"#step-" + std::to_string(step) + "\">" + std::to_string(step) + "</a>";
}

void Header(std::string& out, const Report& r) {
    std::string where = r.machine_kind.empty() ? ""
                        : r.machine_kind == "simulated machine" ? "run on the simulated machine"
                                                                 : "run on " + r.machine_kind;
    out += "<header>\n<h1>Scenario \xE2\x80\x9C" + Ansi(r.scenario_name) + "\xE2\x80\x9D</h1>\n";
    // The outcome first, in one sentence; the details follow.
    const bool unmet = r.expectations_checked && !r.unmet_expectations.empty();
    out += std::string("<p class=\"verdict ") + (words::OutcomeFailed(r) ? "failed" : "fine") + "\">" +
           Esc(words::Outcome(r)) + (unmet ? " <a href=\"#expectations\">See which.</a>" : "") + "</p>\n";
    std::string meta = r.scenario_file.empty() ? "" : "<span class=\"mono\">" + Esc(r.scenario_file) + "</span>";
    if (!where.empty()) meta += (meta.empty() ? "" : ", ") + Esc(where);
    if (!meta.empty()) out += "<p class=\"meta\">" + meta + "</p>\n";
    if (!r.description.empty()) out += "<p class=\"description\">" + Ansi(r.description) + "</p>\n";
    out += "<p class=\"intro\">" + Esc(words::Introduction()) +
           " At the top, a timeline shows when each call ran and how long the co-installer waited. A Windows name "
           "underlined with dots says what it means when the pointer rests on it.</p>\n";
    out += "<nav>";
    const std::pair<const char*, const char*> links[] = {
        {"timeline", "Timeline"},      {"machine", "Machine"},    {"calls", "Calls"},
        {"programs", "Programs"},      {"services", "Services"},  {"events", "Events and messages"},
        {"wia", "WIA registrations"},  {"debug", "Debugger output"}, {"registry", "Registry"},
        {"files", "Files"},            {"logs", "Logs"},          {"summary", "In short"}};
    for (const auto& [id, text] : links) out += "<a href=\"#" + std::string(id) + "\">" + text + "</a>";
    if (r.expectations_checked) out += "<a href=\"#expectations\">Expectations</a>";
    out += "</nav>\n</header>\n";
}

void TimelineSection(std::string& out, const Report& r) {
    out += "<section id=\"timeline\">\n<h2>Timeline</h2>\n";
    const TimelinePicture timeline = DrawTimeline(r);
    out += "<figure class=\"figure\">\n" + timeline.svg + "</figure>\n";
    out += "<p class=\"caption\">" + Esc(timeline.caption) + "</p>\n";
    out += "<p class=\"legend caption\">Calls by their answer:"
           "<span class=\"swatch ok\"></span>NO_ERROR"
           "<span class=\"swatch post\"></span>ERROR_DI_POSTPROCESSING_REQUIRED (call me again afterwards)"
           "<span class=\"swatch default\"></span>ERROR_DI_DO_DEFAULT"
           "<span class=\"swatch error\"></span>an error"
           "<span class=\"swatch none\"></span>no answer to give"
           "<span class=\"swatch forever\"></span>never returns<br>"
           "Programs and services:<span class=\"swatch program\"></span>a program runs"
           "<span class=\"swatch wait\"></span>the co-installer waits for it"
           "<span class=\"swatch running\"></span>running"
           "<span class=\"swatch pending\"></span>stop or start pending"
           "<span class=\"swatch stopped\"></span>stopped</p>\n";
}

void Machine(std::string& out, const Report& r) {
    Section(out, "machine", "The machine before the run");
    out += "<ul>\n";
    for (const std::string& line : r.machine) out += "<li>" + Ansi(line) + "</li>\n";
    out += "</ul>\n";
    if (!r.notes.empty()) {
        out += "<p>Notes on this machine:</p>\n<ul>\n";
        for (const std::string& note : r.notes) out += "<li>" + Ansi(note) + "</li>\n";
        out += "</ul>\n";
    }
}

void Calls(std::string& out, const Report& r, const TextOptions& options) {
    Section(out, "calls", "Calls made on the co-installer, and its answers");
    out += "<ol class=\"calls\">\n";
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const ReportStep& s = r.steps[i];
        std::string cls = !s.not_run.empty() ? "not-run" : IsCall(s) ? AnswerClass(s) : "library";
        out += "<li id=\"step-" + std::to_string(i + 1) + "\" class=\"" + cls + "\">\n<div class=\"step-title\">" +
               std::to_string(i + 1) + ". " + Ansi(s.description) + "</div>\n";
        if (!s.not_run.empty()) {
            out += "<div>not run: " + Ansi(s.not_run) + "</div>\n</li>\n";
            continue;
        }
        std::string why = words::WhyStep(s);
        if (!why.empty()) out += "<div class=\"why\">" + Esc(why) + "</div>\n";
        if (s.started_ms) {
            out += "<div class=\"caption\">at " + Ms(*s.started_ms) + " of virtual time";
            if (s.ended_ms && *s.ended_ms != *s.started_ms)
                out += ", returned at " + Ms(*s.ended_ms) + " (" + Ms(*s.ended_ms - *s.started_ms) + " later)";
            out += "</div>\n";
        }
        if (!s.waits_forever.empty()) out += "<div class=\"answer\">" + Esc(words::WaitsForever(s)) + "</div>\n";
        if (s.result) out += "<div>Answer: <span class=\"answer\">" + Esc(words::Answer(*s.result)) + "</span></div>\n";
        std::string params = words::ParamsChange(s);
        if (!params.empty()) out += "<div>Installation parameters changed: " + Esc(params) + "</div>\n";
        if (!s.log.empty()) {
            out += "<div>Logged:</div>\n<pre class=\"log\">";
            for (const StepLogLine& line : s.log)
                out += (line.file == "_coInst.log" ? "" : "[" + Ansi(line.file) + "] ") + Esc(words::LogLine(line.text)) +
                       "\n";
            out += "</pre>\n";
        }
        if (!s.not_modelled.empty()) {
            out += "<div>Calls this machine does not model yet, answered with a failure:";
            for (const std::string& call : s.not_modelled) out += " <code>" + Ansi(call) + "</code>";
            out += "</div>\n";
        }
        if (options.trace) {
            out += "<details><summary>Platform calls (" + std::to_string(s.trace.size()) + ")</summary>\n<pre>";
            for (const std::string& line : s.trace) out += Ansi(line) + "\n";
            out += "</pre></details>\n";
        }
        out += "</li>\n";
    }
    out += "</ol>\n";
}

void Programs(std::string& out, const Report& r) {
    Section(out, "programs", "Programs started");
    if (r.programs.empty()) {
        NoneLine(out);
    } else {
        out += "<p class=\"caption\">Each command line exactly as passed, between the quotes.</p>\n"
               "<table>\n<thead><tr><th>Step</th><th>Command line</th><th>Folder</th><th>How it was started</th>"
               "</tr></thead>\n<tbody>\n";
        for (const ProgramStarted& p : r.programs) {
            std::string how = words::ProgramStartedHow(p);
            out += "<tr><td>" + StepLink(p.step) + "</td><td class=\"mono\">\"" + Ansi(p.command_line) + "\"</td><td>" +
                   (p.directory.empty() ? std::string("<span class=\"none\">the caller's</span>")
                                        : "<span class=\"mono\">" + Ansi(p.directory) + "</span>") +
                   "</td><td>" + Esc(how) + "</td></tr>\n";
        }
        out += "</tbody></table>\n";
    }
    out += "<h3>Programs the co-installer waited for</h3>\n";
    if (r.waits.empty()) {
        NoneLine(out);
        return;
    }
    out += "<table>\n<thead><tr><th>Step</th><th>Waited for</th><th>Time limit</th><th>What happened</th></tr>"
           "</thead>\n<tbody>\n";
    for (const WaitReport& w : r.waits) {
        std::string limit = words::WaitLimit(w);
        if (limit.rfind(", ", 0) == 0) limit = limit.substr(2);
        out += "<tr><td>" + StepLink(w.step) + "</td><td class=\"mono\">\"" + Ansi(w.what) + "\"</td><td>" +
               (limit.empty() ? "<span class=\"none\">not seen on this machine</span>" : Esc(limit)) + "</td><td>" +
               Esc(words::WaitOutcomeText(w)) + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

void Services(std::string& out, const Report& r) {
    Section(out, "services", "Service state changes");
    if (r.service_changes.empty()) {
        NoneLine(out);
    } else {
        out += "<table>\n<thead><tr><th>Step</th><th>Service</th><th>New state</th><th>Virtual time</th></tr>"
               "</thead>\n<tbody>\n";
        for (const ServiceChange& c : r.service_changes)
            out += "<tr><td>" + StepLink(c.step) + "</td><td class=\"mono\">" + Ansi(c.service) + "</td><td>" +
                   Term(c.state) + "</td><td>" + (c.at_ms ? Ms(*c.at_ms) : std::string()) + "</td></tr>\n";
        out += "</tbody></table>\n";
    }
    if (r.services_at_end.empty()) return;
    out += "<p>At the end of the run, once pending changes have run their course:</p>\n<ul>\n";
    for (const ServiceAtEnd& s : r.services_at_end)
        out += "<li><span class=\"mono\">" + Ansi(s.service) + "</span>: " + Term(s.state) + "</li>\n";
    out += "</ul>\n";
}

void EventsAndMessages(std::string& out, const Report& r) {
    Section(out, "events", "Named events set");
    if (r.events.empty()) NoneLine(out);
    else {
        out += "<ul>\n";
        for (const EventSet& e : r.events)
            out += "<li>step " + StepLink(e.step) + ": <span class=\"mono\">" + Ansi(e.name) + "</span></li>\n";
        out += "</ul>\n";
    }
    out += "<h3>Window messages posted</h3>\n";
    if (r.messages.empty()) {
        NoneLine(out);
        return;
    }
    out += "<table>\n<thead><tr><th>Step</th><th>Window class</th><th>Message</th><th>wParam</th><th>lParam</th></tr>"
           "</thead>\n<tbody>\n";
    for (const MessagePosted& m : r.messages)
        out += "<tr><td>" + StepLink(m.step) + "</td><td class=\"mono\">" + Ansi(m.window_class) + "</td><td>" +
               Hex(m.message) + "</td><td>" + Hex(m.wparam) + "</td><td>" + Hex(m.lparam) + "</td></tr>\n";
    out += "</tbody></table>\n";
}

void WiaRegistrations(std::string& out, const Report& r) {
    Section(out, "wia", "Still-image event registrations with the WIA device manager (RegisterEventCallbackCLSID)");
    if (r.wia_registrations.empty()) {
        NoneLine(out);
        return;
    }
    out += "<table>\n<thead><tr><th>Step</th><th>Event</th><th>For</th><th>Handler</th><th>Answer</th></tr>"
           "</thead>\n<tbody>\n";
    for (const WiaRegistrationMade& w : r.wia_registrations)
        out += "<tr><td>" + StepLink(w.step) + "</td><td class=\"mono\">" + Esc(w.event) + "</td><td>" +
               Esc(words::WiaDevice(w)) + "</td><td>CLSID <span class=\"mono\">" + Esc(w.clsid) + "</span>, flags " +
               Hex(w.flags) + "<br>name \"" + Ansi(w.name) + "\", description \"" + Ansi(w.description) +
               "\", icon \"" + Ansi(w.icon) + "\"</td><td>" + Esc(words::WiaAnswer(w)) + "</td></tr>\n";
    out += "</tbody></table>\n";
}

void InfInstalls(std::string& out, const Report& r) {
    out += "<h3>INF section installations (SetupInstallFromInfSectionA)</h3>\n";
    if (r.inf_installs.empty()) {
        NoneLine(out);
        return;
    }
    out += "<ul>\n";
    for (const InfSectionInstalled& i : r.inf_installs)
        out += "<li>step " + StepLink(i.step) + ": section [" + Ansi(i.section) + "] of <span class=\"mono\">" +
               Ansi(i.inf_file) + "</span>, flags " + Hex(i.flags) +
               (i.device.empty() ? std::string(", no device") : ", for device " + Ansi(i.device)) + "</li>\n";
    out += "</ul>\n";
}

void DebugOutputs(std::string& out, const Report& r) {
    Section(out, "debug", "Debugger output (OutputDebugStringA)");
    if (r.debug_output.empty()) {
        NoneLine(out);
        return;
    }
    out += "<ul>\n";
    for (const DebugOutput& d : r.debug_output)
        out += "<li>step " + StepLink(d.step) + ": <span class=\"mono\">\"" + Esc(words::DebugText(d.text)) +
               "\"</span></li>\n";
    out += "</ul>\n";
}

uint64_t LittleEndian(const std::vector<uint8_t>& data, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(data[i]) << (8 * i);
    return v;
}

// A value's data the way the registry editor's Data column shows it, with strings quoted.
std::string RegistryData(const RegistryValue& v) {
    auto text = [](const std::vector<uint8_t>& data, size_t from, size_t to) {
        return "\"" + Ansi(std::string(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(to))) +
               "\"";
    };
    if (v.type == kRegSz || v.type == kRegExpandSz) {
        size_t end = v.data.size();
        if (end && v.data[end - 1] == 0) --end;
        std::string shown = text(v.data, 0, end);
        if (v.data.empty() || v.data.back() != 0) shown += " <span class=\"none\">(no terminating NUL)</span>";
        return shown;
    }
    if (v.type == kRegMultiSz) {
        std::string shown;
        size_t start = 0;
        while (start < v.data.size()) {
            size_t end = start;
            while (end < v.data.size() && v.data[end] != 0) ++end;
            if (end == start) break;
            shown += (shown.empty() ? "" : "<br>") + text(v.data, start, end);
            start = end + 1;
        }
        return shown.empty() ? "<span class=\"none\">(empty list)</span>" : shown;
    }
    char buf[64];
    if ((v.type == kRegDword || v.type == kRegDwordBigEndian) && v.data.size() == 4) {
        uint32_t n = static_cast<uint32_t>(LittleEndian(v.data, 4));
        if (v.type == kRegDwordBigEndian)
            n = (n >> 24) | ((n >> 8) & 0xFF00u) | ((n << 8) & 0xFF0000u) | (n << 24);
        std::snprintf(buf, sizeof buf, "0x%08x (%u)", n, n);
        return buf;
    }
    if (v.type == kRegQword && v.data.size() == 8) {
        unsigned long long n = LittleEndian(v.data, 8);
        std::snprintf(buf, sizeof buf, "0x%016llx (%llu)", n, n);
        return buf;
    }
    if (v.data.empty()) return "<span class=\"none\">(zero-length binary value)</span>";
    std::string hex;
    for (uint8_t b : v.data) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += (hex.empty() ? "" : " ") + std::string(buf);
    }
    return hex;
}

std::string ValueName(const std::string& name) {
    return name.empty() ? "<span class=\"none\">(Default)</span>" : Ansi(name);
}

void ValueRow(std::string& out, const std::string& name, const RegistryValue* before, const RegistryValue* after) {
    const RegistryValue* any = after ? after : before;
    std::string type = RegTypeName(any->type);
    if (before && after && before->type != after->type)
        type = RegTypeName(before->type) + " \xE2\x86\x92 " + RegTypeName(after->type);
    out += "<tr><td class=\"mono\">" + ValueName(name) + "</td><td>" + Esc(type) + "</td>";
    out += before ? "<td class=\"mono before\">" + RegistryData(*before) + "</td>"
                  : std::string("<td class=\"none\">(not there)</td>");
    out += after ? "<td class=\"mono after\">" + RegistryData(*after) + "</td>"
                 : std::string("<td class=\"none\">(deleted)</td>");
    out += "</tr>\n";
}

void Registry(std::string& out, const Report& r) {
    Section(out, "registry", "Registry changes");
    if (r.registry.empty()) {
        NoneLine(out);
        return;
    }
    out += "<p class=\"caption\">Every key the run added, changed or deleted, with its values before and after the "
           "run. Keys are shown by their full path (a 32-bit program's view of HKEY_LOCAL_MACHINE\\SOFTWARE is "
           "the Wow6432Node key below it).</p>\n";
    out += "<table class=\"registry\">\n<colgroup><col class=\"name\"><col class=\"type\"><col><col></colgroup>\n"
           "<thead><tr><th>Value</th><th>Type</th><th>Before the run</th><th>After the run</th></tr></thead>\n";
    for (const KeyChange& key : r.registry.keys) {
        const char* what = key.kind == KeyChange::Kind::Added     ? "key added"
                           : key.kind == KeyChange::Kind::Removed ? "key deleted, with everything below it"
                                                                  : "values changed";
        out += "<tbody class=\"key\"><tr class=\"key\"><th colspan=\"4\">" + Ansi(key.path) + "<span class=\"what\">" +
               what + "</span></th></tr>\n";
        if (key.kind == KeyChange::Kind::Added) {
            if (key.values.empty()) out += "<tr><td colspan=\"4\" class=\"none\">no values</td></tr>\n";
            for (const RegistryValue& v : key.values) ValueRow(out, v.name, nullptr, &v);
        }
        if (key.kind == KeyChange::Kind::Changed)
            for (const ValueChange& c : key.changes)
                ValueRow(out, c.name, c.before ? &*c.before : nullptr, c.after ? &*c.after : nullptr);
        out += "</tbody>\n";
    }
    out += "</table>\n";
    out += "<details><summary>The same changes as a .reg file</summary>\n<pre>" +
           Ansi(FormatRegistryDiff(r.registry)) + "</pre></details>\n";
}

void Files(std::string& out, const Report& r) {
    Section(out, "files", "Files and folders changed in " + words::WatchedFoldersText());
    if (r.files.empty()) {
        NoneLine(out);
        return;
    }
    out += "<table>\n<thead><tr><th>What</th><th>Path</th><th>Size</th></tr></thead>\n<tbody>\n";
    for (const FileChange& f : r.files) {
        std::string size = f.size ? std::to_string(*f.size) + (*f.size == 1 ? " byte" : " bytes") : "";
        out += "<tr><td>" + Esc(words::FileChangeWhat(f)) + "</td><td class=\"mono\">" + Ansi(f.path) + "</td><td>" +
               size + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

void Logs(std::string& out, const Report& r) {
    Section(out, "logs", "Log files in the temporary folder: the lines the run added");
    if (r.logs.empty()) {
        NoneLine(out, "none written");
        return;
    }
    out += "<p class=\"caption\">The CR LF line ends are not shown; a CR of its own shows as &lt;CR&gt;.</p>\n";
    for (const LogFileReport& log : r.logs) {
        out += "<h3>" + Ansi(log.name) + (log.path.empty() ? "" : " <span class=\"mono\">(" + Ansi(log.path) + ")</span>") +
               ", " + Esc(words::LogFileWritten(log)) + "</h3>\n<pre class=\"log\">";
        bool complete = true;
        for (const std::string& line : SplitLogLines(log.new_bytes, &complete)) out += Esc(words::LogLine(line)) + "\n";
        out += "</pre>\n";
        if (!complete) out += "<p class=\"caption\">The file ends without a line end.</p>\n";
    }
}

void Summary(std::string& out, const Report& r) {
    Section(out, "summary", "In short");
    for (const std::string& sentence : words::Summary(r)) out += "<p>" + Esc(sentence) + "</p>\n";
}

void ExpectationsOutcome(std::string& out, const Report& r) {
    if (!r.expectations_checked) return;
    Section(out, "expectations", "Expectations of the scenario");
    if (r.unmet_expectations.empty()) {
        out += "<p class=\"outcome met\">all met</p>\n";
        return;
    }
    out += "<ul>\n";
    for (const std::string& u : r.unmet_expectations) out += "<li class=\"outcome unmet\">UNMET " + Ansi(u) + "</li>\n";
    out += "</ul>\n";
}

void OpenHandles(std::string& out, const Report& r) {
    if (r.open_handles.empty()) return;
    Section(out, "handles", "Handles left open at the end");
    out += "<ul>\n";
    for (const std::string& h : r.open_handles) out += "<li class=\"mono\">" + Ansi(h) + "</li>\n";
    out += "</ul>\n";
}

}  // namespace

std::string FormatReportHtml(const Report& r, const TextOptions& options) {
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Scenario \xE2\x80\x9C" + Ansi(r.scenario_name) +
                      "\xE2\x80\x9D \xE2\x80\x94 TarvixQ920kCO.dll</title>\n<style>" + kStyle + "</style>\n"
                      "</head>\n<body>\n";
    Header(out, r);
    TimelineSection(out, r);
    Machine(out, r);
    Calls(out, r, options);
    Programs(out, r);
    Services(out, r);
    EventsAndMessages(out, r);
    WiaRegistrations(out, r);
    InfInstalls(out, r);
    DebugOutputs(out, r);
    Registry(out, r);
    Files(out, r);
    Logs(out, r);
    Summary(out, r);
    ExpectationsOutcome(out, r);
    OpenHandles(out, r);
    out += "</section>\n</body>\n</html>\n";
    return ExplainNames(out);
}

}  // namespace tvx
