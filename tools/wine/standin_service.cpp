// A stand-in for a Windows service (the still-image service "stisvc" of a scenario): a service
// program of its own process that records every state it enters, and answers a stop request as
// the scenario says. Win32 only; built by the cross compiler and registered by the Wine harness.
//
//   tvx-standin-service.exe NAME RECORD TRANSITION_MS MODE
// NAME is the service's name, RECORD the file it appends to, TRANSITION_MS the real time a start
// or a stop stays pending, MODE "normal", "refuses-stop" (the stop control is not accepted, so the
// service manager refuses it with 1052) or "never-stops" (a stop request leaves it stop pending
// for good). Each line of the record is the service's name, TAB, the state it entered ("start
// pending", "running", "stop pending", "stopped"), TAB, the time (FILETIME, decimal), CR LF.
// The harness ends a service that never stops by setting the named event "TvxStandinQuit".
#include <cstdlib>
#include <string>

#include "platform/win32/windows_sdk.h"

namespace {

std::string g_name;
std::string g_record;
DWORD g_transition_ms = 0;
std::string g_mode;
SERVICE_STATUS_HANDLE g_status_handle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_stop = nullptr;  // set by the control handler on a stop request the service takes

const char* StateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED: return "stopped";
        case SERVICE_START_PENDING: return "start pending";
        case SERVICE_STOP_PENDING: return "stop pending";
        case SERVICE_RUNNING: return "running";
        default: return "other";
    }
}

void Record(DWORD state) {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::string line = g_name + "\t" + StateName(state) + "\t" + std::to_string(ticks) + "\r\n";
    HANDLE file = CreateFileA(g_record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

// Enters a state: recorded first, so that the record is complete by the time anyone can see the
// state.
void Enter(DWORD state) {
    Record(state);
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted =
        state == SERVICE_RUNNING && g_mode != "refuses-stop" ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWaitHint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? g_transition_ms + 1000 : 0;
    ++g_status.dwCheckPoint;
    SetServiceStatus(g_status_handle, &g_status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
    if (control != SERVICE_CONTROL_STOP || g_mode == "refuses-stop") return ERROR_CALL_NOT_IMPLEMENTED;
    if (g_status.dwCurrentState != SERVICE_RUNNING) return NO_ERROR;
    // Stop pending before the handler returns: the requester's reply already says so.
    Enter(SERVICE_STOP_PENDING);
    SetEvent(g_stop);
    return NO_ERROR;
}

// Waits `ms`, or until the harness ends the run.
void Pause(DWORD ms) {
    HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, "TvxStandinQuit");
    if (!quit) {
        Sleep(ms);
        return;
    }
    WaitForSingleObject(quit, ms);
    CloseHandle(quit);
}

void WINAPI Main(DWORD, LPSTR*) {
    g_status_handle = RegisterServiceCtrlHandlerExA(g_name.c_str(), Control, nullptr);
    if (!g_status_handle) return;
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Enter(SERVICE_START_PENDING);
    Pause(g_transition_ms);
    Enter(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    // A service that never stops stays stop pending until the harness ends the run.
    Pause(g_mode == "never-stops" ? INFINITE : g_transition_ms);
    Enter(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    g_name = argv[1];
    g_record = argv[2];
    g_transition_ms = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    g_mode = argv[4];
    SERVICE_TABLE_ENTRYA table[] = {{g_name.data(), Main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
