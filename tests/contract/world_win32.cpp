// Programs and windows for contract cases on Windows (and Wine), made with kernel32 and user32
// calls the seam does not carry. Win32 only (the cross build).
//
// A placed program is a copy of the running contract program. Its path, exit code and run time go
// into the environment variable TVX_CONTRACT_PROGRAMS ("path|code|ms" entries separated by ';'),
// which the programs this one starts inherit; a copy that finds its own path there runs as that
// program instead of the suite.
#include <cstdlib>
#include <string>

#include "platform/win32/files.h"
#include "platform/win32/windows_sdk.h"
#include "tests/contract/check.h"
#include "tests/contract/world.h"

namespace contract {
namespace {

const char kProgramsVariable[] = "TVX_CONTRACT_PROGRAMS";

std::string Environment(const char* name) {
    const DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) return std::string();
    std::string value(n, '\0');
    const DWORD got = GetEnvironmentVariableA(name, value.data(), n);
    value.resize(got < n ? got : 0);
    return value;
}

std::string OwnPath() {
    char self[MAX_PATH + 1] = {0};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return self;
}

}  // namespace

void PlaceProgram(const std::string& windows_path, DWORD exit_code, DWORD run_ms) {
    if (!CopyFileA(OwnPath().c_str(), windows_path.c_str(), FALSE)) {
        ReportFailure(__FILE__, __LINE__,
                      "cannot place program " + windows_path + ": error " + std::to_string(GetLastError()));
        throw CaseAborted{};
    }
    const std::string entry = windows_path + "|" + std::to_string(exit_code) + "|" + std::to_string(run_ms);
    std::string table = Environment(kProgramsVariable);
    table = table.empty() ? entry : table + ";" + entry;
    SetEnvironmentVariableA(kProgramsVariable, table.c_str());
}

void PlantHardLink(const std::string& link_path, const std::string& existing_path) {
    if (!CreateHardLinkA(link_path.c_str(), existing_path.c_str(), nullptr)) {
        ReportFailure(__FILE__, __LINE__,
                      "cannot give " + existing_path + " the second name " + link_path + ": error " +
                          std::to_string(GetLastError()));
        throw CaseAborted{};
    }
}

// CreateSymbolicLinkA came with Windows Vista: it is looked up, as the pinned SDK version hides it.
// Unprivileged creation is asked for too (developer mode); a link is only taken as made when the
// name carries a reparse point afterwards.
bool PlantSymbolicLink(const std::string& link_path, const std::string& target_path, bool folder) {
    using CreateSymbolicLink = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    constexpr DWORD kFolder = 0x1, kUnprivileged = 0x2;
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    auto create = kernel32 ? reinterpret_cast<CreateSymbolicLink>(
                                 reinterpret_cast<void*>(GetProcAddress(kernel32, "CreateSymbolicLinkA")))
                           : nullptr;
    if (!create) return false;
    const DWORD flags = folder ? kFolder : 0;
    if (!create(link_path.c_str(), target_path.c_str(), flags | kUnprivileged))
        create(link_path.c_str(), target_path.c_str(), flags);
    const DWORD attributes = GetFileAttributesA(link_path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

BOOL SetFileInformationAsOnOlderSystems(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                        LPVOID lpFileInformation, DWORD dwBufferSize) {
    return plat::win32::SetFileInformationNative(hFile, FileInformationClass, lpFileInformation, dwBufferSize);
}

bool RunAsPlacedProgram(int* exit_code) {
    const std::string table = Environment(kProgramsVariable);
    if (table.empty()) return false;
    const std::string self = OwnPath();
    bool found = false;
    unsigned long code = 0, run_ms = 0;
    size_t start = 0;
    while (start <= table.size()) {
        size_t end = table.find(';', start);
        if (end == std::string::npos) end = table.size();
        const std::string entry = table.substr(start, end - start);
        const size_t bar1 = entry.find('|');
        const size_t bar2 = entry.find('|', bar1 == std::string::npos ? 0 : bar1 + 1);
        // The latest entry for a path wins: a case may place a program where an earlier one did.
        if (bar2 != std::string::npos && lstrcmpiA(entry.substr(0, bar1).c_str(), self.c_str()) == 0) {
            found = true;
            code = std::strtoul(entry.c_str() + bar1 + 1, nullptr, 10);
            run_ms = std::strtoul(entry.c_str() + bar2 + 1, nullptr, 10);
        }
        start = end + 1;
    }
    if (!found) return false;
    Sleep(run_ms);
    *exit_code = static_cast<int>(code);
    return true;
}

struct TopLevelWindow::State {
    std::string window_class;
    HWND hwnd = nullptr;
};

TopLevelWindow::TopLevelWindow(const std::string& window_class, const std::string& title)
    : state_(std::make_unique<State>()) {
    state_->window_class = window_class;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = state_->window_class.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ReportFailure(__FILE__, __LINE__, "cannot register window class " + window_class);
        throw CaseAborted{};
    }
    state_->hwnd = CreateWindowExA(0, state_->window_class.c_str(), title.c_str(), WS_OVERLAPPED, 0, 0, 100, 100,
                                   nullptr, nullptr, wc.hInstance, nullptr);
    if (!state_->hwnd) {
        ReportFailure(__FILE__, __LINE__, "cannot create a window of class " + window_class);
        throw CaseAborted{};
    }
}

TopLevelWindow::~TopLevelWindow() {
    if (state_->hwnd) DestroyWindow(state_->hwnd);
    UnregisterClassA(state_->window_class.c_str(), GetModuleHandleA(nullptr));
}

std::vector<PostedMessage> TopLevelWindow::TakeMessages() {
    std::vector<PostedMessage> messages;
    MSG msg;
    while (PeekMessageA(&msg, state_->hwnd, 0, 0, PM_REMOVE))
        messages.push_back(PostedMessage{msg.message, msg.wParam, msg.lParam});
    return messages;
}

}  // namespace contract

namespace contract {

// Windows (and Wine) always has root-enumerated system devices.
void EnsurePresentDevice() {}

}  // namespace contract
