// Processes and the kernel-object handle calls: starting a program, waiting for a process, closing
// a process, thread or event handle (kernel32, ANSI forms).
#pragma once

#include "platform/seam.h"

#define TVX_PROCESS_CALLS(X)                                                                         \
    X(Process, BOOL, CreateProcessA,                                                               \
      (LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,   \
       LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,      \
       LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,              \
       LPPROCESS_INFORMATION lpProcessInformation),                                                \
      (lpApplicationName, lpCommandLine, lpProcessAttributes, lpThreadAttributes, bInheritHandles, \
       dwCreationFlags, lpEnvironment, lpCurrentDirectory, lpStartupInfo, lpProcessInformation),   \
      Bool)                                                                                        \
    X(Process, DWORD, WaitForSingleObject, (HANDLE hHandle, DWORD dwMilliseconds),                 \
      (hHandle, dwMilliseconds), MinusOne)                                                         \
    X(Process, BOOL, GetExitCodeProcess, (HANDLE hProcess, LPDWORD lpExitCode),                    \
      (hProcess, lpExitCode), Bool)                                                                \
    X(Process, BOOL, CloseHandle, (HANDLE hObject), (hObject), Bool)

TVX_DECLARE_FAMILY(Process, TVX_PROCESS_CALLS)
