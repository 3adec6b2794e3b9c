// The scenario's account under Wine. Wine's user is always an administrator; for a scenario whose
// user is not, the harness answers the co-installer's own calls that need an administrator as
// Windows answers a standard user: by patching the loaded DLL's import table (never the DLL's
// file), so that those calls pass through checks of the harness before they reach Wine. Win32 only.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_sdk.h"

namespace tvx::wine {

// Makes the calls of the loaded co-installer act for a standard user: opening the service control
// manager with more than connect, enumerate and read rights, opening or creating a key below
// HKEY_LOCAL_MACHINE with any write right, creating such a key, setting or deleting a value of
// HKEY_LOCAL_MACHINE itself, deleting a key below it, and opening a device's key with a write
// right all fail with ERROR_ACCESS_DENIED (5). Answers the names of the imports it replaced.
std::vector<std::string> ActAsStandardUser(HMODULE coinstaller);

}  // namespace tvx::wine
