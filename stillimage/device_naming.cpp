// Network device data, DLL registration of the driver's install section, and friendly-name
// numbering of the devices being installed. Portable logic.
#include "core/setup_extension.h"
#include "platform/scoped.h"

// Not yet built: copying the network identity into the driver key's "DeviceData".
bool CSetupExtension::CopyNetworkDeviceData(HDEVINFO, PSP_DEVINFO_DATA) { return false; }

// Runs the DLL registrations of the selected driver's install section. Every failure ends the
// step silently.
void CSetupExtension::RegisterDriverDlls(DWORD installFlags, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    SP_DRVINFO_DATA_V2_A driver{};
    driver.cbSize = sizeof driver;
    if (!plat::SetupDiGetSelectedDriverA(deviceInfoSet, deviceInfoData, &driver)) return;

    SP_DRVINFO_DETAIL_DATA_A detail{};
    detail.cbSize = sizeof detail;
    // Only the fixed part (INF name and section) is needed, so a short buffer is no failure.
    if (!plat::SetupDiGetDriverInfoDetailA(deviceInfoSet, deviceInfoData, &driver, &detail, sizeof detail, nullptr) &&
        plat::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;

    plat::ScopedInf inf(plat::SetupOpenInfFileA(detail.InfFileName, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return;
    char szSection[256] = {0};
    if (plat::SetupDiGetActualSectionToInstallA(inf.get(), detail.SectionName, szSection, sizeof szSection, nullptr,
                                                nullptr))
        plat::SetupInstallFromInfSectionA(nullptr, inf.get(), szSection, installFlags, nullptr, nullptr, 0, nullptr,
                                          nullptr, deviceInfoSet, deviceInfoData);
}

// Not yet built: the numbered friendly name of a second and later device of the model.
void CSetupExtension::AssignDeviceNumber(HDEVINFO, PSP_DEVINFO_DATA) {}
