// Small file helpers the contract cases share: whole files written and read through streams, and
// what a path is. Portable: written against plat:: only.
#pragma once

#include <string>

#include "platform/files.h"
#include "platform/scoped.h"
#include "tests/contract/check.h"
#include "platform/system.h"

namespace contract {


// Writes a whole file through a fresh "wb" stream.
inline bool WriteWhole(const std::string& path, const std::string& bytes) {
    plat::ScopedStream out(plat::_fsopen(path.c_str(), "wb", _SH_DENYNO));
    if (!out) return false;
    return plat::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
}

// The bytes of a file, read through a fresh "rb" stream (which other open streams allow).
inline std::string ReadWhole(const std::string& path) {
    plat::ScopedStream in(plat::_fsopen(path.c_str(), "rb", _SH_DENYNO));
    if (!in) return "<does not open>";
    std::string bytes;
    char buffer[256];
    size_t n;
    while ((n = plat::fread(buffer, 1, sizeof buffer, in.get())) > 0) bytes.append(buffer, n);
    return bytes;
}

inline bool IsFolder(const std::string& path) {
    const DWORD attributes = plat::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The status a missing path gives: 2 for a missing file, 3 when a folder on the way is missing.
inline DWORD MissingStatus(const std::string& path) {
    plat::SetLastError(kSentinelError);
    if (plat::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
    return plat::GetLastError();
}

}  // namespace contract
