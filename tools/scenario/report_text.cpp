// The report for people: what the machine was, each call and its answer, and what changed.
// Portable.
#include <cstdio>

#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/report_words.h"
#include "tools/scenario/text_codec.h"

namespace tvx {
namespace {

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

// A paragraph broken into lines of at most `width` characters after the indent.
std::string Wrap(const std::string& text, const std::string& indent, size_t width) {
    std::string out, line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty()) out += indent + line + "\n";
    return out;
}

void Section(std::string& out, const std::string& title) { out += "\n" + title + "\n"; }

void Steps(std::string& out, const Report& r, const TextOptions& options) {
    Section(out, "Calls made on the co-installer, and its answers");
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const ReportStep& s = r.steps[i];
        std::string number = std::to_string(i + 1) + ". ";
        std::string indent(5 + number.size() - 3, ' ');
        out += "  " + number + s.description + "\n";
        if (!s.not_run.empty()) {
            out += indent + "not run: " + AnsiToUtf8(s.not_run) + "\n";
            continue;
        }
        std::string why = words::WhyStep(s);
        if (!why.empty()) out += indent + "(" + why + ")\n";
        if (!s.waits_forever.empty()) out += indent + "=> " + words::WaitsForever(s) + "\n";
        if (s.result) out += indent + "=> " + words::Answer(*s.result) + "\n";
        std::string params = words::ParamsChange(s);
        if (!params.empty()) out += indent + "installation parameters changed: " + params + "\n";
        if (!s.log.empty()) {
            out += indent + "logged:\n";
            for (const StepLogLine& line : s.log)
                out += indent + "  | " + (line.file == "_coInst.log" ? "" : "[" + AnsiToUtf8(line.file) + "] ") +
                       words::LogLine(line.text) + "\n";
        }
        if (!s.not_modelled.empty()) {
            out += indent + "calls this machine does not model yet, answered with a failure:";
            for (const std::string& call : s.not_modelled) out += " " + call;
            out += "\n";
        }
        if (options.trace) {
            out += indent + "platform calls:" + (s.trace.empty() ? " none" : "") + "\n";
            for (const std::string& line : s.trace) out += indent + "  " + AnsiToUtf8(line) + "\n";
        }
    }
}

void Programs(std::string& out, const Report& r) {
    Section(out, "Programs started");
    if (r.programs.empty()) out += "  none\n";
    else out += "  (each command line exactly as passed, between the quotes)\n";
    for (const ProgramStarted& p : r.programs) {
        out += "  step " + std::to_string(p.step) + ": \"" + AnsiToUtf8(p.command_line) + "\"\n      in folder " +
               AnsiToUtf8(p.directory.empty() ? std::string("(the caller's)") : p.directory) + "\n";
        std::string how = words::ProgramStartedHow(p);
        if (!how.empty()) out += "      " + how + "\n";
    }
}

void Waits(std::string& out, const Report& r) {
    Section(out, "Programs the co-installer waited for");
    if (r.waits.empty()) out += "  none\n";
    for (const WaitReport& w : r.waits) {
        out += "  step " + std::to_string(w.step) + ": \"" + AnsiToUtf8(w.what) + "\"" + words::WaitLimit(w) + ": " +
               words::WaitOutcomeText(w) + "\n";
    }
}

void Services(std::string& out, const Report& r) {
    Section(out, "Service state changes");
    if (r.service_changes.empty()) out += "  none\n";
    for (const ServiceChange& c : r.service_changes) {
        out += "  step " + std::to_string(c.step) + ": " + AnsiToUtf8(c.service) + " " + c.state;
        if (c.at_ms) out += " (at " + std::to_string(*c.at_ms) + " ms of virtual time)";
        out += "\n";
    }
    if (r.services_at_end.empty()) return;
    out += "  at the end of the run, once pending changes have run their course:\n";
    for (const ServiceAtEnd& s : r.services_at_end) out += "    " + AnsiToUtf8(s.service) + ": " + s.state + "\n";
}

void Events(std::string& out, const Report& r) {
    Section(out, "Named events set");
    if (r.events.empty()) out += "  none\n";
    for (const EventSet& e : r.events) out += "  step " + std::to_string(e.step) + ": " + AnsiToUtf8(e.name) + "\n";
}

void Messages(std::string& out, const Report& r) {
    Section(out, "Window messages posted");
    if (r.messages.empty()) out += "  none\n";
    for (const MessagePosted& m : r.messages)
        out += "  step " + std::to_string(m.step) + ": message " + Hex(m.message) + " (wParam " + Hex(m.wparam) +
               ", lParam " + Hex(m.lparam) + ") to the window of class " + AnsiToUtf8(m.window_class) + "\n";
}

void WiaRegistrations(std::string& out, const Report& r) {
    Section(out, "Still-image event registrations with the WIA device manager (RegisterEventCallbackCLSID)");
    if (r.wia_registrations.empty()) out += "  none\n";
    for (const WiaRegistrationMade& w : r.wia_registrations) {
        out += "  step " + std::to_string(w.step) + ": event " + w.event + " of " + words::WiaDevice(w) + ", answered " +
               words::WiaAnswer(w) + "\n";
        out += "    handler CLSID " + w.clsid + ", flags " + Hex(w.flags) + "\n";
        out += "    name \"" + AnsiToUtf8(w.name) + "\", description \"" + AnsiToUtf8(w.description) + "\", icon \"" +
               AnsiToUtf8(w.icon) + "\"\n";
    }
}

