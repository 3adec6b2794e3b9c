// The Wine harness's access to the real registry: canonical paths to keys, values written with
// their exact bytes, whole trees deleted, a snapshot of the parts of the registry a run can change,
// and expectation lookups. Win32 only (the harness runs under Wine).
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_sdk.h"
#include "tools/scenario/expectations.h"
#include "tools/scenario/registry_snapshot.h"

namespace tvx::wine {

// The root key of a canonical path ("HKEY_LOCAL_MACHINE\...", a short hive name does too) and the
// path below it; false for a hive the harness does not know.
bool SplitRoot(const std::string& canonical, HKEY* root, std::string* rest);

// Stores exactly the given bytes (no terminator added behind the caller's back).
LSTATUS WriteValue(HKEY key, const RegistryValue& value);

// Deletes a key and everything below it, in the native view.
LSTATUS DeleteTree(HKEY root, const std::string& path);

// The registry as the report compares it: the machine's software key, the current control set and
// the user's software key, without the subtrees Wine keeps for itself (its configuration, the class
// registrations) and without symbolic links (the shared 32-bit keys), which would show one change
// twice.
RegistrySnapshot SnapshotRegistry();

// Expectations answered from the live registry after the run.
RegistryLookup LiveRegistryLookup();

}  // namespace tvx::wine
