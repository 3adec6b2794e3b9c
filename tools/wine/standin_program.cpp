// A stand-in for a program on the install disc (the disc's setup program, the firmware update
// tool): it records how it was started, runs for a while as the scenario asks, records its end and
// exits. Win32 only; built by the cross compiler and run under Wine.
//
// The record file is named by TVX_PROGRAM_RECORD, else "tvx-programs.txt" in the temporary folder.
// The program appends two lines, each ending in CR LF and made of fields separated by TABs:
//   start, its process id, its creation time (FILETIME, decimal), its own path, its command line as
//   GetCommandLineA gives it, its current directory, its STARTUPINFO flags, its show state, and
//   "own" / "shared" / "none" for its console (a console of its own is what CREATE_NEW_CONSOLE
//   gives it);
//   end, its process id, the time it ends (FILETIME, decimal), its exit status.
// How it behaves comes from TVX_PROGRAM_BEHAVIOUR, entries separated by ";" of the form
// "PATH=EXIT" (exit at once with EXIT), "PATH=EXIT/MS" (run MS real milliseconds, then exit with
// EXIT) or "PATH=forever" (never end), PATH compared with the program's own path without regard to
// case. A program without an entry exits with TVX_PROGRAM_EXIT_CODE, else 0, at once. While it
// runs it watches the named event "TvxStandinQuit": once that is set, it ends at once (a
// never-ending program ends with 259, STILL_ACTIVE). A record that cannot be written makes the
// program fail with 3 instead, so that a lost record shows.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/windows_sdk.h"

namespace {

constexpr DWORD kForever = INFINITE;

std::string Environment(const char* name) {
    DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) return std::string();
    std::string value(n, '\0');
    n = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

std::string RecordPath() {
    std::string path = Environment("TVX_PROGRAM_RECORD");
    if (!path.empty()) return path;
    char temp[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return "tvx-programs.txt";
    return std::string(temp, n) + "tvx-programs.txt";
}

struct Behaviour {
    int exit_code = 0;
    DWORD run_ms = 0;  // kForever: never ends
};

// What the environment asks of the program at `self`.
Behaviour BehaviourOf(const std::string& self) {
    Behaviour b;
    const std::string code = Environment("TVX_PROGRAM_EXIT_CODE");
    if (!code.empty()) b.exit_code = static_cast<int>(std::strtoul(code.c_str(), nullptr, 0));
    const std::string table = Environment("TVX_PROGRAM_BEHAVIOUR");
    size_t start = 0;
    while (start < table.size()) {
        size_t end = table.find(';', start);
        if (end == std::string::npos) end = table.size();
        const std::string entry = table.substr(start, end - start);
        start = end + 1;
        const size_t eq = entry.rfind('=');
        if (eq == std::string::npos || lstrcmpiA(entry.substr(0, eq).c_str(), self.c_str()) != 0) continue;
        const std::string what = entry.substr(eq + 1);
        if (what == "forever") {
            b.run_ms = kForever;
            b.exit_code = STILL_ACTIVE;
            return b;
        }
        char* rest = nullptr;
        b.exit_code = static_cast<int>(std::strtoul(what.c_str(), &rest, 0));
        if (rest && *rest == '/') b.run_ms = static_cast<DWORD>(std::strtoul(rest + 1, nullptr, 0));
        return b;
    }
    return b;
}

std::string Decimal(unsigned long long v) { return std::to_string(v); }

unsigned long long Ticks(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

unsigned long long Now() {
    FILETIME t;
    GetSystemTimePreciseAsFileTime(&t);
    return Ticks(t);
}

// "own" when the program has a console of its own, "shared" when it shares its starter's, "none".
const char* Console() {
    DWORD ids[4];
    const DWORD n = GetConsoleProcessList(ids, 4);
    if (n == 0) return "none";
    return n == 1 ? "own" : "shared";
}

bool Append(const std::string& path, const std::string& line) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "stand-in: cannot open record file %s: error %lu\n", path.c_str(), GetLastError());
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok || written != line.size()) {
        std::fprintf(stderr, "stand-in: cannot write record file %s: error %lu\n", path.c_str(), error);
        return false;
    }
    return true;
}

}  // namespace

int main() {
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, sizeof self);
    char cwd[MAX_PATH] = {0};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const std::string pid = Decimal(GetCurrentProcessId());

    const std::string path = RecordPath();
    const std::string start = "start\t" + pid + "\t" + Decimal(Ticks(created)) + "\t" + self + "\t" +
                              GetCommandLineA() + "\t" + cwd + "\t" + Decimal(startup.dwFlags) + "\t" +
                              Decimal(startup.wShowWindow) + "\t" + Console() + "\r\n";
    if (!Append(path, start)) return 3;

    const Behaviour behaviour = BehaviourOf(self);
    if (behaviour.run_ms > 0) {
        HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, "TvxStandinQuit");
        if (quit) {
            WaitForSingleObject(quit, behaviour.run_ms);
            CloseHandle(quit);
        } else {
            Sleep(behaviour.run_ms);
        }
    }

    const std::string end = "end\t" + pid + "\t" + Decimal(Now()) + "\t" + Decimal(behaviour.exit_code) + "\r\n";
    if (!Append(path, end)) return 3;
    return behaviour.exit_code;
}
