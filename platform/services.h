// Service control manager calls (advapi32, ANSI forms).
#pragma once

#include "platform/seam.h"

#define TVX_SERVICES_CALLS(X)                                                                        \
    X(Services, SC_HANDLE, OpenSCManagerA,                                                         \
      (LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess),                        \
      (lpMachineName, lpDatabaseName, dwDesiredAccess), Null)                                      \
    X(Services, SC_HANDLE, OpenServiceA,                                                           \
      (SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess),                         \
      (hSCManager, lpServiceName, dwDesiredAccess), Null)                                          \
    X(Services, BOOL, QueryServiceStatus, (SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus),  \
      (hService, lpServiceStatus), Bool)                                                           \
    X(Services, BOOL, ControlService,                                                              \
      (SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus),                     \
      (hService, dwControl, lpServiceStatus), Bool)                                                \
    X(Services, BOOL, StartServiceA,                                                               \
      (SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors),                   \
      (hService, dwNumServiceArgs, lpServiceArgVectors), Bool)                                     \
    X(Services, BOOL, CloseServiceHandle, (SC_HANDLE hSCObject), (hSCObject), None)

TVX_DECLARE_FAMILY(Services, TVX_SERVICES_CALLS)
