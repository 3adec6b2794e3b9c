// The report's explanations in plain words, shared by its text and HTML forms. Portable.
#include "tools/scenario/report_words.h"

#include "tools/scenario/names.h"
#include "tools/scenario/text_codec.h"

namespace tvx::words {
namespace {

std::string Count(size_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
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

}  // namespace tvx::words