void InfInstalls(std::string& out, const Report& r) {
    Section(out, "INF section installations (SetupInstallFromInfSectionA)");
    if (r.inf_installs.empty()) out += "  none\n";
    for (const InfSectionInstalled& i : r.inf_installs)
        out += "  step " + std::to_string(i.step) + ": section [" + AnsiToUtf8(i.section) + "] of " +
               AnsiToUtf8(i.inf_file) + ", flags " + Hex(i.flags) +
               (i.device.empty() ? std::string(", no device") : ", for device " + AnsiToUtf8(i.device)) + "\n";
}

void Registry(std::string& out, const Report& r) {
    Section(out, "Registry changes");
    if (r.registry.empty()) {
        out += "  none\n";
        return;
    }
    out += "  (in .reg form: applied to the registry as it was before the run, this gives the registry after it)\n";
    std::string text = FormatRegistryDiff(r.registry);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        out += line.empty() ? "\n" : "  " + AnsiToUtf8(line) + "\n";
        start = end + 1;
    }
}

void DebugOutputs(std::string& out, const Report& r) {
    Section(out, "Debugger output (OutputDebugStringA)");
    if (r.debug_output.empty()) out += "  none\n";
    for (const DebugOutput& d : r.debug_output)
        out += "  step " + std::to_string(d.step) + ": \"" + words::DebugText(d.text) + "\"\n";
}

void Files(std::string& out, const Report& r) {
    Section(out, "Files and folders changed in " + words::WatchedFoldersText());
    if (r.files.empty()) out += "  none\n";
    for (const FileChange& f : r.files) {
        out += "  " + words::FileChangeWhat(f) + " " + AnsiToUtf8(f.path);
        if (f.size) out += " (" + std::to_string(*f.size) + (*f.size == 1 ? " byte)" : " bytes)");
        out += "\n";
    }
}

void Logs(std::string& out, const Report& r) {
    Section(out, "Log files in the temporary folder: the lines the run added");
    if (r.logs.empty()) {
        out += "  none written\n";
        return;
    }
    out += "  (each line after \"| \"; the CR LF line ends are not shown, a CR of its own shows as <CR>)\n";
    for (const LogFileReport& log : r.logs) {
        out += "  " + AnsiToUtf8(log.name) + (log.path.empty() ? "" : " (" + AnsiToUtf8(log.path) + ")") + ", " +
               words::LogFileWritten(log) + ":\n";
        bool complete = true;
        for (const std::string& line : SplitLogLines(log.new_bytes, &complete))
            out += "    | " + words::LogLine(line) + "\n";
        if (!complete) out += "    (the file ends without a line end)\n";
    }
}

void Summary(std::string& out, const Report& r) {
    Section(out, "In short");
    for (const std::string& sentence : words::Summary(r)) out += "  " + sentence + "\n";
}

}  // namespace

std::string FormatNetChange(const Report& r) {
    std::string out = "Net change of scenario \"" + AnsiToUtf8(r.scenario_name) + "\"";
    if (!r.machine_kind.empty()) out += " on " + (r.machine_kind == "simulated machine" ? "the " + r.machine_kind : r.machine_kind);
    out += ", from the start of the run to its end\n";
    Registry(out, r);
    Files(out, r);
    return out;
}

std::string FormatReportText(const Report& r, const TextOptions& options) {
    std::string out = "Scenario \"" + AnsiToUtf8(r.scenario_name) + "\"";
    if (!r.scenario_file.empty()) out += " (" + r.scenario_file + ")";
    if (!r.machine_kind.empty())
        out += ", run on " + (r.machine_kind == "simulated machine" ? "the " + r.machine_kind : r.machine_kind);
    out += "\n";
    if (!r.description.empty()) {
        size_t start = 0;
        while (start < r.description.size()) {
            size_t end = r.description.find('\n', start);
            if (end == std::string::npos) end = r.description.size();
            out += "  " + AnsiToUtf8(r.description.substr(start, end - start)) + "\n";
            start = end + 1;
        }
    }
    out += "\n" + Wrap("(" + words::Introduction() + ")", "  ", 98);
    Section(out, "The machine before the run");
    for (const std::string& line : r.machine) out += "  " + AnsiToUtf8(line) + "\n";
    if (!r.notes.empty()) {
        out += "  Notes on this machine:\n";
        for (const std::string& note : r.notes) out += "    " + AnsiToUtf8(note) + "\n";
    }
    Steps(out, r, options);
    Programs(out, r);
    Waits(out, r);
    Events(out, r);
    Messages(out, r);
    Services(out, r);
    WiaRegistrations(out, r);
    InfInstalls(out, r);
    DebugOutputs(out, r);
    Registry(out, r);
    Files(out, r);
    Logs(out, r);
    Summary(out, r);
    if (r.expectations_checked) {
        Section(out, "Expectations of the scenario");
        if (r.unmet_expectations.empty()) out += "  all met\n";
        for (const std::string& u : r.unmet_expectations) out += "  UNMET " + AnsiToUtf8(u) + "\n";
    }
    if (!r.open_handles.empty()) {
        Section(out, "Handles left open at the end");
        for (const std::string& h : r.open_handles) out += "  " + AnsiToUtf8(h) + "\n";
    }
    return out;
}

}  // namespace tvx
