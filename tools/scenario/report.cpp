// The report model: its start from a scenario, log lines, and the normalised form for comparing
// two machines. Portable.
#include "tools/scenario/report.h"

#include <algorithm>
#include <cctype>

#include "platform/text/guid.h"
#include "platform/text/names.h"

namespace tvx {

Report StartReport(const Scenario& scenario, const std::string& machine_kind) {
    Report r;
    r.machine_kind = machine_kind;
    r.scenario_name = scenario.name;
    r.scenario_file = scenario.file.generic_string();
    r.description = scenario.description;
    r.machine = DescribeMachine(scenario);
    for (const Step& step : scenario.steps) {
        ReportStep s;
        s.kind = step.kind;
        s.description = DescribeStep(scenario, step);
        s.line = step.implicit ? 0 : step.line;
        if (step.kind == StepKind::Dif) {
            s.dif_code = step.dif_code;
            s.post_processing = step.post_processing;
            s.install_result = step.install_result;
            s.device = scenario.machine.devices[step.device].instance_id;
        }
        s.command_line = step.command_line;
        r.steps.push_back(std::move(s));
    }
    return r;
}

std::vector<LogFileReport> LogChanges(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after, const std::string& folder) {
    std::vector<LogFileReport> logs;
    for (const auto& [name, bytes] : after) {
        LogFileReport log;
        log.name = name;
        log.path = folder + name;
        auto old = before.find(name);
        if (old == before.end()) {
            log.created = true;
            log.new_bytes = bytes;
        } else if (bytes == old->second) {
            continue;
        } else if (bytes.compare(0, old->second.size(), old->second) == 0) {
            log.new_bytes = bytes.substr(old->second.size());
        } else {
            log.rewritten = true;
            log.new_bytes = bytes;
        }
        logs.push_back(std::move(log));
    }
    return logs;
}

std::vector<std::string> SplitLogLines(const std::string& bytes, bool* complete) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            if (complete) *complete = false;
            return lines;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    if (complete) *complete = true;
    return lines;
}

namespace {

bool Digits(const std::string& s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[at + i]))) return false;
    return true;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string MaskLogTimestamps(const std::string& text) {
    // "HH:MM:SS\tMM/DD/YY": the log's timestamp line.
    std::string out = text;
    for (size_t i = 0; i + 17 <= out.size(); ++i) {
        if (Digits(out, i, 2) && out[i + 2] == ':' && Digits(out, i + 3, 2) && out[i + 5] == ':' &&
            Digits(out, i + 6, 2) && out[i + 8] == '\t' && Digits(out, i + 9, 2) && out[i + 11] == '/' &&
            Digits(out, i + 12, 2) && out[i + 14] == '/' && Digits(out, i + 15, 2)) {
            out.replace(i, 17, "hh:mm:ss\tmm/dd/yy");
            i += 16;
        }
    }
    return out;
}

// The log lines that print a handle value, up to the value's hex digits.
const char* const kHandleLogPrefixes[] = {"CreateEvent returned 0x"};

std::string MaskLogHandles(const std::string& text) {
    std::string out = text;
    for (const char* prefix : kHandleLogPrefixes) {
        const std::string p = prefix;
        for (size_t at = out.find(p); at != std::string::npos; at = out.find(p, at + 1)) {
            size_t start = at + p.size();
            size_t end = start;
            while (end < out.size() && IsHex(out[end])) ++end;
            out.replace(start, end - start, "<handle>");
        }
    }
    return out;
}

// A trace prints integers below 0x10000 in decimal, so a shorter hex number is a handle; a hex
// number of more than eight digits is a pointer. Both differ between runs and machines.
std::string MaskHandleValues(const std::string& line) {
    std::string out;
    for (size_t i = 0; i < line.size();) {
        bool starts = line.compare(i, 2, "0x") == 0 && i + 2 < line.size() && IsHex(line[i + 2]) &&
                      (i == 0 || !std::isalnum(static_cast<unsigned char>(line[i - 1])));
        if (!starts) {
            out += line[i++];
            continue;
        }
        size_t end = i + 2;
        while (end < line.size() && IsHex(line[end])) ++end;
        std::string digits = line.substr(i + 2, end - i - 2);
        size_t first = digits.find_first_not_of('0');
        size_t significant = first == std::string::npos ? 0 : digits.size() - first;
        bool handle = significant > 8 || (significant > 0 && significant <= 4);
        out += handle ? "0x<handle>" : line.substr(i, end - i);
        i = end;
    }
    return out;
}

// A key path with every braced GUID in it in upper case: Wine's prefix names the device class
// keys after their GUIDs in lower case, Windows in upper case; key names compare without regard
// to case on both.
static std::string UpperCaseGuids(std::string path) {
    for (size_t open = path.find('{'); open != std::string::npos; open = path.find('{', open + 1)) {
        if (open + 38 > path.size() || path[open + 37] != '}') continue;
        if (!plat::text::IsGuidText(std::string_view(path).substr(open, 38))) continue;
        for (size_t i = open; i < open + 38; ++i)
            path[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[i])));
    }
    return path;
}

Report NormaliseReport(Report report) {
    report.machine_kind.clear();
    auto slash = report.scenario_file.find_last_of("/\\");
    if (slash != std::string::npos) report.scenario_file = report.scenario_file.substr(slash + 1);
    for (ReportStep& step : report.steps) {
        for (std::string& line : step.trace) line = MaskHandleValues(line);
        for (StepLogLine& line : step.log) line.text = MaskLogHandles(MaskLogTimestamps(line.text));
        step.not_modelled.clear();
        step.started_ms.reset();
        step.ended_ms.reset();
    }
    for (ProgramStarted& program : report.programs) {
        program.started_ms.reset();
        program.ends_ms.reset();
    }
    for (LogFileReport& log : report.logs) {
        log.path.clear();
        log.new_bytes = MaskLogHandles(MaskLogTimestamps(log.new_bytes));
    }
    for (FileChange& file : report.files) {
        const std::string& path = file.path;
        if (path.size() >= 4 && plat::text::EqualNames(std::string_view(path).substr(path.size() - 4), ".log"))
            file.size.reset();
    }
    // Windows lists values in creation order and Wine by name; compare them by name.
    auto by_name = [](const auto& a, const auto& b) { return plat::text::CompareNames(a.name, b.name) < 0; };
    for (KeyChange& key : report.registry.keys) {
        key.path = UpperCaseGuids(key.path);
        std::stable_sort(key.values.begin(), key.values.end(), by_name);
        std::stable_sort(key.changes.begin(), key.changes.end(), by_name);
    }
    for (WaitReport& wait : report.waits) {
        wait.timeout_ms.reset();
        wait.waited_ms.reset();
        wait.started_ms.reset();
    }
    for (ServiceChange& change : report.service_changes) change.at_ms.reset();
    // Wine's own SetupAPI carries out an INF section installation instead of recording it.
    report.inf_installs.clear();
    report.open_handles.clear();
    report.notes.clear();
    report.expectations_checked = false;
    report.unmet_expectations.clear();
    return report;
}

}  // namespace tvx
