// One run of a scenario on Wine. Win32 only.
#include "tools/wine/wine_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "platform/win32/windows_sdk.h"
#include "tools/scenario/expectations.h"
#include "tools/scenario/run_end.h"
#include "tools/wine/wine_account.h"
#include "tools/wine/wine_registry.h"
#include "tools/wine/wine_setup.h"
#include "tools/wine/wine_standins.h"

namespace tvx::wine {
namespace {

namespace fs = std::filesystem;

using CoInstallerFn = DWORD(WINAPI*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);
using CommandFn = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);

// Named events the co-installer may set; the harness holds them open to see them set.
const char* const kKnownEvents[] = {kFinishedEventName};

// How long one call on the co-installer may take before the run counts as failed: the longest
// flow waits 20 s for a service that never stops, plus the stand-ins' run times.
constexpr DWORD kCallLimitMs = 180000;
// How long a call must still be waiting once a program that never ends has started before the
// harness says that it waits forever.
constexpr uint64_t kForeverAfterTicks = 3 * 10000000ull;
constexpr uint64_t kTicksPerMs = 10000;

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string TempFolder() {
    char buffer[MAX_PATH + 1] = {0};
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

// The .log files of the temporary folder by name, with their bytes.
std::map<std::string, std::string> SnapshotLogs(const std::string& folder) {
    std::map<std::string, std::string> logs;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*.log").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return logs;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        logs[found.cFileName] = ReadFileBytes(folder + found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return logs;
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The debugger output of the harness's process. OutputDebugStringA raises a debug-print exception
// (DBG_PRINTEXCEPTION_C, its length and text as the arguments) that a debugger would take; a
// vectored handler sees it first and lets it go on, so the call behaves as without the harness.
// The DLL runner's own process is not watched.
class DebugOutputRecorder {
public:
    DebugOutputRecorder() {
        InitializeCriticalSection(&lock_);
        recorder_ = this;
        handler_ = AddVectoredExceptionHandler(1, &DebugOutputRecorder::Handler);
    }
    ~DebugOutputRecorder() {
        if (handler_) RemoveVectoredExceptionHandler(handler_);
        recorder_ = nullptr;
        DeleteCriticalSection(&lock_);
    }
    DebugOutputRecorder(const DebugOutputRecorder&) = delete;
    DebugOutputRecorder& operator=(const DebugOutputRecorder&) = delete;

    // The texts written since the last call.
    std::vector<std::string> Take() {
        EnterCriticalSection(&lock_);
        std::vector<std::string> texts = std::move(texts_);
        texts_.clear();
        LeaveCriticalSection(&lock_);
        return texts;
    }

private:
    static constexpr DWORD kDebugPrint = 0x40010006;  // DBG_PRINTEXCEPTION_C

    static LONG CALLBACK Handler(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        DebugOutputRecorder* self = recorder_;
        if (self && record->ExceptionCode == kDebugPrint && record->NumberParameters >= 2) {
            const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
            EnterCriticalSection(&self->lock_);
            self->texts_.emplace_back(text ? text : "");
            LeaveCriticalSection(&self->lock_);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static inline DebugOutputRecorder* recorder_ = nullptr;
    CRITICAL_SECTION lock_;
    PVOID handler_ = nullptr;
    std::vector<std::string> texts_;
};

// A call on the co-installer made on a thread of its own, so that the harness can watch it.
class CallThread {
public:
    explicit CallThread(std::function<void()> call) : call_(std::move(call)) {
        thread_ = CreateThread(nullptr, 0, &CallThread::Main, this, 0, nullptr);
        if (!thread_) throw RunError("cannot make a thread for the call: error " + std::to_string(GetLastError()));
    }
    ~CallThread() { CloseHandle(thread_); }
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;
    HANDLE handle() const { return thread_; }

private:
    static DWORD WINAPI Main(LPVOID self) {
        static_cast<CallThread*>(self)->call_();
        return 0;
    }
    std::function<void()> call_;
    HANDLE thread_ = nullptr;
};

class Run {
public:
    Run(const Scenario& scenario, const RunPaths& paths)
        : scenario_(scenario),
          paths_(paths),
          temp_(TempFolder()),
          standins_(StandinsIn(paths.standin_folder)),
          program_record_(paths.run_folder / "programs.txt"),
          service_record_(paths.run_folder / "services.txt"),
          windows_(scenario.machine, standins_, paths.run_folder) {
        for (const DeviceSetup& d : scenario.machine.devices)
            params_.push_back(InstallParams{d.install_flags, d.install_flags_ex});
    }
    ~Run() {
        if (module_ && !abandoned_) FreeLibrary(module_);
        for (auto& [name, handle] : events_) CloseHandle(handle);
        if (quit_) CloseHandle(quit_);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    Report Go(const std::vector<std::string>& notes);
    bool abandoned() const { return abandoned_; }

private:
    void Load();
    void Unload();
    // An export of the loaded DLL, as the function type it has.
    template <class Fn>
    Fn Entry(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    void StartMachineParts();
    void Dif(size_t index, const Step& step, ReportStep& out);
    void CallInstallPellionSoftware(size_t index, const Step& step, ReportStep& out);
    void RunDllRunner(size_t index, const Step& step, ReportStep& out);
    // Waits for a call (a thread or the DLL runner's process) to end, watching for a program that
    // never ends; answers false when the call waits forever for one (and the step says so).
    bool Watch(HANDLE call, size_t index, ReportStep& out);
    void OpenEvents();
    // What happened during a step (0-based), as far as it shows at once: log lines, events set,
    // window messages.
    void Collect(size_t index, std::vector<StepLogLine>* log);
    // The disc programs' and services' records, read once the run is over.
    void CollectPrograms();
    void CollectServices();
    // The stand-in WIA device manager: its settings for this run, and the calls it recorded.
    void SetUpWiaStandin();
    void CollectWiaRegistrations(size_t index);
    // The step (0-based) during which something happened at `ticks`.
    size_t StepAt(uint64_t ticks) const;
    void EndMachineParts();
    void CheckVersion(std::vector<std::string>* notes) const;
    void CheckDrives(std::vector<std::string>* notes) const;

    const Scenario& scenario_;
    std::string wia_record_;
    size_t wia_lines_ = 0;
    RunPaths paths_;
    std::string temp_;
    StandinPaths standins_;
    fs::path program_record_;
    fs::path service_record_;
    StandinWindows windows_;
    HANDLE quit_ = nullptr;
    HMODULE module_ = nullptr;
    bool abandoned_ = false;  // a call of the loaded DLL still waits forever on a stopped thread
    CoInstallerFn coinstaller_ = nullptr;
    CommandFn command_ = nullptr;
    std::vector<InstallParams> params_;
    std::map<std::string, HANDLE> events_;
    std::map<std::string, std::string> logs_now_;
    DebugOutputRecorder debug_output_;
    std::vector<uint64_t> begin_, end_;  // each step's time span (NowTicks)
    size_t ran_ = 0;                     // steps that ran
    uint64_t steps_begin_ = 0;
    Report report_;
};

void Run::Load() {
    module_ = LoadLibraryA(paths_.dll.c_str());
    if (!module_) throw RunError("cannot load " + paths_.dll + ": error " + std::to_string(GetLastError()));
    coinstaller_ = Entry<CoInstallerFn>("TarvixScannerCoInstaller");
    command_ = Entry<CommandFn>("InstallPellionSoftware");
    if (!coinstaller_ || !command_) throw RunError(paths_.dll + " lacks the co-installer's exports");
    if (!scenario_.machine.administrator) ActAsStandardUser(module_);
}

void Run::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    coinstaller_ = nullptr;
    command_ = nullptr;
}

bool Run::Watch(HANDLE call, size_t index, ReportStep& out) {
    const DWORD began = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(call, 200) == WAIT_OBJECT_0) return true;
        const uint64_t now = NowTicks();
        for (const ProgramRun& run : ReadProgramRuns(program_record_)) {
            if (run.created < begin_[index] || run.ended) continue;
            bool never_ends = false;
            for (const ProgramSetup& p : scenario_.machine.programs)
                never_ends = never_ends || (p.never_ends && SameText(p.path, run.self));
            if (!never_ends || now - run.created < kForeverAfterTicks) continue;
            out.waits_forever = run.command_line;
            return false;
        }
        if (GetTickCount() - began > kCallLimitMs)
            throw RunError("step " + std::to_string(index + 1) + " did not end within " + std::to_string(kCallLimitMs) +
                           " ms, and no program that never ends holds it");
    }
}

// The device installer's side of a DIF call: a fresh device information set holding the device,
// the device's installation parameters as the last call left them, and the context record.
void Run::Dif(size_t index, const Step& step, ReportStep& out) {
    if (!coinstaller_) throw RunError("a DIF call while the library is not loaded");
    const DeviceSetup& device = scenario_.machine.devices[step.device];
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) throw RunError("cannot make a device information set");
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    if (!SetupDiOpenDeviceInfoA(set, device.instance_id.c_str(), nullptr, 0, &data)) {
        DWORD error = GetLastError();
        SetupDiDestroyDeviceInfoList(set);
        throw RunError("cannot open device " + device.instance_id + ": error " + std::to_string(error));
    }
    SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof params;
    if (SetupDiGetDeviceInstallParamsA(set, &data, &params)) {
        params.Flags = params_[step.device].flags;
        params.FlagsEx = params_[step.device].flags_ex;
        SetupDiSetDeviceInstallParamsA(set, &data, &params);
    }
    out.params_before = params_[step.device];

    COINSTALLER_CONTEXT_DATA context{};
    context.PostProcessing = step.post_processing ? TRUE : FALSE;
    context.InstallResult = step.install_result;
    DWORD result = 0;
    CallThread call([&] { result = coinstaller_(step.dif_code, set, &data, &context); });
    if (!Watch(call.handle(), index, out)) {
        // The call never returns: its thread is stopped where it waits, and the library stays as it is.
        TerminateThread(call.handle(), 1);
        abandoned_ = true;
        return;
    }
    out.result = static_cast<uint32_t>(result);

    params = SP_DEVINSTALL_PARAMS_A{};
    params.cbSize = sizeof params;
    if (SetupDiGetDeviceInstallParamsA(set, &data, &params))
        params_[step.device] = InstallParams{static_cast<uint32_t>(params.Flags), static_cast<uint32_t>(params.FlagsEx)};
    out.params_after = params_[step.device];
    SetupDiDestroyDeviceInfoList(set);
}

void Run::CallInstallPellionSoftware(size_t index, const Step& step, ReportStep& out) {
    if (!command_) throw RunError("InstallPellionSoftware called while the library is not loaded");
    // The DLL runner hands the entry a writable copy of the command line.
    std::string command_line = step.command_line;
    CallThread call([&] { command_(nullptr, module_, command_line.data(), SW_SHOWNORMAL); });
    if (!Watch(call.handle(), index, out)) {
        TerminateThread(call.handle(), 1);
        abandoned_ = true;
    }
}

// A load, the DLL runner's entry and an unload in a row are what `rundll32 DLL,Entry args` does in
// a process of its own; the harness runs exactly that. `index` is the entry's step.
void Run::RunDllRunner(size_t index, const Step& step, ReportStep& out) {
    std::string command_line = "rundll32.exe " + paths_.dll + ",InstallPellionSoftware " + step.command_line;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw RunError("cannot start " + command_line + ": error " + std::to_string(GetLastError()));
    CloseHandle(process.hThread);
    const bool ended = Watch(process.hProcess, index, out);
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hProcess);
}

void Run::OpenEvents() {
    std::vector<std::string> names(std::begin(kKnownEvents), std::end(kKnownEvents));
    if (scenario_.expect.events)
        for (const std::string& name : *scenario_.expect.events) names.push_back(name);
    for (const std::string& name : names) {
        if (events_.count(name)) continue;
        HANDLE h = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
        if (!h) continue;
        events_[name] = h;
        report_.notes.push_back("the harness holds the named event " + name +
                                " from the start, to see whether it is set; the co-installer finds it existing");
    }
}

void Run::Collect(size_t index, std::vector<StepLogLine>* log) {
    auto logs_after = SnapshotLogs(temp_);
    for (const LogFileReport& changed : LogChanges(logs_now_, logs_after, ""))
        for (std::string& line : SplitLogLines(changed.new_bytes)) log->push_back(StepLogLine{changed.name, line});
    logs_now_ = std::move(logs_after);

    for (auto& [name, handle] : events_) {
        if (WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) continue;
        report_.events.push_back(EventSet{index + 1, name});
        ResetEvent(handle);
    }
    for (const StandinWindows::Message& m : windows_.Flush())
        report_.messages.push_back(MessagePosted{index + 1, m.window_class, m.message, m.wparam, m.lparam});
    for (std::string& text : debug_output_.Take()) report_.debug_output.push_back(DebugOutput{index + 1, std::move(text)});
    CollectWiaRegistrations(index);
}

void Run::SetUpWiaStandin() {
    wia_record_ = (paths_.run_folder / "wia-registrations.txt").string();
    DeleteFileA(wia_record_.c_str());
    SetEnvironmentVariableA("TVX_WIA_RECORD", wia_record_.c_str());
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", scenario_.machine.wia.create_result);
    SetEnvironmentVariableA("TVX_WIA_CREATE", scenario_.machine.wia.create_result ? hex : nullptr);
    std::string results;
    for (const WiaEventResult& e : scenario_.machine.wia.event_results) {
        std::snprintf(hex, sizeof hex, "%08X", e.result);
        results += (results.empty() ? "" : ";") + e.event + "=" + hex;
    }
    SetEnvironmentVariableA("TVX_WIA_RESULTS", results.empty() ? nullptr : results.c_str());
}

// The stand-in device manager's record: one line per RegisterEventCallbackCLSID call, its fields
// separated by tabs (flags, device ID or \x01 for none, event, CLSID, name, description, icon,
// answer).
void Run::CollectWiaRegistrations(size_t index) {
    std::ifstream in(wia_record_, std::ios::binary);
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
        if (number++ < wia_lines_) continue;
        ++wia_lines_;
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (fields.size() != 8) continue;
        WiaRegistrationMade made;
        made.step = index + 1;
        made.flags = static_cast<uint32_t>(std::strtoul(fields[0].c_str(), nullptr, 16));
        if (fields[1] != "\x01") made.device_id = fields[1];
        made.event = fields[2];
        made.clsid = fields[3];
        made.name = fields[4] == "\x01" ? "" : fields[4];
        made.description = fields[5] == "\x01" ? "" : fields[5];
        made.icon = fields[6] == "\x01" ? "" : fields[6];
        made.result = static_cast<uint32_t>(std::strtoul(fields[7].c_str(), nullptr, 16));
        report_.wia_registrations.push_back(std::move(made));
    }
}

size_t Run::StepAt(uint64_t ticks) const {
    size_t found = 0;
    for (size_t i = 0; i < ran_; ++i)
        if (begin_[i] <= ticks) found = i;
    return found;
}

// Programs by the step whose span holds their creation. The co-installer waited for a program
// when the program ended before the call returned and the co-installer started nothing else
// meanwhile; the stand-ins run long enough (RealRunTimeMs) that a call which does not wait returns
// first.
void Run::CollectPrograms() {
    const std::vector<ProgramRun> runs = ReadProgramRuns(program_record_);
    for (size_t i = 0; i < runs.size(); ++i) {
        const ProgramRun& run = runs[i];
        if (run.created < steps_begin_) continue;
        const size_t index = StepAt(run.created);
        ProgramStarted p;
        p.step = index + 1;
        p.command_line = run.command_line;
        p.directory = run.directory;
        // A console of its own is what CREATE_NEW_CONSOLE gives a console program; Wine shows no
        // other creation flag to the program.
        p.creation_flags = run.console == "own" ? 0x10u : 0u;
        p.startup_flags = run.startup_flags;
        p.show_window = run.show_window;
        report_.programs.push_back(p);

        const ReportStep& step = report_.steps[index];
        // The program that never ends ends only when the harness ends the run, after the step.
        if (!step.waits_forever.empty() && step.waits_forever == run.command_line &&
            (!run.ended || *run.ended > end_[index])) {
            report_.waits.push_back(WaitReport{index + 1, run.command_line, WaitOutcome::Forever, {}, {}});
            continue;
        }
        if (!run.ended || *run.ended > end_[index]) continue;
        bool other_started = false;
        for (size_t j = i + 1; j < runs.size(); ++j)
            other_started = other_started || (runs[j].created > run.created && runs[j].created < *run.ended);
        if (!other_started) report_.waits.push_back(WaitReport{index + 1, run.command_line, WaitOutcome::Ended, {}, {}});
    }
}

// Service states by step: a pending state belongs to the step during which the service entered
// it, the state that ends it to the same step.
void Run::CollectServices() {
    std::map<std::string, size_t> pending_step;
    for (const ServiceStateRecord& r : ReadServiceStates(service_record_)) {
        if (r.at < steps_begin_) continue;
        size_t index = StepAt(r.at);
        const bool pending = r.state == "start pending" || r.state == "stop pending";
        auto it = pending_step.find(r.service);
        if (pending)
            pending_step[r.service] = index;
        else if (it != pending_step.end())
            index = it->second;
        report_.service_changes.push_back(ServiceChange{index + 1, r.service, r.state, {}});
    }
}

void Run::StartMachineParts() {
    quit_ = CreateEventA(nullptr, TRUE, FALSE, kQuitEvent);
    if (!quit_) throw RunError("cannot make the event " + std::string(kQuitEvent));
    std::error_code ec;
    fs::remove(program_record_, ec);
    SetEnvironmentVariableA("TVX_PROGRAM_RECORD", program_record_.string().c_str());
    SetEnvironmentVariableA("TVX_PROGRAM_BEHAVIOUR", ProgramBehaviour(scenario_.machine).c_str());
    for (const ServiceSetup& s : scenario_.machine.services) {
        if (s.state != "running") continue;
        std::string error;
        if (!StartAndWait(s.name, 30000, &error)) throw RunError(error);
    }
    windows_.Start();
    if (!scenario_.machine.windows.empty())
        report_.notes.push_back("each window of the scenario is owned by a stand-in program of the harness");
}

void Run::EndMachineParts() {
    for (const ServiceSetup& s : scenario_.machine.services) {
        const DWORD settle = s.transition_ms * 2 + 3000;
        report_.services_at_end.push_back(ServiceAtEnd{s.name, SettledState(s.name, settle)});
    }
    CollectServices();
    // Every stand-in still running ends now; one still starting records its start first.
    SetEvent(quit_);
    if (!WaitForDiscPrograms(scenario_.machine, 30000))
        report_.notes.push_back("a program from a scenario drive was still running 30 s after the run");
    CollectPrograms();
    for (const ServiceSetup& s : scenario_.machine.services) EndServiceProcess(s.name);
    windows_.Close();
}

void Run::CheckVersion(std::vector<std::string>* notes) const {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return;
    const OsVersionSetup& os = scenario_.machine.os;
    if (info.dwMajorVersion == os.major && info.dwMinorVersion == os.minor && info.dwBuildNumber == os.build &&
        info.dwPlatformId == os.platform_id && os.service_pack == info.szCSDVersion)
        return;
    notes->push_back("Wine reports Windows " + std::to_string(info.dwMajorVersion) + "." +
                     std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber) + " \"" +
                     info.szCSDVersion + "\" (platform " + std::to_string(info.dwPlatformId) + "), the scenario " +
                     std::to_string(os.major) + "." + std::to_string(os.minor) + "." + std::to_string(os.build) +
                     " \"" + os.service_pack + "\"");
}

