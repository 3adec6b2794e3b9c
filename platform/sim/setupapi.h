// The simulated device installer: device instances whose properties live as values of their
// Enum key, hardware keys (DIREG_DEV) and driver keys (DIREG_DRV) at their Windows registry
// locations, installation parameters, and device-information sets. Simulated machine only.
#pragma once

#include <string>
#include <vector>

#include "platform/setupapi.h"
#include "platform/sim/handles.h"
#include "platform/sim/system.h"
#include "platform/sim/registry.h"
#include "platform/text/guid.h"

namespace plat::sim {

constexpr const char* kEnumRoot = "SYSTEM\\CurrentControlSet\\Enum";
constexpr const char* kClassRoot = "SYSTEM\\CurrentControlSet\\Control\\Class";

struct DeviceConfig {
    std::string instance_id;                 // "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2"
    std::string class_guid = text::kImageClassGuid;
    std::string class_name = "Image";
    std::string description;                 // SPDRP_DEVICEDESC
    std::string manufacturer;                // SPDRP_MFG
    std::vector<std::string> hardware_ids;   // SPDRP_HARDWAREID
    std::string driver_instance;             // "0000": a driver key; empty: none yet
    bool hardware_key = true;                // whether "Device Parameters" exists
    bool present = true;
    DWORD flags = 0;                         // installation parameters
    DWORD flags_ex = 0;
};

struct DeviceSet;

class SimSetupApi : public SetupApiBackend {
public:
    SimSetupApi(HandleTable& handles, SimSystem& system, SimRegistry& registry);

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
    BOOL SetupDiGetSelectedDriverA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                   PSP_DRVINFO_DATA_A DriverInfoData) override;

private:
    struct Device {
        std::string instance_id;
        std::string class_guid;
        bool present = true;
        bool unreadable = false;
        DWORD flags = 0;
        DWORD flags_ex = 0;
    };

    // The device a record names within a set; sets the last error and answers null otherwise.
    Device* Lookup(HDEVINFO set, PSP_DEVINFO_DATA data);
    BOOL Fail(DWORD code);

    HandleTable& handles_;
    SimSystem& system_;
    SimRegistry& registry_;
    std::vector<Device> devices_;
};

}  // namespace plat::sim
