// Scratch registry keys for contract cases, made and removed through plat:: only, so that the
// same code runs on the simulated machine and on Windows.
#pragma once

#include <string>

#include "platform/registry.h"

namespace contract {

// Deletes a key and every key below it; view is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY.
// Answers the status of deleting the key itself (2 when it did not exist).
LSTATUS DeleteTree(HKEY root, const std::string& path, REGSAM view = 0);

// A fresh, empty key below root (leftovers of an earlier run are deleted first), open with full
// access in the given view; it is closed and deleted with everything below it at the end.
class ScratchKey {
public:
    ScratchKey(HKEY root, std::string path, REGSAM view = 0);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY get() const { return key_; }
    HKEY root() const { return root_; }
    const std::string& path() const { return path_; }

private:
    HKEY root_;
    std::string path_;
    REGSAM view_;
    HKEY key_ = nullptr;
};

// The usual place for a case's scratch key: HKCU\Software\TvxContract\<name>.
std::string ScratchPath(const std::string& name);

}  // namespace contract
