// Service control manager calls (advapi32, ANSI forms).
#pragma once

#include "platform/seam.h"

#define TVX_SERVICES_CALLS(X)                                                                        \
    X(Services, SC_HANDLE, OpenSCManagerA,                                                         \
      (LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess),                        \
      (lpMachineName, lpDatabaseName, dwDesiredAccess), Null)                                      \
    X(Services, BOOL, CloseServiceHandle, (SC_HANDLE hSCObject), (hSCObject), None)

TVX_DECLARE_FAMILY(Services, TVX_SERVICES_CALLS)
