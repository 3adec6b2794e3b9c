// The Wine harness's stand-ins for the scenario machine's other programs. Win32 only.
#include "tools/wine/wine_standins.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tools/scenario/names.h"

#include <tlhelp32.h>

namespace tvx::wine {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& action, DWORD status) {
    throw std::runtime_error("cannot " + action + ": error " + std::to_string(status));
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// The complete lines of a record file (a line still being written is left for later).
std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

uint64_t Number(const std::string& text) { return std::strtoull(text.c_str(), nullptr, 10); }

bool SameName(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE h = nullptr) : h_(h) {}
    ~ServiceHandle() {
        if (h_) CloseServiceHandle(h_);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};

std::optional<SERVICE_STATUS_PROCESS> QueryStatus(const std::string& name) {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return std::nullopt;
    ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return std::nullopt;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed))
        return std::nullopt;
    return status;
}

bool Pending(DWORD state) { return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING; }

}  // namespace

uint64_t NowTicks() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

StandinPaths StandinsIn(const fs::path& folder) {
    return {folder / "tvx-standin-program.exe", folder / "tvx-standin-service.exe", folder / "tvx-standin-window.exe"};
}

std::vector<ProgramRun> ReadProgramRuns(const fs::path& record) {
    std::vector<ProgramRun> runs;
    for (const std::string& line : Lines(ReadBytes(record))) {
        const std::vector<std::string> f = Fields(line);
        if (f[0] == "start" && f.size() == 9) {
            ProgramRun run;
            run.pid = static_cast<unsigned long>(Number(f[1]));
            run.created = Number(f[2]);
            run.self = f[3];
            run.command_line = f[4];
            run.directory = f[5];
            run.startup_flags = static_cast<uint32_t>(Number(f[6]));
            run.show_window = static_cast<uint32_t>(Number(f[7]));
            run.console = f[8];
            runs.push_back(std::move(run));
        } else if (f[0] == "end" && f.size() == 4) {
            const unsigned long pid = static_cast<unsigned long>(Number(f[1]));
            for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
                if (it->pid != pid || it->ended) continue;
                it->ended = Number(f[2]);
                break;
            }
        }
    }
    std::stable_sort(runs.begin(), runs.end(), [](const ProgramRun& a, const ProgramRun& b) { return a.created < b.created; });
    return runs;
}

namespace {

// Whether some process runs a program whose path starts with one of the drive letters.
bool ProgramRunsFrom(const std::string& letters) {
    using QueryImageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    static const QueryImageFn query = reinterpret_cast<QueryImageFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    const DWORD kQueryLimitedInformation = 0x1000;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE || !query) return false;
    bool found = false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(kQueryLimitedInformation, FALSE, entry.th32ProcessID);
        if (!process) continue;
        char image[MAX_PATH + 1] = {0};
        DWORD size = sizeof image;
        if (query(process, 0, image, &size) && size > 1 && image[1] == ':')
            found = letters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(image[0])))) !=
                    std::string::npos;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

bool WaitForDiscPrograms(const MachineDescription& machine, DWORD timeout_ms) {
    std::string letters;
    for (const DriveSetup& d : machine.drives)
        if (d.letter != 'C') letters += d.letter;
    if (letters.empty()) return true;
    const DWORD begin = GetTickCount();
    while (ProgramRunsFrom(letters)) {
        if (GetTickCount() - begin > timeout_ms) return false;
        Sleep(50);
    }
    return true;
}

uint32_t RealRunTimeMs(uint32_t virtual_ms) {
    const uint32_t kShortest = 800, kLongest = 1500;
    return std::min(std::max(virtual_ms, kShortest), kLongest);
}

std::string ProgramBehaviour(const MachineDescription& machine) {
    std::string text;
    for (const ProgramSetup& p : machine.programs) {
        text += (text.empty() ? "" : ";") + p.path + "=";
        text += p.never_ends ? std::string("forever")
                             : std::to_string(p.exit_code) + "/" + std::to_string(RealRunTimeMs(p.run_time_ms));
    }
    return text;
}

void RegisterServices(const MachineDescription& machine, const StandinPaths& standins, const fs::path& record) {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) Fail("open the service control manager", GetLastError());

    std::vector<std::string> replaced;
    bool has_still_image = false;
    for (const ServiceSetup& s : machine.services) {
        replaced.push_back(s.name);
        has_still_image = has_still_image || SameName(s.name, "stisvc");
    }
    // The scenario's machine has only the services it names; Wine's own still-image service would
    // answer in their place.
    if (!has_still_image) replaced.push_back("stisvc");
    for (const std::string& name : replaced) {
        ServiceHandle old(OpenServiceA(manager.get(), name.c_str(), DELETE));
        if (!old) continue;
        if (!DeleteService(old.get())) Fail("delete Wine's service " + name, GetLastError());
    }

    for (const ServiceSetup& s : machine.services) {
        const char* mode = s.refuses_stop ? "refuses-stop" : s.never_stops ? "never-stops" : "normal";
        const std::string command = "\"" + standins.service.string() + "\" " + s.name + " \"" + record.string() +
                                    "\" " + std::to_string(s.transition_ms) + " " + mode;
        const std::string display = s.display_name.empty() ? s.name : s.display_name;
        ServiceHandle created(CreateServiceA(manager.get(), s.name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                             command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!created) Fail("register the stand-in service " + s.name, GetLastError());
    }
}

