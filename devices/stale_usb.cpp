// The stale USB enumeration cleanup and the resumable subkey walk it uses. Portable logic.
#include "devices/stale_usb.h"

#include <cstring>
#include <string>

#include "core/setup_extension.h"
#include "platform/scoped.h"

namespace {

// One enumeration in progress. A context in use holds its key open; a free one holds nothing.
struct SubkeyContext {
    bool inUse = false;
    plat::ScopedKey key;
    DWORD nextIndex = 0;
    DWORD recordedCount = 0;  // subkeys when the key was (re)opened, lowered as subkeys disappear
    DWORD currentCount = 0;   // subkeys at the latest step
    std::string path;         // the subkey path of the latest successful step
};

// Process-wide, used only from the thread that runs the install flow. Entry 0 stays unused: the
// number 0 means that a caller has no context yet.
SubkeyContext g_Contexts[kSubkeyContexts];

// The number of subkeys of an open key; `fallback` when the key cannot tell.
DWORD SubkeyCount(HKEY key, DWORD fallback) {
    DWORD count = 0;
    if (plat::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr) != ERROR_SUCCESS)
        return fallback;
    return count;
}

// The lowest free context number; 0 when every context is in use.
DWORD TakeContextNumber() {
    for (DWORD number = 1; number < kSubkeyContexts; ++number)
        if (!g_Contexts[number].inUse) return number;
    return 0;
}

bool ValidContext(DWORD number) { return number > 0 && number < kSubkeyContexts && g_Contexts[number].inUse; }

}  // namespace

void ReleaseSubkeyContext(DWORD* context) {
    if (!context) return;
    if (ValidContext(*context)) {
        SubkeyContext& c = g_Contexts[*context];
        c.key.reset();
        c.path.clear();
        c.nextIndex = c.recordedCount = c.currentCount = 0;
        c.inUse = false;
    }
    *context = 0;
}

int EnumSubkeyStep(HKEY root, const char* subkeyPath, char* nameOut, DWORD* context) {
    // An empty path would make RegOpenKeyA hand back the root itself, which is the caller's.
    if (!subkeyPath || !*subkeyPath) {
        ReleaseSubkeyContext(context);
        return 0;
    }
    if (!ValidContext(*context)) {
        // A new walk. (A number that names no context in use is taken as none.)
        *context = 0;
        plat::ScopedKey key;
        if (plat::RegOpenKeyA(root, subkeyPath, key.out(root)) != ERROR_SUCCESS) return 0;
        const DWORD number = TakeContextNumber();
        // Every context in use: the walk cannot start; its key is closed again.
        if (number == 0) return 0;
        SubkeyContext& c = g_Contexts[number];
        c.inUse = true;
        c.key = std::move(key);
        c.nextIndex = 0;
        c.recordedCount = SubkeyCount(c.key.get(), 0);
        c.path.clear();
        *context = number;
    } else if (std::strcmp(subkeyPath, g_Contexts[*context].path.c_str()) != 0) {
        // The context moves to another key: the walk starts again there.
        SubkeyContext& c = g_Contexts[*context];
        c.nextIndex = 0;
        c.key.reset();
        if (plat::RegOpenKeyA(root, subkeyPath, c.key.out(root)) != ERROR_SUCCESS) {
            ReleaseSubkeyContext(context);
            return 0;
        }
        c.recordedCount = SubkeyCount(c.key.get(), 0);
    }

    SubkeyContext& c = g_Contexts[*context];
    c.currentCount = SubkeyCount(c.key.get(), c.recordedCount);
    if (c.currentCount < c.recordedCount) {
        // A subkey went away since the last step: the one that took its place sits at the index
        // just read, so read that index again. (Before the first read there is nothing to repeat.)
        c.recordedCount = c.currentCount;
        if (c.nextIndex > 0) --c.nextIndex;
    }

    DWORD cchName = MAX_PATH;
    const LSTATUS status =
        plat::RegEnumKeyExA(c.key.get(), c.nextIndex, nameOut, &cchName, nullptr, nullptr, nullptr, nullptr);
    ++c.nextIndex;
    if (status != ERROR_SUCCESS) {
        ReleaseSubkeyContext(context);
        return 0;
    }
    c.path = subkeyPath;
    return 1;
}

int CSetupExtension::RemoveStaleUsbEntries() {
    // Both walks give their contexts back however the cleanup ends.
    struct Contexts {
        DWORD outer = 0;
        DWORD inner = 0;
        ~Contexts() {
            ReleaseSubkeyContext(&inner);
            ReleaseSubkeyContext(&outer);
        }
    } contexts;

    char szDevice[MAX_PATH + 1] = {0};
    while (EnumSubkeyStep(HKEY_LOCAL_MACHINE, "Enum\\USB", szDevice, &contexts.outer)) {
        const std::string devicePath = std::string("Enum\\USB\\") + szDevice;
        if (std::strstr(szDevice, "VID_0000")) plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, devicePath.c_str());
        if (!std::strstr(szDevice, "VID_2E5A")) continue;

        char szInstance[MAX_PATH + 1] = {0};
        while (EnumSubkeyStep(HKEY_LOCAL_MACHINE, devicePath.c_str(), szInstance, &contexts.inner)) {
            const std::string instancePath = devicePath + "\\" + szInstance;
            // One byte beyond the 260 the value may fill keeps the text terminated.
            char szClass[MAX_PATH + 1] = {0};
            if (ReadRegistryValue(HKEY_LOCAL_MACHINE, instancePath.c_str(), "Class",
                                  reinterpret_cast<LPBYTE>(szClass), MAX_PATH) &&
                std::strcmp(szClass, "Unknown") == 0)
                plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, instancePath.c_str());
        }
    }
    return 0;
}
