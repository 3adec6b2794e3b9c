// Registry calls (advapi32, ANSI forms). Registry calls return their status and never touch the
// thread's last error.
#pragma once

#include "platform/seam.h"

#define TVX_REGISTRY_CALLS(X)                                                                          \
    X(Registry, LSTATUS, RegOpenKeyA, (HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult),                \
      (hKey, lpSubKey, phkResult), Status)                                                         \
    X(Registry, LSTATUS, RegOpenKeyExA,                                                            \
      (HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult),            \
      (hKey, lpSubKey, ulOptions, samDesired, phkResult), Status)                                  \
    X(Registry, LSTATUS, RegCreateKeyExA,                                                          \
      (HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,                 \
       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,             \
       LPDWORD lpdwDisposition),                                                                   \
      (hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired, lpSecurityAttributes, phkResult,  \
       lpdwDisposition),                                                                           \
      Status)                                                                                      \
    X(Registry, LSTATUS, RegCloseKey, (HKEY hKey), (hKey), None)                                   \
    X(Registry, LSTATUS, RegQueryValueExA,                                                         \
      (HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,           \
       LPDWORD lpcbData),                                                                          \
      (hKey, lpValueName, lpReserved, lpType, lpData, lpcbData), Status)                           \
    X(Registry, LSTATUS, RegSetValueExA,                                                           \
      (HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,            \
       DWORD cbData),                                                                              \
      (hKey, lpValueName, Reserved, dwType, lpData, cbData), Status)                               \
    X(Registry, LSTATUS, RegDeleteValueA, (HKEY hKey, LPCSTR lpValueName), (hKey, lpValueName),    \
      Status)                                                                                      \
    X(Registry, LSTATUS, RegDeleteKeyA, (HKEY hKey, LPCSTR lpSubKey), (hKey, lpSubKey), Status)    \
    X(Registry, LSTATUS, RegDeleteKeyExA,                                                          \
      (HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved),                             \
      (hKey, lpSubKey, samDesired, Reserved), Status)                                              \
    X(Registry, LSTATUS, RegEnumKeyExA,                                                            \
      (HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,              \
       LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime),                            \
      (hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime),      \
      Status)                                                                                      \
    X(Registry, LSTATUS, RegEnumValueA,                                                            \
      (HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,    \
       LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData),                                           \
      (hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData), Status)  \
    X(Registry, LSTATUS, RegQueryInfoKeyA,                                                         \
      (HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,       \
       LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,                       \
       LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,       \
       PFILETIME lpftLastWriteTime),                                                               \
      (hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen,       \
       lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor, lpftLastWriteTime), \
      Status)

TVX_DECLARE_FAMILY(Registry, TVX_REGISTRY_CALLS)
