// What one run of a scenario did to a machine, and its text and JSON forms. The simulated machine
// (tvx-sim) and the Wine harness each fill a Report their own way and print it with the same
// formatters, so the two machines' reports can be compared after NormaliseReport. Portable.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/scenario.h"

namespace tvx {

struct InstallParams {
    uint32_t flags = 0;
    uint32_t flags_ex = 0;
    friend bool operator==(const InstallParams&, const InstallParams&) = default;
};

// A line a step added to a log file (split as SplitLogLines splits).
struct StepLogLine {
    std::string file;  // "_coInst.log"
    std::string text;
};

struct ReportStep {
    StepKind kind = StepKind::Load;
    std::string description;  // DescribeStep
    int line = 0;             // in the scenario file; 0 when added by the reader
    uint32_t dif_code = 0;
    bool post_processing = false;
    uint32_t install_result = 0;
    std::string device;        // instance id, DIF calls
    std::string command_line;  // InstallPellionSoftware
    std::optional<uint32_t> result;  // DIF calls
    // The device's installation parameters around a DIF call.
    std::optional<InstallParams> params_before;
    std::optional<InstallParams> params_after;
    std::vector<StepLogLine> log;           // what the step added to the log files
    std::vector<std::string> trace;         // platform calls made during the step, when traced
    std::vector<std::string> not_modelled;  // calls the machine could not answer during the step
    // The command line of the program this call waits for without end: the call never returns.
    std::string waits_forever;
    // Why the step did not run (an earlier call of its process never returned); empty when it ran.
    std::string not_run;
    // When the call began and returned on the machine's virtual clock (the simulated machine; Wine
    // has none): ms since the machine started. A call that never returns has a beginning only.
    std::optional<uint64_t> started_ms;
    std::optional<uint64_t> ended_ms;
};

struct ProgramStarted {
    size_t step = 0;  // 1-based index of the step that started it
    std::string command_line;
    std::string directory;  // empty: the caller's
    // How it was started, where the machine can tell: CreateProcessA's creation flags, and the
    // STARTUPINFO's flags and show state.
    std::optional<uint32_t> creation_flags;
    std::optional<uint32_t> startup_flags;
    std::optional<uint32_t> show_window;
    // When it started and when it ends on the virtual clock (the simulated machine): a program that
    // never ends has a start only.
    std::optional<uint64_t> started_ms;
    std::optional<uint64_t> ends_ms;
};

enum class WaitOutcome { Ended, TimedOut, Forever };

// The co-installer waiting for a program it started.
struct WaitReport {
    size_t step = 0;
    std::string what;  // the command line of the program waited for
    WaitOutcome outcome = WaitOutcome::Ended;
    // Where the machine sees the wait itself (the simulated machine): its time limit (0xFFFFFFFF:
    // none) and how long it lasted in virtual time. Wine sees only the program's start and end.
    std::optional<uint32_t> timeout_ms;
    std::optional<uint64_t> waited_ms;
    std::optional<uint64_t> started_ms{};  // on the virtual clock
};

// A service of the scenario entering a state during the run.
struct ServiceChange {
    size_t step = 0;
    std::string service;
    std::string state;               // ServiceStateName: "stop pending", "stopped", "start pending", "running"
    std::optional<uint64_t> at_ms;   // virtual time since the run began; simulated machine only
};

// A service of the scenario at the end of the run, once pending transitions have run their course.
struct ServiceAtEnd {
    std::string service;
    std::string state;  // ServiceStateName, or "not installed"
};

struct EventSet {
    size_t step = 0;
    std::string name;
};

struct MessagePosted {
    size_t step = 0;
    std::string window_class;
    uint32_t message = 0;
    uint64_t wparam = 0;
    uint64_t lparam = 0;
};

// One call of the WIA device manager's RegisterEventCallbackCLSID, as made and answered.
struct WiaRegistrationMade {
    size_t step = 0;
    uint32_t flags = 0;
    std::optional<std::string> device_id;  // nothing: a null device ID (every device)
    std::string event;                     // GUID text in upper case, "{...}"
    std::string clsid;
    std::string name;
    std::string description;
    std::string icon;
    uint32_t result = 0;  // the HRESULT it answered
};

// One SetupInstallFromInfSectionA call.
struct InfSectionInstalled {
    size_t step = 0;
    std::string inf_file;
    std::string section;
    uint32_t flags = 0;
    std::string device;  // instance ID of the device given; empty: none
};

// A text the co-installer wrote to the debugger output (OutputDebugStringA).
struct DebugOutput {
    size_t step = 0;
    std::string text;
};

struct LogFileReport {
    std::string name;  // file name in the temporary folder, "_coInst.log"
    std::string path;  // full Windows path on this machine
    bool created = false;    // the file did not exist before the run
    bool rewritten = false;  // the old content did not survive as the file's beginning (rotation)
    std::string new_bytes;   // what was added, exact bytes (the whole file when rewritten)
};

struct Report {
    std::string machine_kind;  // "simulated machine", "Wine"
    std::string scenario_name;
    std::string scenario_file;
    std::string description;
    std::vector<std::string> machine;  // DescribeMachine
    std::vector<ReportStep> steps;
    std::vector<ProgramStarted> programs;
    std::vector<WaitReport> waits;
    std::vector<EventSet> events;
    std::vector<MessagePosted> messages;
    std::vector<ServiceChange> service_changes;
    std::vector<ServiceAtEnd> services_at_end;
    std::vector<WiaRegistrationMade> wia_registrations;
    std::vector<InfSectionInstalled> inf_installs;
    std::vector<DebugOutput> debug_output;
    RegistryDiff registry;
    std::vector<FileChange> files;  // in the watched folders, from the start of the run to its end
    std::vector<LogFileReport> logs;
    std::vector<std::string> open_handles;  // left open at the end (besides those kept on purpose)
    std::vector<std::string> notes;         // what this machine could not set up, and why
    bool traced = false;
    // The scenario's expectations, when it has any and they were checked: one line per unmet one.
    bool expectations_checked = false;
    std::vector<std::string> unmet_expectations;
};

// A report with the scenario's parts filled in and one ReportStep per step, results still empty.
Report StartReport(const Scenario& scenario, const std::string& machine_kind);

// The log files a run wrote, from the temporary folder's *.log files before and after (name to
// bytes): each file's new bytes, or the whole file when it is new or its old content is gone.
std::vector<LogFileReport> LogChanges(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after, const std::string& folder);

// A log's bytes as lines: split at CR LF; a line of its own CR (from "\n\r") stays "\r".
// `complete` is false when the bytes do not end with a line end.
std::vector<std::string> SplitLogLines(const std::string& bytes, bool* complete = nullptr);

struct TextOptions {
    bool trace = false;  // show the platform calls of every step
};
std::string FormatReportText(const Report& report, const TextOptions& options = {});
// The run's net change in one view: its registry difference as .reg text, then the files and
// folders created, changed and deleted in the watched folders.
std::string FormatNetChange(const Report& report);
std::string FormatReportJson(const Report& report);
// The report as one self-contained HTML page (UTF-8; no script, nothing fetched): at its top a
// timeline picture of the run on the virtual clock (inline SVG), then what the text form shows,
// with the registry changes as a before/after table grouped by key.
std::string FormatReportHtml(const Report& report, const TextOptions& options = {});

// The form in which two machines' reports are compared: log timestamps ("HH:MM:SS<tab>MM/DD/YY")
// masked, handle values in traces and in the log lines that print one ("CreateEvent returned 0x...")
// masked, the sizes of changed log files dropped (their lines are compared), and what only one
// machine can know dropped (its kind, full log paths, the scenario's
// folder, calls not modelled, open handles, notes, the expectations' outcome, and the times of
// waits, service changes, calls and programs: virtual on the simulated machine, real on Wine, whose
// program and service stand-ins take shorter real times than the scenario's virtual ones).
Report NormaliseReport(Report report);
std::string MaskLogTimestamps(const std::string& text);
std::string MaskLogHandles(const std::string& text);
std::string MaskHandleValues(const std::string& trace_line);

}  // namespace tvx
