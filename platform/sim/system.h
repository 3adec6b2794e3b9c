// The simulated kernel services that are not files: the version the machine reports, the
// thread's last error and the system's message texts, memory blocks handed out by
// FormatMessageA, the virtual clock, debug output and the conversion of ANSI text (Windows-1252)
// to wide text. Simulated machine only.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/handles.h"
#include "platform/sim/profile.h"
#include "platform/system.h"

namespace plat::sim {

class SimSystem : public SystemBackend {
public:
    SimSystem(HandleTable& handles, const MachineProfile& profile, VirtualClock& clock);

    const std::vector<std::string>& debug_output() const { return debug_output_; }
    DWORD last_error() const { return last_error_; }

    BOOL GetVersionExA(LPOSVERSIONINFOA info) override;
    DWORD GetLastError() override { return last_error_; }
    void SetLastError(DWORD code) override { last_error_ = code; }
    DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                         DWORD nSize, va_list* Arguments) override;
    HLOCAL LocalFree(HLOCAL hMem) override;
    // Set-up: the tick count at virtual time 0 (so a run can cross the 32-bit wrap).
    void SetTickCountStart(DWORD ticks) { tick_start_ = ticks; }
    // The tick count at the start plus the virtual milliseconds, kept to 32 bits as Windows does.
    DWORD GetTickCount() override;
    // Advances the virtual clock; a sleep without end (INFINITE) stops the run (WaitsForever).
    void Sleep(DWORD ms) override;
    void GetLocalTime(LPSYSTEMTIME st) override;
    void OutputDebugStringA(LPCSTR text) override;
    // Windows-1252 is the machine's ANSI code page; another code page is not modelled.
    int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                            LPWSTR lpWideCharStr, int cchWideChar) override;

private:
    HandleTable& handles_;
    const MachineProfile& profile_;
    VirtualClock& clock_;
    DWORD last_error_ = 0;
    DWORD tick_start_ = 0;
    std::vector<std::string> debug_output_;
};

// The system's English text for a status, with its closing CR LF; empty when there is none.
std::string SystemMessageText(DWORD code);

}  // namespace plat::sim
