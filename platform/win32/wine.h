// Whether this Windows process runs under Wine, for the test programs that compare Wine with
// Windows. Win32 only; the shipped DLL does not use it.
#pragma once

#include "platform/win32/windows_sdk.h"

namespace plat::win32 {

inline bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace plat::win32
