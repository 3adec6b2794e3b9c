// A stand-in for a program on the install disc (the disc's setup program, the firmware update
// tool): it appends one line to a record file saying how it was started, and exits. Win32 only;
// built by the cross compiler and run under Wine.
//
// The record file is named by TVX_PROGRAM_RECORD, else "tvx-programs.txt" in the temporary folder.
// Each line is: the program's own path, TAB, the command line as GetCommandLineA gives it, TAB,
// the current directory, CR LF. The exit status is the one TVX_PROGRAM_EXIT_CODES gives for the
// program's own path ("D:\setup.exe=0;D:\fwUpdate\tool.exe=3", paths compared without regard to
// case), else TVX_PROGRAM_EXIT_CODE, else 0; a record that cannot be written makes the program fail
// with 3 instead, so that a lost record shows.
#include <cstdlib>
#include <string>

#include "platform/win32/windows_sdk.h"

namespace {

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

// The exit status the environment asks of the program at `self`.
int ExitCode(const std::string& self) {
    const std::string table = Environment("TVX_PROGRAM_EXIT_CODES");
    size_t start = 0;
    while (start < table.size()) {
        size_t end = table.find(';', start);
        if (end == std::string::npos) end = table.size();
        const std::string entry = table.substr(start, end - start);
        const size_t eq = entry.rfind('=');
        if (eq != std::string::npos && lstrcmpiA(entry.substr(0, eq).c_str(), self.c_str()) == 0)
            return static_cast<int>(std::strtoul(entry.c_str() + eq + 1, nullptr, 0));
        start = end + 1;
    }
    const std::string code = Environment("TVX_PROGRAM_EXIT_CODE");
    return code.empty() ? 0 : static_cast<int>(std::strtoul(code.c_str(), nullptr, 0));
}

}  // namespace

int main() {
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, sizeof self);
    char cwd[MAX_PATH] = {0};
    GetCurrentDirectoryA(sizeof cwd, cwd);

    std::string line = std::string(self) + "\t" + GetCommandLineA() + "\t" + cwd + "\r\n";

    const std::string path = RecordPath();
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "stand-in: cannot open record file %s: error %lu\n", path.c_str(), GetLastError());
        return 3;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != line.size()) {
        std::fprintf(stderr, "stand-in: cannot write record file %s: error %lu\n", path.c_str(), GetLastError());
        return 3;
    }

    return ExitCode(self);
}