// Whether Wine shows each drive as the scenario describes it: a drive type or label that did not
// take is a note, since the co-installer looks for its disc by both.
void Run::CheckDrives(std::vector<std::string>* notes) const {
    for (const DriveSetup& d : scenario_.machine.drives) {
        const std::string root = std::string(1, d.letter) + ":\\";
        const UINT type = GetDriveTypeA(root.c_str());
        char label[MAX_PATH + 1] = {0};
        const bool has_volume = GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                                                      nullptr, 0) != 0;
        if (type != d.type)
            notes->push_back("drive " + root + " is of type " + std::to_string(type) + " under Wine, not " +
                             std::to_string(d.type));
        if (d.letter != 'C' && !d.folder.empty() && (!has_volume || d.label != label))
            notes->push_back("drive " + root + " has the volume label \"" + label + "\" under Wine, not \"" +
                             d.label + "\"");
    }
}

// The DLL runner's share of one log: the object's start lines go to the load, its end lines (the
// last timestamp line and "End Log") to the unload, the rest to the call.
void SplitRunnerLog(const std::vector<StepLogLine>& lines, std::vector<StepLogLine>* load,
                    std::vector<StepLogLine>* call, std::vector<StepLogLine>* unload) {
    const std::string kLog = "_coInst.log";
    size_t start_end = 0, end_begin = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].file == kLog && lines[i].text == "Start Log") {
            start_end = i + 1;
            break;
        }
    }
    for (size_t i = lines.size(); i-- > start_end;) {
        if (lines[i].file == kLog && lines[i].text == "End Log") {
            end_begin = i;
            for (size_t j = i; j-- > start_end;) {
                if (lines[j].file != kLog) continue;
                end_begin = j;  // the timestamp line before it
                break;
            }
            break;
        }
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool own = lines[i].file == kLog;
        if (own && i < start_end)
            load->push_back(lines[i]);
        else if (own && i >= end_begin)
            unload->push_back(lines[i]);
        else
            call->push_back(lines[i]);
    }
}

