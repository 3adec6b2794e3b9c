// The identity of an imaging device instance: the names under which its per-instance data outside
// the driver's own keys is filed. Portable logic.
#include <algorithm>
#include <cstring>

#include "core/setup_extension.h"

namespace {

// Reads a text property into a 260-byte text. A value that fills all 260 bytes without a
// terminator counts as unreadable rather than being cut or read past its end.
bool ReadTextProperty(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, DWORD dwProperty,
                      char (&szText)[MAX_PATH]) {
    std::memset(szText, 0, sizeof szText);
    if (!plat::SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, dwProperty, nullptr,
                                                 reinterpret_cast<LPBYTE>(szText), sizeof szText, nullptr))
        return false;
    if (szText[sizeof szText - 1] != '\0') {
        szText[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

int CSetupExtension::GetDeviceIdentity(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                       char (&szInstance)[5], char (&szManufacturer)[MAX_PATH],
                                       char (&szDescription)[MAX_PATH], char (&szSerial)[71]) {
    if (!ReadTextProperty(deviceInfoSet, deviceInfoData, SPDRP_DEVICEDESC, szDescription)) return 0;
    if (!ReadTextProperty(deviceInfoSet, deviceInfoData, SPDRP_MFG, szManufacturer)) return 0;
    // Not consulted: without a driver key name the instance number stays empty.
    GetDriverInstanceNumber(deviceInfoSet, deviceInfoData, szInstance);

    // One byte beyond the 260 the call may fill keeps the text terminated.
    char szInstanceId[MAX_PATH + 1] = {0};
    if (!plat::SetupDiGetDeviceInstanceIdA(deviceInfoSet, deviceInfoData, szInstanceId, MAX_PATH, nullptr)) return 0;
    const char* lastSlash = std::strrchr(szInstanceId, '\\');
    if (!lastSlash) return 0;
    const size_t cchSerial = std::min(std::strlen(lastSlash + 1), sizeof szSerial - 1);
    std::memcpy(szSerial, lastSlash + 1, cchSerial);
    szSerial[cchSerial] = '\0';
    return 1;
}
