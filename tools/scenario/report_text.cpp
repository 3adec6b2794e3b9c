// The report for people: what the machine was, each call and its answer, and what changed.
// Portable.
#include <cstdio>

#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/text_codec.h"

namespace tvx {
namespace {

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string ParamsChange(const InstallParams& before, const InstallParams& after) {
    std::string out;
    if (before.flags != after.flags)
        out += "Flags " + DescribeInstallFlags(before.flags) + " -> " + DescribeInstallFlags(after.flags);
    if (before.flags_ex != after.flags_ex) {
        if (!out.empty()) out += "; ";
        out += "FlagsEx " + DescribeInstallFlagsEx(before.flags_ex) + " -> " + DescribeInstallFlagsEx(after.flags_ex);
        if (!(before.flags_ex & 0x8) && (after.flags_ex & 0x8))
            out += " (from Windows Vista on, Windows sends DIF_FINISHINSTALL_ACTION later)";
    }
    return out;
}

// A log line as the report shows it: a CR of its own as <CR>, the rest as UTF-8.
std::string ShowLogLine(const std::string& line) {
    std::string shown;
    for (char c : line) shown += c == '\r' ? std::string("<CR>") : std::string(1, c);
    return AnsiToUtf8(shown);
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
        if (s.kind == StepKind::Dif) {
            std::string why = ExplainDif(s.dif_code);
            if (why.empty()) why = "a code this co-installer is not meant to act on";
            if (s.post_processing)
                why = "the post-processing call: the class installer and the other installers have run, and "
                      "InstallResult carries their result";
            out += indent + "(" + why + ")\n";
        }
        if (s.kind == StepKind::Load)
            out += indent + "(the library's global object is built: it takes the Windows version and opens its log)\n";
        if (s.kind == StepKind::Unload) out += indent + "(the global object is destroyed: the log gets its end lines)\n";
        if (s.kind == StepKind::InstallPellionSoftware)
            out += indent + "(as `rundll32 TarvixQ920kCO.dll,InstallPellionSoftware " + s.command_line +
                   "` calls it: the software-install decision for that model)\n";
        if (!s.waits_forever.empty())
            out += indent + "=> no answer: the co-installer waits forever for \"" + AnsiToUtf8(s.waits_forever) +
                   "\", which never ends; the call stops here\n";
        if (s.result) {
            std::string meaning = ExplainResult(*s.result);
            out += indent + "=> " + DescribeResult(*s.result) + (meaning.empty() ? "" : ": " + meaning) + "\n";
        }
        if (s.params_before && s.params_after && !(*s.params_before == *s.params_after))
            out += indent + "installation parameters changed: " + ParamsChange(*s.params_before, *s.params_after) + "\n";
        if (!s.log.empty()) {
            out += indent + "logged:\n";
            for (const StepLogLine& line : s.log)
                out += indent + "  | " + (line.file == "_coInst.log" ? "" : "[" + AnsiToUtf8(line.file) + "] ") +
                       ShowLogLine(line.text) + "\n";
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
        std::string how;
        if (p.creation_flags) how += "creation flags " + DescribeCreationFlags(*p.creation_flags);
        if (p.startup_flags) how += std::string(how.empty() ? "" : ", ") + "start-up flags " +
                                    DescribeStartupFlags(*p.startup_flags);
        if (p.show_window) how += std::string(how.empty() ? "" : ", ") + "show state " + DescribeShowState(*p.show_window);
        if (!how.empty()) out += "      " + how + "\n";
    }
}

void Waits(std::string& out, const Report& r) {
    Section(out, "Programs the co-installer waited for");
    if (r.waits.empty()) out += "  none\n";
    for (const WaitReport& w : r.waits) {
        out += "  step " + std::to_string(w.step) + ": \"" + AnsiToUtf8(w.what) + "\"";
        if (w.timeout_ms)
            out += *w.timeout_ms == 0xFFFFFFFFu ? ", without a time limit"
                                                : ", for at most " + std::to_string(*w.timeout_ms) + " ms";
        switch (w.outcome) {
            case WaitOutcome::Ended:
                out += ": it ended";
                if (w.waited_ms) out += " after " + std::to_string(*w.waited_ms) + " ms of virtual time";
                out += ", then the co-installer went on";
                break;
            case WaitOutcome::TimedOut:
                out += ": the time ran out first";
                break;
            case WaitOutcome::Forever:
                out += ": it never ends, so the co-installer waits forever";
                break;
        }
        out += "\n";
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
        out += "  step " + std::to_string(w.step) + ": event " + w.event + " of " +
               (w.device_id ? "device " + AnsiToUtf8(*w.device_id) : std::string("every device (no device ID)")) +
               ", answered " + Hex8(w.result) + (w.result == 0 ? " (S_OK)" : " (failed)") + "\n";
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
    for (const DebugOutput& d : r.debug_output) {
        std::string text = d.text;
        std::string shown;
        for (char c : text) shown += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
        out += "  step " + std::to_string(d.step) + ": \"" + AnsiToUtf8(shown) + "\"\n";
    }
}

void Files(std::string& out, const Report& r) {
    std::string watched;
    for (const std::string& folder : WatchedFolders()) watched += (watched.empty() ? "" : " and ") + folder;
    Section(out, "Files and folders changed in " + watched);
    if (r.files.empty()) out += "  none\n";
    for (const FileChange& f : r.files) {
        out += "  " + std::string(FileChangeKindName(f.kind)) + (f.folder ? " folder " : " file ") + AnsiToUtf8(f.path);
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
        std::string what = log.created ? "a new file" : log.rewritten ? "rewritten (cut back to its end)" : "appended to";
        out += "  " + AnsiToUtf8(log.name) + (log.path.empty() ? "" : " (" + AnsiToUtf8(log.path) + ")") + ", " + what +
               ":\n";
        bool complete = true;
        for (const std::string& line : SplitLogLines(log.new_bytes, &complete)) out += "    | " + ShowLogLine(line) + "\n";
        if (!complete) out += "    (the file ends without a line end)\n";
    }
}

std::string Count(size_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void Summary(std::string& out, const Report& r) {
    size_t calls = 0, answered = 0;
    for (const ReportStep& s : r.steps) {
        if (s.kind == StepKind::Dif || s.kind == StepKind::InstallPellionSoftware) ++calls;
        if (s.result) ++answered;
    }
    Section(out, "In short");
    out += "  " + Count(calls, "call", "calls") + " on the co-installer; it started " +
           Count(r.programs.size(), "program", "programs") + " (waiting for " + std::to_string(r.waits.size()) +
           "), set " +
           Count(r.events.size(), "named event", "named events") + ", posted " +
           Count(r.messages.size(), "window message", "window messages") + ", changed the state of services " +
           Count(r.service_changes.size(), "time", "times") + ", made " +
           Count(r.wia_registrations.size(), "WIA event registration", "WIA event registrations") + ", wrote " +
           Count(r.debug_output.size(), "text", "texts") + " to the debugger output, and changed " +
           Count(r.registry.keys.size(), "registry key", "registry keys") + " and " +
           Count(r.files.size(), "file or folder", "files and folders") + ".\n";
    for (const LogFileReport& log : r.logs)
        out += "  It wrote " + Count(SplitLogLines(log.new_bytes).size(), "line", "lines") + " to " +
               AnsiToUtf8(log.name) + ".\n";
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
    out += "\n  (TarvixQ920kCO.dll is the scanner's device co-installer: Windows' device installer calls its entry\n"
           "  TarvixScannerCoInstaller once for each step of installing or removing the scanner, named by a DIF\n"
           "  code, and goes on according to the answer. Below: the machine, each call with its answer and the\n"
           "  log lines it wrote, then everything the run changed on the machine.)\n";
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
