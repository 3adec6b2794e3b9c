// Scratch folders on Windows (and Wine): made and removed with kernel32's own folder calls, which
// the seam does not carry. Win32 only (the cross build).
#include <string>

#include "platform/win32/windows_sdk.h"
#include "tests/contract/scratch_folder.h"

namespace contract {

void RemoveFolderTree(const std::string& windows_path) {
    WIN32_FIND_DATAA entry;
    HANDLE find = ::FindFirstFileA((windows_path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = windows_path + "\\" + name;
            // A link goes itself, never what it leads to: a link to a folder is removed as a
            // folder, without entering it.
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                ::RemoveDirectoryA(full.c_str());
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(full);
            } else {
                ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(full.c_str());
            }
        } while (::FindNextFileA(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(windows_path.c_str());
}

bool MakeEmptyFolder(const std::string& windows_path) {
    RemoveFolderTree(windows_path);
    return ::CreateDirectoryA(windows_path.c_str(), nullptr) != FALSE;
}

}  // namespace contract
