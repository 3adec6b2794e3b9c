// The TWAIN data source of a scanner instance: a file in a folder of its own below the Windows
// directory's TWAIN folder, both named after the instance number. Portable logic.
#include <cstring>
#include <string>

#include "core/setup_extension.h"

// Deletes the instance's data-source file, then its folder. Neither result is looked at: a missing
// file or folder is no error, and a folder that still holds other files stays. Always answers 1.
int CSetupExtension::RemoveTwainDataSource(const char* instanceNumber) {
    // Without an instance number the paths would name a "tvpn_" folder that belongs to no
    // instance; a forward slash would reach outside the instance's folder.
    if (!instanceNumber || !*instanceNumber || std::strchr(instanceNumber, '/')) return 1;
    char szWindows[MAX_PATH + 1] = {0};
    const UINT cchWindows = plat::GetWindowsDirectoryA(szWindows, MAX_PATH);
    // A directory that did not fit (or could not be read) would name some other folder.
    if (cchWindows == 0 || cchWindows >= MAX_PATH) return 1;

    const std::string szNumber = instanceNumber ? instanceNumber : "";
    const std::string szTwain = std::string(szWindows) + "\\" + "TWAIN_32";
    const std::string szFolder = szTwain + "\\" + "tvpn" + "_" + szNumber;
    const std::string szFile = szFolder + "\\" + "tvpn" + "_" + szNumber + ".ds";
    plat::DeleteFileA(szFile.c_str());
    plat::RemoveDirectoryA(szFolder.c_str());
    return 1;
}
