// GetParams: one registry key, named by a root key and a subkey path, read and written in the
// 32-bit registry view with full access. Portable logic.
#pragma once

#include <string>

#include "platform/all.h"

// Holds no open key between calls: every operation opens (or creates) the key, does its work and
// closes it again. A root given by the caller stays the caller's to keep open and to close.
// Results: 0 for success, 1 for failure.
class GetParams {
public:
    // The root is unset and stands for HKEY_LOCAL_MACHINE.
    explicit GetParams(const char* path);
    GetParams(HKEY hRootKey, const std::string& path);
    virtual ~GetParams() = default;

    // Points the object at another path below the same root.
    void SetPath(const char* path);

    // With an empty name: 0 when the key has a default value (the destination is left alone).
    // Otherwise reads the value, at most 259 characters of text up to its first NUL, into the
    // destination; a REG_BINARY value is read as text. 1 when the key or value is missing or the
    // value is longer than 260 bytes; the destination is then unchanged.
    int ReadString(const std::string& name, std::string& out);
    // Stores the text as REG_SZ with its NUL, creating the key and its parents as needed. 0 once
    // the key is open: the store itself is not checked.
    int WriteString(const std::string& name, const std::string& text);

    const std::string& Path() const { return m_Path; }

private:
    static constexpr REGSAM kAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;
    static constexpr DWORD kValueBufferSize = 260;

    HKEY EffectiveRoot() const;

    HKEY m_hRootKey;     // the all-ones value: unset
    std::string m_Path;
};
