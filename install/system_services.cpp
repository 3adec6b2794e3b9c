// The still-image service restart and the system-setup test. Portable logic.
#include "install/system_services.h"

#include "platform/all.h"
#include "platform/scoped.h"

namespace {

// The still-image monitor's window, and the message that makes it reread the device events.
constexpr const char* kStillImageWindowClass = "STIExe_Window_Class";
constexpr UINT kStillImageRefreshMessage = WM_USER + 201;
constexpr const char* kStillImageService = "stisvc";
constexpr DWORD kStopPollMs = 5000;
constexpr DWORD kStopLimitMs = 20000;

// 0: not read yet; 1: read, setup not in progress (or unreadable); 2: setup in progress.
int g_SystemSetupState = 0;

}  // namespace

int RestartStillImageService() {
    if (HWND hWnd = plat::FindWindowA(kStillImageWindowClass, nullptr)) {
        plat::PostMessageA(hWnd, kStillImageRefreshMessage, 2, 2);
        return 1;
    }
    plat::ScopedService manager(plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return 1;
    plat::ScopedService service(plat::OpenServiceA(manager.get(), kStillImageService, SERVICE_ALL_ACCESS));
    if (!service) return 1;

    SERVICE_STATUS status{};
    if (!plat::QueryServiceStatus(service.get(), &status) || status.dwCurrentState != SERVICE_RUNNING) return 1;
    if (!plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return 1;

    // Elapsed time is the unsigned 32-bit difference of tick counts, so a count that wraps during
    // the wait neither ends it early nor makes it endless. A status that cannot be read counts as
    // not yet stopped.
    const DWORD dwStart = plat::GetTickCount();
    for (;;) {
        plat::Sleep(kStopPollMs);
        SERVICE_STATUS now{};
        if (plat::QueryServiceStatus(service.get(), &now) && now.dwCurrentState == SERVICE_STOPPED) break;
        if (static_cast<DWORD>(plat::GetTickCount() - dwStart) >= kStopLimitMs) break;
    }
    // Started whether or not it reported stopped; the result is not needed.
    plat::StartServiceA(service.get(), 0, nullptr);
    return 1;
}

bool IsSystemSetupInProgress() {
    if (g_SystemSetupState == 0) {
        g_SystemSetupState = 1;
        plat::ScopedKey key;
        if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\Setup", 0, KEY_READ, key.out(HKEY_LOCAL_MACHINE)) ==
            ERROR_SUCCESS) {
            // Only the lowest byte counts, whatever the value's type.
            BYTE data[4] = {0, 0, 0, 0};
            DWORD cbData = sizeof data;
            if (plat::RegQueryValueExA(key.get(), "SystemSetupInProgress", nullptr, nullptr, data, &cbData) ==
                    ERROR_SUCCESS &&
                data[0] != 0)
                g_SystemSetupState = 2;
        }
    }
    return g_SystemSetupState == 2;
}

void ForgetSystemSetupReading() { g_SystemSetupState = 0; }
