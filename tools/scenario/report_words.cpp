// The report's explanations in plain words, shared by its text and HTML forms. Portable.
#include "tools/scenario/report_words.h"

#include "tools/scenario/names.h"
#include "tools/scenario/text_codec.h"

namespace tvx::words {
namespace {

std::string Count(size_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "a, b and c".
std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return out;
}

bool IsCall(const ReportStep& s) { return s.kind == StepKind::Dif || s.kind == StepKind::InstallPellionSoftware; }

// An answer a co-installer gives when it goes on without a failure.
bool AnswersWithoutError(uint32_t result) {
    return result == 0 || result == kResultPostProcessingRequired || result == 0xE000020Eu;  // ERROR_DI_DO_DEFAULT
}

// "step 3 (DIF_INSTALLDEVICE)".
std::string StepAndCall(size_t index, const ReportStep& s) {
    std::string call = s.kind == StepKind::InstallPellionSoftware ? "InstallPellionSoftware" : DifName(s.dif_code);
    if (call.empty()) call = "DIF code " + Hex8(s.dif_code);
    return "step " + std::to_string(index + 1) + " (" + call;
}

// The program a command line starts, without its folder: "setup.exe".
std::string ProgramFile(const std::string& command_line) {
    std::string program = command_line;
    if (!program.empty() && program[0] == '"') {
        size_t end = program.find('"', 1);
        program = program.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    } else {
        // Unquoted, the program ends after ".exe" (its folder may hold spaces), else at a space.
        std::string lower = program;
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        size_t end = lower.find(".exe");
        end = end == std::string::npos ? program.find(' ') : end + 4;
        if (end != std::string::npos) program.resize(end);
    }
    size_t slash = program.rfind('\\');
    return AnsiToUtf8(slash == std::string::npos ? program : program.substr(slash + 1));
}

}  // namespace

std::string Introduction() {
    return "TarvixQ920kCO.dll is the scanner's device co-installer: Windows' device installer calls its entry "
           "TarvixScannerCoInstaller once for each step of installing or removing the scanner, named by a DIF "
           "code, and goes on according to the answer. Below: the machine, each call with its answer and the "
           "log lines it wrote, then everything the run changed on the machine.";
}

std::string WhyStep(const ReportStep& s) {
    switch (s.kind) {
        case StepKind::Dif: {
            if (s.post_processing)
                return "the post-processing call: the class installer and the other installers have run, and "
                       "InstallResult carries their result";
            std::string why = ExplainDif(s.dif_code);
            return why.empty() ? "a code this co-installer is not meant to act on" : why;
        }
        case StepKind::Load:
            return "the library's global object is built: it takes the Windows version and opens its log";
        case StepKind::Unload:
            return "the global object is destroyed: the log gets its end lines";
        case StepKind::InstallPellionSoftware:
            return "as `rundll32 TarvixQ920kCO.dll,InstallPellionSoftware " + AnsiToUtf8(s.command_line) +
                   "` calls it: the software-install decision for that model";
    }
    return "";
}

std::string Answer(uint32_t result) {
    std::string meaning = ExplainResult(result);
    return DescribeResult(result) + (meaning.empty() ? "" : ": " + meaning);
}

std::string WaitsForever(const ReportStep& s) {
    return "no answer: the co-installer waits forever for \"" + AnsiToUtf8(s.waits_forever) +
           "\", which never ends; the call stops here";
}

std::string ParamsChange(const ReportStep& s) {
    if (!s.params_before || !s.params_after || *s.params_before == *s.params_after) return "";
    const InstallParams& before = *s.params_before;
    const InstallParams& after = *s.params_after;
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

std::string LogLine(const std::string& line) {
    std::string shown;
    for (char c : line) shown += c == '\r' ? std::string("<CR>") : std::string(1, c);
    return AnsiToUtf8(shown);
}

std::string LogFileWritten(const LogFileReport& log) {
    return log.created ? "a new file" : log.rewritten ? "rewritten (cut back to its end)" : "appended to";
}

std::string ProgramStartedHow(const ProgramStarted& p) {
    std::string how;
    if (p.creation_flags) how += "creation flags " + DescribeCreationFlags(*p.creation_flags);
    if (p.startup_flags)
        how += std::string(how.empty() ? "" : ", ") + "start-up flags " + DescribeStartupFlags(*p.startup_flags);
    if (p.show_window) how += std::string(how.empty() ? "" : ", ") + "show state " + DescribeShowState(*p.show_window);
    return how;
}

std::string WaitLimit(const WaitReport& w) {
    if (!w.timeout_ms) return "";
    return *w.timeout_ms == 0xFFFFFFFFu ? ", without a time limit" : ", for at most " + std::to_string(*w.timeout_ms) + " ms";
}

std::string WaitOutcomeText(const WaitReport& w) {
    switch (w.outcome) {
        case WaitOutcome::Ended: {
            std::string out = "it ended";
            if (w.waited_ms) out += " after " + std::to_string(*w.waited_ms) + " ms of virtual time";
            return out + ", then the co-installer went on";
        }
        case WaitOutcome::TimedOut:
            return "the time ran out first";
        case WaitOutcome::Forever:
            return "it never ends, so the co-installer waits forever";
    }
    return "";
}

std::string WiaDevice(const WiaRegistrationMade& w) {
    return w.device_id ? "device " + AnsiToUtf8(*w.device_id) : std::string("every device (no device ID)");
}

std::string WiaAnswer(const WiaRegistrationMade& w) {
    return Hex8(w.result) + (w.result == 0 ? " (S_OK)" : " (failed)");
}

std::string DebugText(const std::string& text) {
    std::string shown;
    for (char c : text) shown += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return AnsiToUtf8(shown);
}

std::string WatchedFoldersText() {
    std::string watched;
    for (const std::string& folder : tvx::WatchedFolders()) watched += (watched.empty() ? "" : " and ") + folder;
    return watched;
}

std::string FileChangeWhat(const FileChange& f) {
    return std::string(FileChangeKindName(f.kind)) + (f.folder ? " folder" : " file");
}

std::vector<std::string> Summary(const Report& r) {
    size_t calls = 0;
    for (const ReportStep& s : r.steps)
        if (s.kind == StepKind::Dif || s.kind == StepKind::InstallPellionSoftware) ++calls;
    std::vector<std::string> out;
    out.push_back(Count(calls, "call", "calls") + " on the co-installer; it started " +
                  Count(r.programs.size(), "program", "programs") + " (waiting for " + std::to_string(r.waits.size()) +
                  "), set " + Count(r.events.size(), "named event", "named events") + ", posted " +
                  Count(r.messages.size(), "window message", "window messages") + ", changed the state of services " +
                  Count(r.service_changes.size(), "time", "times") + ", made " +
                  Count(r.wia_registrations.size(), "WIA event registration", "WIA event registrations") + ", wrote " +
                  Count(r.debug_output.size(), "text", "texts") + " to the debugger output, and changed " +
                  Count(r.registry.keys.size(), "registry key", "registry keys") + " and " +
                  Count(r.files.size(), "file or folder", "files and folders") + ".");
    for (const LogFileReport& log : r.logs)
        out.push_back("It wrote " + Count(SplitLogLines(log.new_bytes).size(), "line", "lines") + " to " +
                      AnsiToUtf8(log.name) + ".");
    return out;
}

bool OutcomeFailed(const Report& r) {
    for (const ReportStep& s : r.steps) {
        if (!IsCall(s) || !s.not_run.empty()) continue;
        if (!s.waits_forever.empty() || (s.result && !AnswersWithoutError(*s.result))) return true;
    }
    return r.expectations_checked && !r.unmet_expectations.empty();
}

std::string Outcome(const Report& r) {
    size_t ran = 0, clean = 0, not_run = 0;
    std::vector<std::string> errors, forever;
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const ReportStep& s = r.steps[i];
        if (!s.not_run.empty()) {
            ++not_run;
            continue;
        }
        if (!IsCall(s)) continue;
        ++ran;
        if (!s.waits_forever.empty()) {
            forever.push_back(StepAndCall(i, s) + ": it waits forever for " + ProgramFile(s.waits_forever) + ")");
        } else if (s.result && !AnswersWithoutError(*s.result)) {
            std::string name = ResultName(*s.result);
            // After the class installer, a co-installer passes on the installation's own failure.
            const bool passed_on = s.post_processing && *s.result == s.install_result;
            errors.push_back(StepAndCall(i, s) + ") with " + (name.empty() ? "the error " + Hex8(*s.result) : name) +
                             (passed_on ? " passed on from the class installer" : ""));
        } else {
            ++clean;
        }
    }

    std::string calls;
    if (ran == 0) {
        calls = "was not called";
    } else if (clean == ran) {
        calls = ran == 1   ? "answered its one call without error"
                : ran == 2 ? "answered both calls without error"
                           : "answered all " + std::to_string(ran) + " calls without error";
    } else {
        std::vector<std::string> answered;
        if (clean) answered.push_back(std::to_string(clean) + " of " + Count(ran, "call", "calls") + " without error");
        answered.insert(answered.end(), errors.begin(), errors.end());
        if (!answered.empty()) calls = "answered " + Join(answered);
        if (!forever.empty()) calls += std::string(calls.empty() ? "" : " and ") + "never returned from " + Join(forever);
    }

    size_t values = 0, added_empty = 0, deleted = 0;
    for (const KeyChange& key : r.registry.keys) {
        if (key.kind == KeyChange::Kind::Added) {
            values += key.values.size();
            added_empty += key.values.empty() ? 1 : 0;
        }
        if (key.kind == KeyChange::Kind::Changed) values += key.changes.size();
        if (key.kind == KeyChange::Kind::Removed) ++deleted;
    }
    std::vector<std::string> changes;
    if (values) changes.push_back("changed " + Count(values, "registry value", "registry values"));
    if (added_empty) changes.push_back("added " + Count(added_empty, "empty registry key", "empty registry keys"));
    if (deleted)
        changes.push_back("deleted " + Count(deleted, "registry key", "registry keys") + " with everything below " +
                          (deleted == 1 ? "it" : "them"));
    if (changes.empty()) changes.push_back("left the registry as it was");
    if (!r.files.empty()) changes.push_back("changed " + Count(r.files.size(), "file or folder", "files and folders"));

    std::vector<std::string> did;
    did.push_back(r.programs.empty() ? "started no program" : "started " + Count(r.programs.size(), "program", "programs"));
    did.insert(did.end(), changes.begin(), changes.end());

    std::string out = "The co-installer " + calls + (errors.empty() && forever.empty() ? ", " : "; it ") + Join(did);
    if (not_run) out += "; " + Count(not_run, "later step", "later steps") + " did not run";
    if (r.expectations_checked)
        out += r.unmet_expectations.empty()
                   ? "; every expectation was met"
                   : "; " + Count(r.unmet_expectations.size(), "expectation was", "expectations were") + " not met";
    if (!r.open_handles.empty())
        out += "; " + Count(r.open_handles.size(), "handle was", "handles were") + " left open";
    return out + ".";
}

}  // namespace tvx::words
