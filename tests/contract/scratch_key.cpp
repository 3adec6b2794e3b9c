// Scratch registry keys for contract cases. Portable: written against plat:: only.
#include "tests/contract/scratch_key.h"

#include "tests/contract/check.h"

namespace contract {

LSTATUS DeleteTree(HKEY root, const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    LSTATUS status = plat::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key);
    if (status != ERROR_SUCCESS) return status;
    for (;;) {
        char name[256];
        DWORD cch = sizeof name;
        // Always the first child: the previous one is gone by now.
        if (plat::RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(root, path + "\\" + name, view) != ERROR_SUCCESS) break;
    }
    plat::RegCloseKey(key);
    return plat::RegDeleteKeyExA(root, path.c_str(), view, 0);
}

std::string ScratchPath(const std::string& name) { return "Software\\TvxContract\\" + name; }

ScratchKey::ScratchKey(HKEY root, std::string path, REGSAM view) : root_(root), path_(std::move(path)), view_(view) {
    DeleteTree(root_, path_, view_);
    DWORD disposition = 0;
    LSTATUS status = plat::RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS | view_, nullptr, &key_, &disposition);
    if (!CHECK_EQ(status, ERROR_SUCCESS) || !CHECK_EQ(disposition, REG_CREATED_NEW_KEY)) {
        if (status == ERROR_SUCCESS) plat::RegCloseKey(key_);
        key_ = nullptr;
        throw CaseAborted{};
    }
}

ScratchKey::~ScratchKey() {
    plat::RegCloseKey(key_);
    DeleteTree(root_, path_, view_);
    // The suite's own parent key goes too once the last case's key is gone (refused while others
    // remain); no other parent is ever touched.
    const std::string kOwnParent = "\\TvxContract";
    const size_t cut = path_.rfind('\\');
    if (cut != std::string::npos && cut >= kOwnParent.size() &&
        path_.compare(cut - kOwnParent.size(), kOwnParent.size(), kOwnParent) == 0)
        plat::RegDeleteKeyExA(root_, path_.substr(0, cut).c_str(), view_, 0);
}

}  // namespace contract
