// Named events (kernel32, ANSI forms). Their handles close with CloseHandle (platform/process.h).
#pragma once

#include "platform/seam.h"

#define TVX_SYNC_CALLS(X)                                                                            \
    X(Sync, HANDLE, CreateEventA,                                                                  \
      (LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,             \
       LPCSTR lpName),                                                                             \
      (lpEventAttributes, bManualReset, bInitialState, lpName), Null)                              \
    X(Sync, HANDLE, OpenEventA, (DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName),       \
      (dwDesiredAccess, bInheritHandle, lpName), Null)                                             \
    X(Sync, BOOL, SetEvent, (HANDLE hEvent), (hEvent), Bool)

TVX_DECLARE_FAMILY(Sync, TVX_SYNC_CALLS)
