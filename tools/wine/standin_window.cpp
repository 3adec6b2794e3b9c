// A stand-in for another program's top-level window (the still-image monitor's window of a
// scenario): it owns one window of the given class and title and records the messages posted to
// it. Win32 only; built by the cross compiler and started by the Wine harness.
//
//   tvx-standin-window.exe CLASS TITLE RECORD READY_EVENT
// Once the window exists the program sets the named event READY_EVENT. Each message of WM_USER or
// above that reaches the window is appended to RECORD as message, wParam and lParam in decimal,
// separated by TABs, CR LF, except the harness's own "flush" message (WM_APP + 0x3FF), which is
// recorded as the line "flush" followed by its wParam: a flush line says that every message posted
// before it has been recorded. WM_CLOSE ends the program.
#include <cstdlib>
#include <string>

#include "platform/win32/windows_sdk.h"

namespace {

constexpr UINT kFlush = WM_APP + 0x3FF;

std::string g_record;

void Append(const std::string& line) {
    HANDLE file = CreateFileA(g_record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kFlush) {
        Append("flush\t" + std::to_string(wparam) + "\r\n");
        return 0;
    }
    if (message >= WM_USER) {
        Append(std::to_string(message) + "\t" + std::to_string(static_cast<unsigned long long>(wparam)) + "\t" +
               std::to_string(static_cast<unsigned long long>(lparam)) + "\r\n");
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    g_record = argv[3];
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = argv[1];
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowExA(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window) return 1;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
