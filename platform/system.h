// Kernel services that are not files: version, last error and its message text, time, debug output,
// and the conversion of ANSI text to wide text.
#pragma once

#include <cstdarg>

#include "platform/seam.h"

#define TVX_SYSTEM_CALLS(X)                                                                          \
    X(System, BOOL, GetVersionExA, (LPOSVERSIONINFOA lpVersionInformation),                         \
      (lpVersionInformation), Bool)                                                                \
    X(System, DWORD, GetLastError, (), (), None)                                                   \
    X(System, void, SetLastError, (DWORD dwErrCode), (dwErrCode), None)                            \
    X(System, DWORD, FormatMessageA,                                                               \
      (DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,     \
       DWORD nSize, va_list* Arguments),                                                           \
      (dwFlags, lpSource, dwMessageId, dwLanguageId, lpBuffer, nSize, Arguments), Zero)            \
    X(System, HLOCAL, LocalFree, (HLOCAL hMem), (hMem), None)                                      \
    X(System, DWORD, GetTickCount, (), (), None)                                                   \
    X(System, void, Sleep, (DWORD dwMilliseconds), (dwMilliseconds), None)                         \
    X(System, void, GetLocalTime, (LPSYSTEMTIME lpSystemTime), (lpSystemTime), None)               \
    X(System, void, OutputDebugStringA, (LPCSTR lpOutputString), (lpOutputString), None)           \
    X(System, int, MultiByteToWideChar,                                                            \
      (UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,  \
       int cchWideChar),                                                                           \
      (CodePage, dwFlags, lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar), Zero)

TVX_DECLARE_FAMILY(System, TVX_SYSTEM_CALLS)
