// INI-file queries (kernel32, ANSI form), used to read the driver INF.
#pragma once

#include "platform/seam.h"

#define TVX_INI_CALLS(X)                                                                             \
    X(Ini, DWORD, GetPrivateProfileStringA,                                                        \
      (LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString, DWORD nSize,  \
       LPCSTR lpFileName),                                                                         \
      (lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize, lpFileName), Zero)

TVX_DECLARE_FAMILY(Ini, TVX_INI_CALLS)
