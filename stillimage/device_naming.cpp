// Network device data, DLL registration of the driver's install section, and friendly-name
// numbering of the devices being installed. None of them logs; every failure ends its step
// silently. Portable logic.
#include <cstdio>
#include <cstring>

#include "core/setup_extension.h"
#include "platform/scoped.h"
#include "core/image_class.h"

namespace {

// Numbers 1 to 1000 can be given; numbers read from other devices count from 1 to 999.
constexpr int kMaxDeviceNumber = 1000;
constexpr int kMaxCountedNumber = 999;
// The walk over the imaging class stops after this many devices.
constexpr DWORD kMaxDevicesWalked = 1000;

// A text value or property of up to 260 bytes, with one byte more that stays zero, so that a value
// stored without its terminator still ends within the buffer.
struct ShortText {
    char sz[MAX_PATH + 1];
};

// Reads a value of up to 260 bytes, its type not looked at, into a zeroed buffer.
bool ReadShortText(HKEY hKey, LPCSTR lpValueName, ShortText* text) {
    std::memset(text->sz, 0, sizeof text->sz);
    DWORD cbData = MAX_PATH;
    return plat::RegQueryValueExA(hKey, lpValueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(text->sz), &cbData) ==
           ERROR_SUCCESS;
}

// Reads the device's description (SPDRP_DEVICEDESC, up to 260 bytes) into a zeroed buffer.
bool ReadDeviceDescription(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, ShortText* text) {
    std::memset(text->sz, 0, sizeof text->sz);
    return plat::SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, SPDRP_DEVICEDESC, nullptr,
                                                   reinterpret_cast<LPBYTE>(text->sz), MAX_PATH, nullptr) != FALSE;
}

// Whether text begins with prefix, letters compared without regard to case (A-Z only, as the C
// runtime's comparison does in its default locale).
bool BeginsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
        if (fold(static_cast<unsigned char>(*text)) != fold(static_cast<unsigned char>(*prefix))) return false;
    }
    return true;
}

}  // namespace

bool CSetupExtension::CopyNetworkDeviceData(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    plat::ScopedKey hardwareKey(
        plat::SetupDiOpenDevRegKey(deviceInfoSet, deviceInfoData, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!hardwareKey) return false;
    plat::ScopedKey driverKey(
        plat::SetupDiOpenDevRegKey(deviceInfoSet, deviceInfoData, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_ALL_ACCESS));
    if (!driverKey) return false;

    // Each value goes to the driver key's "DeviceData" with its terminator; a device without a
    // network identity gets nothing.
    auto copy = [&](LPCSTR lpValueName, ShortText* text) {
        return WriteRegistryString(driverKey.get(), "DeviceData", lpValueName, text->sz,
                                   static_cast<DWORD>(std::strlen(text->sz) + 1));
    };
    ShortText text;
    if (!ReadShortText(hardwareKey.get(), "NetworkDeviceID", &text)) return false;
    if (!copy("NetworkDeviceID", &text)) return false;
    if (ReadShortText(hardwareKey.get(), "PortID", &text) && !copy("PortID", &text)) return false;
    if (ReadShortText(hardwareKey.get(), "NetworkHostName", &text)) return copy("NetworkHostName", &text);
    return true;
}

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

// Gives the device the lowest number of 1..N that no like device holds, N being the number of
// imaging devices, present or not. Like devices are those whose description begins with this
// device's description; "SWDevInst" in their driver keys holds their numbers.
void CSetupExtension::AssignDeviceNumber(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    ShortText description;
    if (!ReadDeviceDescription(deviceInfoSet, deviceInfoData, &description)) return;

    plat::ScopedDevInfo devices(plat::SetupDiGetClassDevsA(&kImageClass, nullptr, nullptr, 0));
    if (!devices) return;

    bool used[kMaxDeviceNumber + 1] = {};
    DWORD dwCount = 0;
    while (dwCount < kMaxDevicesWalked) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!plat::SetupDiEnumDeviceInfo(devices.get(), dwCount, &device)) break;
        ++dwCount;
        // A device whose description cannot be read still counts, and the walk goes on: ending
        // it here would leave the numbers of every later device unseen and give one of them away
        // twice.
        ShortText other;
        if (!ReadDeviceDescription(devices.get(), &device, &other)) continue;
        if (!BeginsWithNoCase(other.sz, description.sz)) continue;
        plat::ScopedKey driverKey(
            plat::SetupDiOpenDevRegKey(devices.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE));
        if (!driverKey) continue;
        DWORD dwNumber = 0;
        DWORD cbData = sizeof dwNumber;
        if (plat::RegQueryValueExA(driverKey.get(), "SWDevInst", nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwNumber),
                                   &cbData) == ERROR_SUCCESS &&
            dwNumber >= 1 && dwNumber <= kMaxCountedNumber)
            used[dwNumber] = true;
    }

    int number = 0;
    for (int candidate = 1; candidate <= static_cast<int>(dwCount); ++candidate) {
        if (!used[candidate]) {
            number = candidate;
            break;
        }
    }
    if (number == 0) return;

    plat::ScopedKey driverKey(
        plat::SetupDiOpenDevRegKey(deviceInfoSet, deviceInfoData, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_ALL_ACCESS));
    if (!driverKey) return;
    if (number >= 2) {
        // The description (at most 260 characters), " #" and at most four digits.
        char szFriendlyName[sizeof description.sz + 8];
        int length = std::snprintf(szFriendlyName, sizeof szFriendlyName, "%s #%d", description.sz, number);
        plat::RegSetValueExA(driverKey.get(), "FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(szFriendlyName),
                             static_cast<DWORD>(length));
    }
    const DWORD dwNumber = static_cast<DWORD>(number);
    plat::RegSetValueExA(driverKey.get(), "SWDevInst", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwNumber),
                         sizeof dwNumber);
}