std::vector<ServiceStateRecord> ReadServiceStates(const fs::path& record) {
    std::vector<ServiceStateRecord> states;
    for (const std::string& line : Lines(ReadBytes(record))) {
        const std::vector<std::string> f = Fields(line);
        if (f.size() == 3) states.push_back({f[0], f[1], Number(f[2])});
    }
    return states;
}

std::string ServiceState(const std::string& name) {
    std::optional<SERVICE_STATUS_PROCESS> status = QueryStatus(name);
    return status ? ServiceStateName(status->dwCurrentState) : "not installed";
}

bool StartAndWait(const std::string& name, DWORD timeout_ms, std::string* error) {
    {
        ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        ServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_START) : nullptr);
        if (!service || !StartServiceA(service.get(), 0, nullptr)) {
            *error = "cannot start service " + name + ": error " + std::to_string(GetLastError());
            return false;
        }
    }
    const DWORD begin = GetTickCount();
    for (;;) {
        std::optional<SERVICE_STATUS_PROCESS> status = QueryStatus(name);
        if (status && status->dwCurrentState == SERVICE_RUNNING) return true;
        if (GetTickCount() - begin > timeout_ms) {
            *error = "service " + name + " did not reach the running state within " + std::to_string(timeout_ms) + " ms";
            return false;
        }
        Sleep(50);
    }
}

std::string SettledState(const std::string& name, DWORD timeout_ms) {
    const DWORD begin = GetTickCount();
    for (;;) {
        std::optional<SERVICE_STATUS_PROCESS> status = QueryStatus(name);
        if (!status) return "not installed";
        if (!Pending(status->dwCurrentState) || GetTickCount() - begin > timeout_ms)
            return ServiceStateName(status->dwCurrentState);
        Sleep(50);
    }
}

void EndServiceProcess(const std::string& name) {
    std::optional<SERVICE_STATUS_PROCESS> status = QueryStatus(name);
    if (!status || status->dwProcessId == 0) return;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status->dwProcessId);
    if (!process) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

StandinWindows::StandinWindows(const MachineDescription& machine, const StandinPaths& standins, fs::path folder)
    : machine_(machine), standins_(standins), folder_(std::move(folder)) {}

StandinWindows::~StandinWindows() { Close(); }

void StandinWindows::Start() {
    for (size_t i = 0; i < machine_.windows.size(); ++i) {
        const WindowSetup& given = machine_.windows[i];
        Window w;
        w.window_class = given.class_name;
        w.record = folder_ / ("window-" + std::to_string(i + 1) + ".txt");
        const std::string ready_name = "TvxStandinWindowReady" + std::to_string(i + 1);
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str());
        if (!ready) Fail("make the event " + ready_name, GetLastError());
        std::string command = "\"" + standins_.window.string() + "\" \"" + given.class_name + "\" \"" + given.title +
                              "\" \"" + w.record.string() + "\" " + ready_name;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &process)) {
            const DWORD error = GetLastError();
            CloseHandle(ready);
            Fail("start the window stand-in " + command, error);
        }
        CloseHandle(process.hThread);
        w.process = process.hProcess;
        HANDLE both[2] = {ready, process.hProcess};
        const DWORD waited = WaitForMultipleObjects(2, both, FALSE, 30000);
        CloseHandle(ready);
        if (waited != WAIT_OBJECT_0) {
            windows_.push_back(w);
            throw std::runtime_error("the window stand-in for class " + given.class_name + " did not come up");
        }
        w.hwnd = FindWindowA(given.class_name.c_str(), given.title.empty() ? nullptr : given.title.c_str());
        windows_.push_back(w);
        if (!w.hwnd) throw std::runtime_error("no window of class " + given.class_name + " after its stand-in came up");
    }
}

std::vector<StandinWindows::Message> StandinWindows::Flush() {
    std::vector<Message> messages;
    for (Window& w : windows_) {
        if (!w.hwnd) continue;
        const unsigned marker = ++flushes_;
        const std::string flush_line = "flush\t" + std::to_string(marker);
        PostMessageA(w.hwnd, WM_APP + 0x3FF, marker, 0);
        const DWORD begin = GetTickCount();
        std::vector<std::string> lines;
        for (;;) {
            const std::string bytes = ReadBytes(w.record);
            lines = Lines(bytes.substr(std::min(w.seen, bytes.size())));
            if (std::find(lines.begin(), lines.end(), flush_line) != lines.end()) {
                w.seen = bytes.size();
                break;
            }
            if (GetTickCount() - begin > 10000) throw std::runtime_error("the window stand-in of class " + w.window_class + " does not answer");
            Sleep(20);
        }
        for (const std::string& line : lines) {
            const std::vector<std::string> f = Fields(line);
            if (f.size() != 3) continue;
            messages.push_back({w.window_class, static_cast<uint32_t>(Number(f[0])), Number(f[1]), Number(f[2])});
        }
    }
    return messages;
}

void StandinWindows::Close() {
    for (Window& w : windows_) {
        if (w.hwnd) PostMessageA(w.hwnd, WM_CLOSE, 0, 0);
        if (w.process) {
            if (WaitForSingleObject(w.process, 10000) != WAIT_OBJECT_0) TerminateProcess(w.process, 1);
            CloseHandle(w.process);
        }
        w.hwnd = nullptr;
        w.process = nullptr;
    }
}

}  // namespace tvx::wine
