// One run of a scenario on Wine. Win32 only.
#include "tools/wine/wine_run.h"

#include <fstream>
#include <iterator>
#include <map>

#include "platform/win32/windows_sdk.h"
#include "tools/scenario/expectations.h"
#include "tools/wine/wine_registry.h"

namespace tvx::wine {
namespace {

namespace fs = std::filesystem;

using CoInstallerFn = DWORD(WINAPI*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);
using CommandFn = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);

// Named events the co-installer may set; the harness holds them open to see them set.
const char* const kKnownEvents[] = {"tvx_PNPFinishedEvent_99"};

constexpr DWORD kProgramWaitMs = 120000;

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

// How the scenario's programs end: passed to the stand-ins through their environment.
std::string ExitCodes(const Scenario& scenario) {
    std::string text;
    for (const ProgramSpec& p : scenario.machine.programs)
        text += (text.empty() ? "" : ";") + p.path + "=" + std::to_string(p.exit_code);
    return text;
}

class Run {
public:
    Run(const Scenario& scenario, const RunPaths& paths)
        : scenario_(scenario), paths_(paths), temp_(TempFolder()), record_(paths.run_folder / "programs.txt") {
        for (const DeviceSpec& d : scenario.machine.devices)
            params_.push_back(InstallParams{d.install_flags, d.install_flags_ex});
    }
    ~Run() {
        if (module_) FreeLibrary(module_);
        for (auto& [name, handle] : events_) CloseHandle(handle);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    Report Go(const std::vector<std::string>& notes);

private:
    void Load();
    void Unload();
    // An export of the loaded DLL, as the function type it has.
    template <class Fn>
    Fn Entry(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    void Dif(const Step& step, ReportStep& out);
    void CallInstallPellionSoftware(const Step& step);
    void RunDllRunner(const Step& step);
    void OpenEvents();
    // What happened since the last look, credited to a step (1-based).
    void Collect(size_t step, std::vector<StepLogLine>* log);
    void CheckVersion(std::vector<std::string>* notes) const;
    void CheckDrives(std::vector<std::string>* notes) const;

    const Scenario& scenario_;
    RunPaths paths_;
    std::string temp_;
    fs::path record_;
    size_t record_seen_ = 0;
    HMODULE module_ = nullptr;
    CoInstallerFn coinstaller_ = nullptr;
    CommandFn command_ = nullptr;
    std::vector<InstallParams> params_;
    std::map<std::string, HANDLE> events_;
    std::map<std::string, std::string> logs_now_;
    Report report_;
};

void Run::Load() {
    module_ = LoadLibraryA(paths_.dll.c_str());
    if (!module_) throw RunError("cannot load " + paths_.dll + ": error " + std::to_string(GetLastError()));
    coinstaller_ = Entry<CoInstallerFn>("TarvixScannerCoInstaller");
    command_ = Entry<CommandFn>("InstallPellionSoftware");
    if (!coinstaller_ || !command_) throw RunError(paths_.dll + " lacks the co-installer's exports");
}

void Run::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    coinstaller_ = nullptr;
    command_ = nullptr;
}

// The device installer's side of a DIF call: a fresh device information set holding the device,
// the device's installation parameters as the last call left them, and the context record.
void Run::Dif(const Step& step, ReportStep& out) {
    if (!coinstaller_) throw RunError("a DIF call while the library is not loaded");
    const DeviceSpec& device = scenario_.machine.devices[step.device];
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
    out.result = static_cast<uint32_t>(coinstaller_(step.dif_code, set, &data, &context));

    params = SP_DEVINSTALL_PARAMS_A{};
    params.cbSize = sizeof params;
    if (SetupDiGetDeviceInstallParamsA(set, &data, &params))
        params_[step.device] = InstallParams{static_cast<uint32_t>(params.Flags), static_cast<uint32_t>(params.FlagsEx)};
    out.params_after = params_[step.device];
    SetupDiDestroyDeviceInfoList(set);
}

void Run::CallInstallPellionSoftware(const Step& step) {
    if (!command_) throw RunError("InstallPellionSoftware called while the library is not loaded");
    // The DLL runner hands the entry a writable copy of the command line.
    std::string command_line = step.command_line;
    command_(nullptr, module_, command_line.data(), SW_SHOWNORMAL);
}

// A load, the DLL runner's entry and an unload in a row are what `rundll32 DLL,Entry args` does in
// a process of its own; the harness runs exactly that.
void Run::RunDllRunner(const Step& step) {
    std::string command_line = "rundll32.exe " + paths_.dll + ",InstallPellionSoftware " + step.command_line;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw RunError("cannot start " + command_line + ": error " + std::to_string(GetLastError()));
    DWORD waited = WaitForSingleObject(process.hProcess, kProgramWaitMs);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != WAIT_OBJECT_0) throw RunError(command_line + " did not end within " + std::to_string(kProgramWaitMs) + " ms");
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

void Run::Collect(size_t step, std::vector<StepLogLine>* log) {
    auto logs_after = SnapshotLogs(temp_);
    for (const LogFileReport& changed : LogChanges(logs_now_, logs_after, ""))
        for (std::string& line : SplitLogLines(changed.new_bytes)) log->push_back(StepLogLine{changed.name, line});
    logs_now_ = std::move(logs_after);

    const std::string record = ReadFileBytes(record_);
    for (const std::string& line : SplitLogLines(record.substr(std::min(record_seen_, record.size())))) {
        // module TAB command line TAB current directory
        const size_t first = line.find('\t');
        const size_t second = line.rfind('\t');
        if (first == std::string::npos || second == first) continue;
        report_.programs.push_back(
            ProgramStarted{step, line.substr(first + 1, second - first - 1), line.substr(second + 1)});
    }
    record_seen_ = record.size();

    for (auto& [name, handle] : events_) {
        if (WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) continue;
        report_.events.push_back(EventSet{step, name});
        ResetEvent(handle);
    }
}

void Run::CheckVersion(std::vector<std::string>* notes) const {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return;
    const OsVersionSpec& os = scenario_.machine.os;
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
    for (const DriveSpec& d : scenario_.machine.drives) {
        const std::string root = std::string(1, d.letter) + ":\\";
        const UINT type = GetDriveTypeA(root.c_str());
        char label[MAX_PATH + 1] = {0};
        const bool has_volume = GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                                                      nullptr, 0) != 0;
        if (type != d.type)
            notes->push_back("drive " + root + " is of type " + std::to_string(type) + " under Wine, not " +
                             std::to_string(d.type));
        if (d.letter != 'C' && (!has_volume || d.label != label))
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

    std::error_code ec;
    fs::remove(record_, ec);
    SetEnvironmentVariableA("TVX_PROGRAM_RECORD", record_.string().c_str());
    SetEnvironmentVariableA("TVX_PROGRAM_EXIT_CODES", ExitCodes(scenario_).c_str());
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
    logs_now_ = logs_before;

    const std::vector<Step>& steps = scenario_.steps;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        ReportStep& out = report_.steps[i];
        const bool runner = step.kind == StepKind::Load && !module_ && i + 2 < steps.size() &&
                            steps[i + 1].kind == StepKind::InstallPellionSoftware &&
                            steps[i + 2].kind == StepKind::Unload;
        if (runner) {
            report_.notes.push_back("steps " + std::to_string(i + 1) + " to " + std::to_string(i + 3) +
                                    " ran as `rundll32.exe " + paths_.dll + ",InstallPellionSoftware " +
                                    steps[i + 1].command_line + "`, in a process of its own");
            RunDllRunner(steps[i + 1]);
            std::vector<StepLogLine> lines;
            Collect(i + 2, &lines);
            SplitRunnerLog(lines, &out.log, &report_.steps[i + 1].log, &report_.steps[i + 2].log);
            i += 2;
            continue;
        }
        switch (step.kind) {
            case StepKind::Load: Load(); break;
            case StepKind::Unload: Unload(); break;
            case StepKind::InstallPellionSoftware: CallInstallPellionSoftware(step); break;
            case StepKind::Dif: Dif(step, out); break;
        }
        Collect(i + 1, &out.log);
    }
    Unload();

    report_.registry = DiffRegistry(registry_before, SnapshotRegistry());
    report_.logs = LogChanges(logs_before, SnapshotLogs(temp_), temp_);

    bool has_expectations = !scenario_.expect.empty();
    for (const Step& step : steps) has_expectations = has_expectations || step.expect_result;
    if (has_expectations) {
        report_.expectations_checked = true;
        report_.unmet_expectations = CheckExpectations(scenario_, report_, LiveRegistryLookup());
    }
    return report_;
}

}  // namespace

Report RunScenarioOnWine(const Scenario& scenario, const RunPaths& paths, const std::vector<std::string>& notes) {
    Run run(scenario, paths);
    return run.Go(notes);
}

}  // namespace tvx::wine