Report Run::Go(const std::vector<std::string>& notes) {
    report_ = StartReport(scenario_, "Wine");
    report_.notes = notes;
    CheckVersion(&report_.notes);
    CheckDrives(&report_.notes);
    StartMachineParts();
    SetUpWiaStandin();
    OpenEvents();  // after the report is started: it notes them

    // The first program of a Wine session that uses the window system (the DLL runner) makes Wine
    // register its display devices in the registry; the harness does it first, so that those
    // writes are not taken for the co-installer's.
    GetDesktopWindow();
    DISPLAY_DEVICEA display{};
    display.cb = sizeof display;
    EnumDisplayDevicesA(nullptr, 0, &display, 0);

    const RegistrySnapshot registry_before = SnapshotRegistry();
    const auto logs_before = SnapshotLogs(temp_);
    const FileSnapshot files_before = SnapshotWineFiles();
    logs_now_ = logs_before;
    debug_output_.Take();
    windows_.Flush();

    const std::vector<Step>& steps = scenario_.steps;
    begin_.assign(steps.size(), 0);
    end_.assign(steps.size(), 0);
    steps_begin_ = NowTicks();
    size_t stuck = 0;  // the step (1-based) that waits forever
    for (size_t i = 0; i < steps.size() && !stuck; ++i) {
        const Step& step = steps[i];
        ReportStep& out = report_.steps[i];
        const bool runner = scenario_.machine.administrator && step.kind == StepKind::Load && !module_ &&
                            i + 2 < steps.size() && steps[i + 1].kind == StepKind::InstallPellionSoftware &&
                            steps[i + 2].kind == StepKind::Unload;
        begin_[i] = NowTicks();
        ran_ = i + 1;
        if (runner) {
            report_.notes.push_back("steps " + std::to_string(i + 1) + " to " + std::to_string(i + 3) +
                                    " ran as `rundll32.exe " + paths_.dll + ",InstallPellionSoftware " +
                                    steps[i + 1].command_line + "`, in a process of its own");
            begin_[i + 1] = begin_[i];
            ran_ = i + 2;
            RunDllRunner(i + 1, steps[i + 1], report_.steps[i + 1]);
            // What the process did belongs to the entry's call; the unload begins as it ends.
            end_[i] = end_[i + 1] = begin_[i + 2] = end_[i + 2] = NowTicks();
            ran_ = i + 3;
            std::vector<StepLogLine> lines;
            Collect(i + 1, &lines);
            SplitRunnerLog(lines, &out.log, &report_.steps[i + 1].log, &report_.steps[i + 2].log);
            if (!report_.steps[i + 1].waits_forever.empty()) {
                stuck = i + 2;
                report_.steps[i + 2].not_run = StillWaitsIn(stuck);
                report_.notes.push_back("the harness ended the DLL runner's process, which still waited in step " +
                                        std::to_string(stuck));
            }
            i += 2;
            continue;
        }
        switch (step.kind) {
            case StepKind::Load: Load(); break;
            case StepKind::Unload: Unload(); break;
            case StepKind::InstallPellionSoftware: CallInstallPellionSoftware(i, step, out); break;
            case StepKind::Dif: Dif(i, step, out); break;
        }
        end_[i] = NowTicks();
        Collect(i, &out.log);
        if (!out.waits_forever.empty()) stuck = i + 1;
    }
    for (size_t i = stuck; stuck && i < steps.size(); ++i)
        if (report_.steps[i].not_run.empty())
            report_.steps[i].not_run = StillWaitsIn(stuck);
    if (!abandoned_) Unload();
    if (!scenario_.machine.administrator)
        report_.notes.push_back("the scenario's user is not an administrator, and Wine's user always is: the harness "
                                "answers the co-installer's calls that need an administrator with access denied, as "
                                "Windows answers a standard user, and calls InstallPellionSoftware in its own process");
    EndMachineParts();

    report_.registry = DiffRegistry(registry_before, SnapshotRegistry());
    report_.logs = LogChanges(logs_before, SnapshotLogs(temp_), temp_);
    const FileSnapshot files_after = SnapshotWineFiles();
    report_.files = DiffFiles(files_before, files_after);

    CheckRun(scenario_, report_, LiveRegistryLookup(), files_after);
    return report_;
}

}  // namespace

Report RunScenarioOnWine(const Scenario& scenario, const RunPaths& paths, const std::vector<std::string>& notes,
                         bool* abandoned) {
    Run run(scenario, paths);
    Report report = run.Go(notes);
    if (abandoned) *abandoned = run.abandoned();
    return report;
}

}  // namespace tvx::wine
