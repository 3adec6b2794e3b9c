// The simulated system services: version, last error, message texts, clock, debug output, ANSI to
// wide text (Windows-1252).
// Simulated machine only.
#include "platform/sim/system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/host/call_layer.h"
#include "platform/sim/process.h"  // WaitsForever
#include "platform/text/ansi.h"

namespace plat::sim {

std::string SystemMessageText(DWORD code) {
    static const struct {
        DWORD code;
        const char* text;
    } kTexts[] = {
        {0, "The operation completed successfully."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough storage is available to process this command."},
        {13, "The data is invalid."},
        {18, "There are no more files."},
        {21, "The device is not ready."},
        {24, "The program issued a command but the command length is incorrect."},
        {32, "The process cannot access the file because it is being used by another process."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {120, "This function is not supported on this system."},
        {122, "The data area passed to a system call is too small."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {144, "The directory is not a subdirectory of the root directory."},
        {145, "The directory is not empty."},
        {161, "The specified path is invalid."},
        {183, "Cannot create a file when that file already exists."},
        {234, "More data is available."},
        {259, "No more data is available."},
        {267, "The directory name is invalid."},
        {487, "Attempt to access invalid address."},
        {998, "Invalid access to memory location."},
        {1004, "Invalid flags."},
        {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
        {1052, "The requested control is not valid for this service."},
        {1053, "The service did not respond to the start or control request in a timely fashion."},
        {1056, "An instance of the service is already running."},
        {1060, "The specified service does not exist as an installed service."},
        {1061, "The service cannot accept control messages at this time."},
        {1062, "The service has not been started."},
        {1065, "The database specified does not exist."},
        {1077, "No attempts to start the service have been made since the last boot."},
        {1400, "Invalid window handle."},
        {1407, "Cannot find window class."},
        {1784, "The supplied user buffer is not valid for the requested operation."},
    };
    for (const auto& t : kTexts)
        if (t.code == code) return std::string(t.text) + "\r\n";
    return "";
}

SimSystem::SimSystem(HandleTable& handles, const MachineProfile& profile, VirtualClock& clock)
    : handles_(handles), profile_(profile), clock_(clock) {}

BOOL SimSystem::GetVersionExA(LPOSVERSIONINFOA info) {
    if (!info) {
        last_error_ = ERROR_NOACCESS;
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
        last_error_ = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    const OsVersion& os = profile_.os;
    info->dwMajorVersion = os.major;
    info->dwMinorVersion = os.minor;
    info->dwBuildNumber = os.build;
    info->dwPlatformId = os.platform_id;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, os.csd.c_str(), sizeof info->szCSDVersion - 1);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(info);
        // NT reports the service pack its text names ("Service Pack 2" is 2.0).
        unsigned major = 0, minor = 0;
        if (os.platform_id == VER_PLATFORM_WIN32_NT)
            std::sscanf(os.csd.c_str(), "Service Pack %u.%u", &major, &minor);
        ex->wServicePackMajor = static_cast<WORD>(major);
        ex->wServicePackMinor = static_cast<WORD>(minor);
        ex->wSuiteMask = 0;
        ex->wProductType = os.product_type;
        ex->wReserved = 0;
    }
    return TRUE;
}

DWORD SimSystem::FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize,
                                va_list*) {
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM)) {
        last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
        return 0;
    }
    std::string text = SystemMessageText(dwMessageId);
    if (text.empty()) {
        last_error_ = ERROR_MR_MID_NOT_FOUND;
        return 0;
    }
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        size_t bytes = std::max<size_t>(text.size() + 1, nSize);
        char* block = static_cast<char*>(std::malloc(bytes));
        std::memcpy(block, text.c_str(), text.size() + 1);
        handles_.AddAt(reinterpret_cast<uintptr_t>(block), HandleKind::LocalMemory,
                       std::shared_ptr<void>(block, std::free), "FormatMessageA buffer");
        *reinterpret_cast<char**>(lpBuffer) = block;
        return static_cast<DWORD>(text.size());
    }
    if (!lpBuffer || nSize < text.size() + 1) {
        last_error_ = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

HLOCAL SimSystem::LocalFree(HLOCAL hMem) {
    if (!hMem) return nullptr;
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(hMem), HandleKind::LocalMemory)) {
        last_error_ = ERROR_INVALID_HANDLE;
        return hMem;
    }
    return nullptr;
}

DWORD SimSystem::GetTickCount() { return static_cast<DWORD>(tick_start_ + clock_.now_ms()); }

void SimSystem::Sleep(DWORD ms) {
    if (ms == INFINITE) throw WaitsForever("Sleep(INFINITE): the thread sleeps forever");
    clock_.Advance(ms);
}

void SimSystem::GetLocalTime(LPSYSTEMTIME st) {
    if (st) *st = clock_.LocalTime();
}

void SimSystem::OutputDebugStringA(LPCSTR text) { debug_output_.emplace_back(text ? text : ""); }

int SimSystem::MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                   LPWSTR lpWideCharStr, int cchWideChar) {
    auto fail = [this](DWORD code) {
        last_error_ = code;
        return 0;
    };
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar && !lpWideCharStr))
        return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | 0x2 /* MB_COMPOSITE */ | 0x4 /* MB_USEGLYPHCHARS */ |
                                      MB_ERR_INVALID_CHARS))
        return fail(ERROR_INVALID_FLAGS);
    if (CodePage != CP_ACP && CodePage != CP_THREAD_ACP && CodePage != text::kAnsiCodePage) {
        plat::host::Layer().NoteNotModelled("MultiByteToWideChar with a code page other than Windows-1252");
        return fail(plat::host::kNotModelled);
    }
    // A negative count means a NUL-terminated text, its NUL converted as well.
    size_t count = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (cchWideChar == 0) return static_cast<int>(count);
    // Every byte has a unit in Windows-1252, so MB_ERR_INVALID_CHARS never refuses one.
    size_t room = static_cast<size_t>(cchWideChar);
    for (size_t i = 0; i < count && i < room; ++i)
        lpWideCharStr[i] = text::AnsiUnit(static_cast<unsigned char>(lpMultiByteStr[i]));
    if (count > room) return fail(ERROR_INSUFFICIENT_BUFFER);
    return static_cast<int>(count);
}

}  // namespace plat::sim
