// The setup extension's registry wrappers: read a value, write a string value, remove a key.
// Portable logic.
#include <cstdio>

#include "core/setup_extension.h"
#include "platform/scoped.h"

bool CSetupExtension::ReadRegistryValue(HKEY hRootKey, LPCSTR lpSubKey, LPCSTR lpValueName, LPBYTE lpData,
                                        DWORD cbData) {
    HKEY hKey = nullptr;
    if (plat::RegOpenKeyA(hRootKey, lpSubKey, &hKey) != ERROR_SUCCESS) return false;
    // With an empty path RegOpenKeyA hands back the caller's own key, which stays the caller's to
    // close; only a key opened here is closed here.
    plat::ScopedKey opened(hKey, hRootKey);
    DWORD cbSize = cbData;
    return plat::RegQueryValueExA(hKey, lpValueName, nullptr, nullptr, lpData, &cbSize) == ERROR_SUCCESS;
}

bool CSetupExtension::WriteRegistryString(HKEY hRootKey, LPCSTR lpSubKey, LPCSTR lpValueName, LPCSTR lpText,
                                          DWORD cbData) {
    HKEY hKey = nullptr;
    if (plat::RegOpenKeyA(hRootKey, lpSubKey, &hKey) != ERROR_SUCCESS) {
        hKey = nullptr;
        if (plat::RegCreateKeyExA(hRootKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &hKey, nullptr) != ERROR_SUCCESS)
            return false;
    }
    plat::ScopedKey opened(hKey, hRootKey);
    return plat::RegSetValueExA(hKey, lpValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpText), cbData) ==
           ERROR_SUCCESS;
}

LONG CSetupExtension::DeleteRegistryKey(HKEY hRootKey, LPCSTR lpParentPath, LPCSTR lpKeyName) {
    plat::ScopedKey parent;
    LONG status =
        plat::RegOpenKeyExA(hRootKey, lpParentPath, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, parent.out(hRootKey));
    if (status != ERROR_SUCCESS) {
        if (m_pLogger) m_pLogger->Print("RegOpenKeyEx returned %d while opening %s", static_cast<int>(status),
                                        lpParentPath ? lpParentPath : "");
        return status;
    }
    status = plat::RegDeleteKeyExA(parent.get(), lpKeyName, KEY_WOW64_32KEY, 0);
    if (status != ERROR_SUCCESS && m_pLogger) {
        // The full path is cut to its buffer rather than written past it.
        char szFullPath[272];
        std::snprintf(szFullPath, sizeof szFullPath, "%s\\%s", lpParentPath ? lpParentPath : "",
                      lpKeyName ? lpKeyName : "");
        m_pLogger->Print("RegDeleteKey returned %d while removing %s", static_cast<int>(status), szFullPath);
    }
    return status;
}
