// GetParams. Portable logic.
#include "registry/get_params.h"

#include "platform/scoped.h"

namespace {
const HKEY kUnsetRoot = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(-1));
}  // namespace

GetParams::GetParams(const char* path) : m_hRootKey(kUnsetRoot) { SetPath(path); }

GetParams::GetParams(HKEY hRootKey, const std::string& path) : m_hRootKey(hRootKey) { SetPath(path.c_str()); }

void GetParams::SetPath(const char* path) { m_Path = path ? path : ""; }

HKEY GetParams::EffectiveRoot() const { return m_hRootKey == kUnsetRoot ? HKEY_LOCAL_MACHINE : m_hRootKey; }

int GetParams::ReadString(const std::string& name, std::string& out) {
    plat::ScopedKey key;
    if (plat::RegOpenKeyExA(EffectiveRoot(), m_Path.c_str(), 0, kAccess, key.out(EffectiveRoot())) != ERROR_SUCCESS)
        return 1;

    if (name.empty())
        return plat::RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS
                   ? 0
                   : 1;

    BYTE data[kValueBufferSize] = {0};
    DWORD dwType = REG_NONE;
    DWORD cbData = kValueBufferSize;
    if (plat::RegQueryValueExA(key.get(), name.c_str(), nullptr, &dwType, data, &cbData) != ERROR_SUCCESS) return 1;
    if (dwType == REG_BINARY) data[cbData < kValueBufferSize ? cbData : kValueBufferSize - 1] = 0;

    size_t length = 0;
    while (length < kValueBufferSize - 1 && data[length] != 0) ++length;
    out.assign(reinterpret_cast<const char*>(data), length);
    return 0;
}

int GetParams::WriteString(const std::string& name, const std::string& text) {
    plat::ScopedKey key;
    char szClass[1] = {0};
    if (plat::RegCreateKeyExA(EffectiveRoot(), m_Path.c_str(), 0, szClass, 0, kAccess, nullptr,
                              key.out(EffectiveRoot()), nullptr) != ERROR_SUCCESS)
        return 1;
    plat::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
    return 0;
}
