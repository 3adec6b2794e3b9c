// The simulated device installer. Simulated machine only.
#include "platform/sim/setupapi.h"

#include <cstring>
#include <memory>

#include "platform/host/call_layer.h"
#include "platform/text/encoding.h"
#include "platform/text/names.h"

namespace plat::sim {

struct DeviceSet {
    std::vector<size_t> members;
};

namespace {
// A form of a call that the machine does not model: recorded, and answered with a status no
// Windows call gives.
DWORD NotModelled(const char* what) {
    plat::host::Layer().NoteNotModelled(what);
    return plat::host::kNotModelled;
}
}  // namespace

SimSetupApi::SimSetupApi(HandleTable& handles, SimSystem& system, SimRegistry& registry)
    : handles_(handles), system_(system), registry_(registry) {}

namespace {
std::vector<BYTE> MultiSz(const std::vector<std::string>& items) {
    const std::string bytes = text::PackMultiSz(items);
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}
}  // namespace

size_t SimSetupApi::AddDevice(const DeviceConfig& device) {
    const Hive hklm = Hive::LocalMachine;
    std::string enum_path = std::string(kEnumRoot) + "\\" + device.instance_id;
    registry_.EnsureKey(hklm, enum_path);
    if (!device.description.empty()) registry_.SetString(hklm, enum_path, "DeviceDesc", device.description);
    if (!device.hardware_ids.empty()) registry_.SetValue(hklm, enum_path, "HardwareID", REG_MULTI_SZ, MultiSz(device.hardware_ids));
    registry_.SetString(hklm, enum_path, "Class", device.class_name);
    registry_.SetString(hklm, enum_path, "ClassGUID", device.class_guid);
    if (!device.manufacturer.empty()) registry_.SetString(hklm, enum_path, "Mfg", device.manufacturer);
    if (!device.driver_instance.empty()) {
        std::string driver = device.class_guid + "\\" + device.driver_instance;
        registry_.SetString(hklm, enum_path, "Driver", driver);
        registry_.EnsureKey(hklm, std::string(kClassRoot) + "\\" + driver);
    }
    if (device.hardware_key) registry_.EnsureKey(hklm, enum_path + "\\Device Parameters");
    devices_.push_back(Device{device.instance_id, device.class_guid, device.present, false, device.flags, device.flags_ex});
    return devices_.size() - 1;
}

std::string SimSetupApi::hardware_key_path(size_t index) const {
    return std::string(kEnumRoot) + "\\" + devices_[index].instance_id + "\\Device Parameters";
}

std::string SimSetupApi::driver_key_path(size_t index) const {
    auto driver = registry_.GetValue(Hive::LocalMachine, std::string(kEnumRoot) + "\\" + devices_[index].instance_id,
                                     "Driver");
    if (!driver || driver->data.empty()) return "";
    return std::string(kClassRoot) + "\\" + reinterpret_cast<const char*>(driver->data.data());
}

void SimSetupApi::SetInstallFlags(size_t index, DWORD flags, DWORD flags_ex) {
    devices_[index].flags = flags;
    devices_[index].flags_ex = flags_ex;
}

HDEVINFO SimSetupApi::OpenSetFor(size_t index, SP_DEVINFO_DATA* data) {
    auto set = std::make_shared<DeviceSet>();
    set->members.push_back(index);
    auto value = handles_.Add(HandleKind::DeviceInfoSet, set, "device set of " + devices_[index].instance_id);
    std::memset(data, 0, sizeof *data);
    data->cbSize = sizeof *data;
    text::ParseGuid(devices_[index].class_guid, &data->ClassGuid);
    data->DevInst = static_cast<DWORD>(index + 1);
    return reinterpret_cast<HDEVINFO>(value);
}

BOOL SimSetupApi::Fail(DWORD code) {
    system_.SetLastError(code);
    return FALSE;
}

SimSetupApi::Device* SimSetupApi::Lookup(HDEVINFO set_handle, PSP_DEVINFO_DATA data) {
    auto set = handles_.Get<DeviceSet>(reinterpret_cast<uintptr_t>(set_handle), HandleKind::DeviceInfoSet);
    if (!set) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t index = data->DevInst - 1;
    for (size_t member : set->members)
        if (member == index) return &devices_[index];
    Fail(ERROR_INVALID_PARAMETER);
    return nullptr;
}

HDEVINFO SimSetupApi::SetupDiGetClassDevsA(const GUID* ClassGuid, LPCSTR Enumerator, HWND, DWORD Flags) {
    if (!ClassGuid && !(Flags & DIGCF_ALLCLASSES)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (Flags & DIGCF_DEVICEINTERFACE) {
        Fail(NotModelled("SetupDiGetClassDevsA with DIGCF_DEVICEINTERFACE"));
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DeviceSet>();
    std::string wanted = ClassGuid ? text::FormatGuid(*ClassGuid) : "";
    std::string enumerator = Enumerator ? Enumerator : "";
    for (size_t i = 0; i < devices_.size(); ++i) {
        const Device& d = devices_[i];
        if (!(Flags & DIGCF_ALLCLASSES) && !text::EqualNames(d.class_guid, wanted)) continue;
        if ((Flags & DIGCF_PRESENT) && !d.present) continue;
        if (!enumerator.empty()) {
            std::string first = d.instance_id.substr(0, d.instance_id.find('\\'));
            if (!text::EqualNames(first, enumerator)) continue;
        }
        set->members.push_back(i);
    }
    auto value = handles_.Add(HandleKind::DeviceInfoSet, set, "device set of class " + wanted);
    return reinterpret_cast<HDEVINFO>(value);
}

BOOL SimSetupApi::SetupDiEnumDeviceInfo(HDEVINFO set_handle, DWORD MemberIndex, PSP_DEVINFO_DATA data) {
    auto set = handles_.Get<DeviceSet>(reinterpret_cast<uintptr_t>(set_handle), HandleKind::DeviceInfoSet);
    if (!set) return Fail(ERROR_INVALID_HANDLE);
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (MemberIndex >= set->members.size()) return Fail(ERROR_NO_MORE_ITEMS);
    size_t index = set->members[MemberIndex];
    text::ParseGuid(devices_[index].class_guid, &data->ClassGuid);
    data->DevInst = static_cast<DWORD>(index + 1);
    data->Reserved = 0;
    return TRUE;
}

BOOL SimSetupApi::SetupDiDestroyDeviceInfoList(HDEVINFO set_handle) {
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(set_handle), HandleKind::DeviceInfoSet))
        return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL SimSetupApi::SetupDiGetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA data, LPSTR id, DWORD size,
                                             PDWORD required) {
    Device* d = Lookup(set, data);
    if (!d) return FALSE;
    auto need = static_cast<DWORD>(d->instance_id.size() + 1);
    if (required) *required = need;
    if (!id || size < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(id, d->instance_id.c_str(), need);
    return TRUE;
}

namespace {
const char* PropertyValueName(DWORD property) {
    switch (property) {
        case SPDRP_DEVICEDESC: return "DeviceDesc";
        case SPDRP_HARDWAREID: return "HardwareID";
        case SPDRP_COMPATIBLEIDS: return "CompatibleIDs";
        case SPDRP_SERVICE: return "Service";
        case SPDRP_CLASS: return "Class";
        case SPDRP_CLASSGUID: return "ClassGUID";
        case SPDRP_DRIVER: return "Driver";
        case SPDRP_CONFIGFLAGS: return "ConfigFlags";
        case SPDRP_MFG: return "Mfg";
        case SPDRP_FRIENDLYNAME: return "FriendlyName";
        case SPDRP_LOCATION_INFORMATION: return "LocationInformation";
        default: return nullptr;
    }
}
}  // namespace

BOOL SimSetupApi::SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD Property,
                                                   PDWORD type, LPBYTE buffer, DWORD size, PDWORD required) {
    Device* d = Lookup(set, data);
    if (!d) return FALSE;
    const char* name = PropertyValueName(Property);
    if (!name) return Fail(ERROR_INVALID_REG_PROPERTY);
    if (d->unreadable) return Fail(ERROR_NO_SUCH_DEVINST);
    auto value = registry_.GetValue(Hive::LocalMachine, std::string(kEnumRoot) + "\\" + d->instance_id, name);
    if (!value) return Fail(ERROR_INVALID_DATA);
    auto need = static_cast<DWORD>(value->data.size());
    if (required) *required = need;
    if (type) *type = value->type;
    if (!buffer || size < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (need) std::memcpy(buffer, value->data.data(), need);
    return TRUE;
}

HKEY SimSetupApi::SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD Scope, DWORD, DWORD KeyType,
                                      REGSAM samDesired) {
    auto invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    Device* d = Lookup(set, data);
    if (!d) return invalid;
    if (Scope != DICS_FLAG_GLOBAL) {
        Fail(NotModelled("SetupDiOpenDevRegKey with a config-specific scope"));
        return invalid;
    }
    std::string path;
    if (KeyType == DIREG_DEV) {
        path = std::string(kEnumRoot) + "\\" + d->instance_id + "\\Device Parameters";
    } else if (KeyType == DIREG_DRV) {
        path = driver_key_path(static_cast<size_t>(d - devices_.data()));
        if (path.empty()) {
            Fail(ERROR_KEY_DOES_NOT_EXIST);
            return invalid;
        }
    } else {
        Fail(ERROR_INVALID_FLAGS);
        return invalid;
    }
    HKEY key = nullptr;
    LSTATUS status = registry_.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, samDesired, &key);
    if (status != ERROR_SUCCESS) {
        Fail(status == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DOES_NOT_EXIST : static_cast<DWORD>(status));
        return invalid;
    }
    return key;
}

BOOL SimSetupApi::SetupDiGetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA data,
                                                PSP_DEVINSTALL_PARAMS_A params) {
    Device* d = Lookup(set, data);
    if (!d) return FALSE;
    if (!params || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) return Fail(ERROR_INVALID_USER_BUFFER);
    std::memset(reinterpret_cast<BYTE*>(params) + sizeof(DWORD), 0, sizeof *params - sizeof(DWORD));
    params->Flags = d->flags;
    params->FlagsEx = d->flags_ex;
    return TRUE;
}

BOOL SimSetupApi::SetupDiSetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA data,
                                                PSP_DEVINSTALL_PARAMS_A params) {
    Device* d = Lookup(set, data);
    if (!d) return FALSE;
    if (!params || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) return Fail(ERROR_INVALID_USER_BUFFER);
    d->flags = params->Flags;
    d->flags_ex = params->FlagsEx;
    return TRUE;
}

BOOL SimSetupApi::SetupDiGetSelectedDriverA(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DRVINFO_DATA_A) {
    if (!Lookup(set, data)) return FALSE;
    return Fail(ERROR_NO_DRIVER_SELECTED);
}

}  // namespace plat::sim
