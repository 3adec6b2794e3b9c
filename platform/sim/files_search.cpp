// The simulated files: searches of a folder by name or by Windows' wildcards, in the order NTFS
// lists a folder. Simulated machine only.
#include "platform/sim/files_internal.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/host/folder_names.h"
#include "platform/sim/wildcard.h"
#include "platform/text/names.h"

namespace plat::sim {
namespace fs = std::filesystem;
using namespace files_detail;
namespace {

// Windows drops trailing dots and blanks from the last name of a path.
std::string TrimTrailingDotsAndBlanks(std::string name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// A search in progress: the entries found, handed out one by one.
struct FindState {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

}  // namespace

HANDLE SimFiles::FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!lpFindFileData) {
        system_.SetLastError(ERROR_NOACCESS);
        return INVALID_HANDLE_VALUE;
    }
    std::string given = lpFileName;
    for (char& c : given)
        if (c == '/') c = '\\';
    const size_t slash = given.find_last_of('\\');
    const std::string mask = slash == std::string::npos ? (HasDrive(given) ? given.substr(2) : given)
                                                        : given.substr(slash + 1);
    const std::string folder_part =
        slash == std::string::npos ? (HasDrive(given) ? given.substr(0, 2) : std::string(".")) : given.substr(0, slash + 1);
    const std::string folder = FullPath(folder_part);

    if (!DriveOf(folder)) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (NotReady(folder)) return INVALID_HANDLE_VALUE;
    const bool folder_exists = IsFolder(folder);
    // A path that ends in a backslash names no file: 2 for a folder that exists, 3 for one that
    // does not.
    if (mask.empty()) {
        system_.SetLastError(folder_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!folder_exists) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    const bool wildcard = HasSearchWildcards(mask);
    const std::string wanted = wildcard ? DosSearchMask(mask) : TrimTrailingDotsAndBlanks(mask);
    // "dir\." or "dir\..": the path itself names a folder, found under its own name in its parent.
    if (!wildcard && (wanted.empty() || mask == "." || mask == "..")) {
        const std::string target = FullPath(given);
        if (target.size() <= 3) {  // a root has no entry of its own
            system_.SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        return FindFirstFileA(target.c_str(), lpFindFileData);
    }

    const Drive& drive = *DriveOf(folder);
    const fs::path host = *HostPath(folder);
    const bool root = folder.size() <= 3;
    std::vector<std::pair<std::string, fs::path>> names;
    if (!root) {
        names.emplace_back(".", host);
        names.emplace_back("..", host.parent_path());
    }
    std::vector<std::pair<std::string, fs::path>> children;
    std::error_code ec;
    plat::host::ForEachName(host, [&](std::string_view name) {
        children.emplace_back(std::string(name), host / name);
        return true;
    });
    // NTFS lists a folder in the order of its upper-cased names.
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return text::CompareNames(a.first, b.first) < 0; });
    names.insert(names.end(), children.begin(), children.end());

    auto state = std::make_shared<FindState>();
    for (const auto& [name, path] : names) {
        const bool match = wildcard ? MatchesDosMask(name, wanted) : text::EqualNames(name, wanted);
        if (!match) continue;
        WIN32_FIND_DATAA data{};
        const bool is_folder = IsFolderOrFolderLink(path);
        data.dwFileAttributes = AttributesOf(path);
        if (!is_folder && drive.type == DRIVE_CDROM) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
        if (!is_folder && !IsSymbolicLink(path)) {
            const uint64_t size = fs::file_size(path, ec);
            data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
            data.nFileSizeLow = static_cast<DWORD>(size);
        }
        std::strncpy(data.cFileName, name.c_str(), sizeof data.cFileName - 1);
        state->entries.push_back(data);
    }
    if (state->entries.empty()) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = state->entries[0];
    state->next = 1;
    return reinterpret_cast<HANDLE>(handles_.Add(HandleKind::Find, state, "search " + given));
}

BOOL SimFiles::FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto state = handles_.Get<FindState>(reinterpret_cast<uintptr_t>(hFindFile), HandleKind::Find);
    if (!state) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFindFileData) {
        system_.SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (state->next >= state->entries.size()) {
        system_.SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = state->entries[state->next++];
    return TRUE;
}

BOOL SimFiles::FindClose(HANDLE hFindFile) {
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(hFindFile), HandleKind::Find)) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // namespace plat::sim
