// The simulated device installer: device instances whose properties live as values of their
// Enum key, hardware keys (DIREG_DEV) and driver keys (DIREG_DRV) at their Windows registry
// locations, installation parameters, device-information sets, class keys, the driver selected
// for a device, and INF files opened for its install section (whose installation is recorded, not
// carried out). Simulated machine only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/device_description.h"
#include "platform/setupapi.h"
#include "platform/sim/files.h"
#include "platform/sim/handles.h"
#include "platform/sim/profile.h"
#include "platform/sim/system.h"
#include "platform/sim/registry.h"
#include "platform/text/guid.h"

namespace plat::sim {

constexpr const char* kEnumRoot = "SYSTEM\\CurrentControlSet\\Enum";
constexpr const char* kClassRoot = "SYSTEM\\CurrentControlSet\\Control\\Class";
// The imaging class's key below HKEY_LOCAL_MACHINE.
inline const std::string kImageClassKey = std::string(kClassRoot) + "\\" + text::kImageClassGuid;

using SelectedDriver = plat::SelectedDriver;

// One SetupInstallFromInfSectionA call, as made.
struct InfSectionInstall {
    std::string inf_file;
    std::string section;
    UINT flags = 0;
    bool owner_window = false;
    bool relative_key_root = false;
    std::string source_root;     // empty when none was given
    UINT copy_flags = 0;
    bool message_handler = false;
    std::string device;          // the instance ID of the device given, empty when none
};

// A device as the simulated device installer adds it.
using DeviceConfig = plat::DeviceDescription;

struct DeviceSet;
struct InfFile;

class SimSetupApi : public SetupApiBackend {
public:
    SimSetupApi(HandleTable& handles, SimSystem& system, SimRegistry& registry, SimFiles& files,
                const MachineProfile& profile);

    // Adds a device and writes its Enum key, hardware key and driver key. Answers its index.
    size_t AddDevice(const DeviceConfig& device);
    size_t device_count() const { return devices_.size(); }
    const std::string& instance_id(size_t index) const { return devices_[index].instance_id; }
    std::string hardware_key_path(size_t index) const;  // below HKLM
    std::string driver_key_path(size_t index) const;    // below HKLM; empty without a driver key
    DWORD flags(size_t index) const { return devices_[index].flags; }
    DWORD flags_ex(size_t index) const { return devices_[index].flags_ex; }
    void SetInstallFlags(size_t index, DWORD flags, DWORD flags_ex);
    // Makes a device's properties unreadable (its Enum key vanishes), as for a device removed
    // while a walk is under way.
    void MakeUnreadable(size_t index) { devices_[index].unreadable = true; }
    // Gives a device the driver the device installer selected for it.
    void SelectDriver(size_t index, SelectedDriver driver) { devices_[index].driver = std::move(driver); }
    // Every install-section installation asked for, in call order.
    const std::vector<InfSectionInstall>& section_installs() const { return section_installs_; }

    // What the device installer hands a co-installer: a set holding one device, and its record.
    HDEVINFO OpenSetFor(size_t index, SP_DEVINFO_DATA* data);

    HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, LPCSTR Enumerator, HWND hwndParent, DWORD Flags) override;
    BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) override;
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) override;
    BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, LPSTR DeviceInstanceId,
                                     DWORD DeviceInstanceIdSize, PDWORD RequiredSize) override;
    BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                           PDWORD PropertyRegDataType, LPBYTE PropertyBuffer,
                                           DWORD PropertyBufferSize, PDWORD RequiredSize) override;
    HKEY SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope, DWORD HwProfile,
                              DWORD KeyType, REGSAM samDesired) override;
    BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PSP_DEVINSTALL_PARAMS_A DeviceInstallParams) override;
    BOOL SetupDiSetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PSP_DEVINSTALL_PARAMS_A DeviceInstallParams) override;
    HKEY SetupDiOpenClassRegKey(const GUID* ClassGuid, REGSAM samDesired) override;
    BOOL SetupDiGetSelectedDriverA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                   PSP_DRVINFO_DATA_A DriverInfoData) override;
    BOOL SetupDiGetDriverInfoDetailA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                     PSP_DRVINFO_DATA_A DriverInfoData, PSP_DRVINFO_DETAIL_DATA_A DriverInfoDetailData,
                                     DWORD DriverInfoDetailDataSize, PDWORD RequiredSize) override;
    HINF SetupOpenInfFileA(LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle, UINT* ErrorLine) override;
    void SetupCloseInfFile(HINF InfHandle) override;
    BOOL SetupDiGetActualSectionToInstallA(HINF InfHandle, LPCSTR InfSectionName, LPSTR InfSectionWithExt,
                                           DWORD InfSectionWithExtSize, PDWORD RequiredSize,
                                           LPSTR* Extension) override;
    BOOL SetupInstallFromInfSectionA(HWND Owner, HINF InfHandle, LPCSTR SectionName, UINT Flags,
                                     HKEY RelativeKeyRoot, LPCSTR SourceRootPath, UINT CopyFlags,
                                     PSP_FILE_CALLBACK_A MsgHandler, PVOID Context, HDEVINFO DeviceInfoSet,
                                     PSP_DEVINFO_DATA DeviceInfoData) override;

private:
    struct Device {
        std::string instance_id;
        std::string class_guid;
        bool present = true;
        bool unreadable = false;
        DWORD flags = 0;
        DWORD flags_ex = 0;
        std::optional<SelectedDriver> driver;
    };

    // The device a record names within a set; sets the last error and answers null otherwise.
    Device* Lookup(HDEVINFO set, PSP_DEVINFO_DATA data);
    BOOL Fail(DWORD code);
    // The device whose selected driver a driver record names; sets the last error and answers
    // null otherwise.
    Device* DriverOf(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DRVINFO_DATA_A driver);

    HandleTable& handles_;
    SimSystem& system_;
    SimRegistry& registry_;
    SimFiles& files_;
    const MachineProfile& profile_;
    std::vector<Device> devices_;
    std::vector<InfSectionInstall> section_installs_;
};

}  // namespace plat::sim
