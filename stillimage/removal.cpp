// Cleanup when a device is removed: the instance's TWAIN data source and imaging device-instance
// keys, and the hardware-first marker. Portable logic.
#include <cstring>
#include <string>

#include "core/install_marker.h"
#include "core/setup_extension.h"
#include "platform/scoped.h"

namespace {

// A name that is empty or holds a backslash would make the instance's key paths name another
// key tree than the device's own (a parent of it, or keys of another device).
bool IsOneKeyName(const char* szName) { return szName[0] != '\0' && std::strchr(szName, '\\') == nullptr; }

}  // namespace

int CSetupExtension::CleanupRemovedDevice(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    char szInstance[5] = {0};
    char szManufacturer[MAX_PATH] = {0};
    char szDescription[MAX_PATH] = {0};
    char szSerial[71] = {0};
    if (!GetDeviceIdentity(deviceInfoSet, deviceInfoData, szInstance, szManufacturer, szDescription, szSerial)) {
        plat::OutputDebugStringA("Could not obtain current HW instance info for device\n");
        return 0;
    }

    if (szInstance[0] != '\0')
        RemoveTwainDataSource(szInstance);
    else
        plat::OutputDebugStringA("No driver instance number for device: TWAIN data source not removed\n");

    if (!IsOneKeyName(szManufacturer) || !IsOneKeyName(szDescription) || !IsOneKeyName(szSerial)) {
        plat::OutputDebugStringA(
            "Manufacturer, description or instance ID part empty or with a backslash: imaging device keys not "
            "removed\n");
        return 1;
    }

    // From the innermost key out. A key that is missing, or that still holds subkeys (another
    // instance of the model, another function), stays; each removal is tried all the same. The
    // paths are composed whole, whatever the names' length.
    const std::string szModel = std::string("Software") + "\\" + szManufacturer + "\\" + "DigitalImaging" + "\\" +
                                szDescription;
    const std::string szInstances = szModel + "\\" + "DeviceInstances";
    const std::string szDevice = szInstances + "\\" + szSerial;
    const std::string szKeys[] = {
        szDevice + "\\" + "Functions" + "\\" + "Scan",
        szDevice + "\\" + "Functions",
        szDevice + "\\" + "Strings",
        szDevice,
        szInstances,
        szModel,
    };
    for (const std::string& szKey : szKeys) plat::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, szKey.c_str(), KEY_WOW64_32KEY, 0);
    return 1;
}

void CSetupExtension::RemovePnPFinishedMarker() {
    const char* const szMarker = kInstallMarkerKey;
    const std::string szTag = GetModelTag();

    {
        plat::ScopedKey key;
        LONG status = plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, szMarker, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                          key.out(HKEY_LOCAL_MACHINE));
        if (status != ERROR_SUCCESS) {
            if (m_pLogger)
                m_pLogger->Print("RegOpenKeyEx returned %d while trying to open %s", static_cast<int>(status), szMarker);
            return;
        }
        status = plat::RegQueryValueExA(key.get(), szTag.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            // A model that never set its marker takes nothing back.
            if (m_pLogger)
                m_pLogger->Print("RegQueryValueEx returned %d while querying %s", static_cast<int>(status),
                                 szTag.c_str());
            return;
        }

        // Counts the marker's values; an index whose name does not fit the buffer still counts.
        DWORD dwIndex = 0;
        for (; dwIndex < 1000; ++dwIndex) {
            char szName[MAX_PATH];
            DWORD cchName = sizeof szName;
            if (plat::RegEnumValueA(key.get(), dwIndex, szName, &cchName, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_NO_MORE_ITEMS)
                break;
        }
        if (m_pLogger) m_pLogger->Print("dwIndex = %d", static_cast<int>(dwIndex));

        if (dwIndex >= 3) {
            // Other models keep the marker: only this model's value goes.
            status = plat::RegDeleteValueA(key.get(), szTag.c_str());
            if (status != ERROR_SUCCESS && m_pLogger)
                m_pLogger->Print("RegDeleteValue returned %d while removing %s", static_cast<int>(status),
                                 szTag.c_str());
            return;
        }
    }

    // This model was the last one: the marker keys go from the inside out, each only when the one
    // inside it went, up to the maker's own key, which stays. A key with subkeys cannot be deleted
    // whole, so the marker's path is taken apart here name by name from its end: each step deletes
    // the last name below the path before it.
    std::string szKey = kInstallMarkerKey;
    while (szKey.size() > std::strlen(kInstallMarkerBase)) {
        const size_t cut = szKey.rfind('\\');
        const std::string szParent = szKey.substr(0, cut);
        if (DeleteRegistryKey(HKEY_LOCAL_MACHINE, szParent.c_str(), szKey.c_str() + cut + 1) != ERROR_SUCCESS) return;
        szKey = szParent;
    }
}
