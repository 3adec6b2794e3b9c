// The simulated device installer. Simulated machine only.
#include "platform/sim/setupapi.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/host/call_layer.h"
#include "platform/text/encoding.h"
#include "platform/text/names.h"
#include "platform/text/profile_text.h"

namespace plat::sim {

struct DeviceSet {
    std::vector<size_t> members;  // device indexes in ascending order

    bool Holds(size_t index) const { return std::binary_search(members.begin(), members.end(), index); }
};

namespace {
// A form of a call that the machine does not model: recorded, and answered with a status no
// Windows call gives.
DWORD NotModelled(const char* what) {
    plat::host::Layer().NoteNotModelled(what);
    return plat::host::kNotModelled;
}
}  // namespace

SimSetupApi::SimSetupApi(HandleTable& handles, SimSystem& system, SimRegistry& registry, SimFiles& files,
                         const MachineProfile& profile)
    : handles_(handles), system_(system), registry_(registry), files_(files), profile_(profile) {}

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
    devices_.push_back(Device{device.instance_id, device.class_guid, device.present, false, device.install_flags,
                              device.install_flags_ex, device.selected_driver});
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
    if (set->Holds(index)) return &devices_[index];
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

HKEY SimSetupApi::SetupDiOpenClassRegKey(const GUID* ClassGuid, REGSAM samDesired) {
    // Without a class the call opens the key that holds every class.
    std::string path = kClassRoot;
    if (ClassGuid) path += "\\" + text::FormatGuid(*ClassGuid);
    HKEY key = nullptr;
    LSTATUS status = registry_.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, samDesired, &key);
    if (status != ERROR_SUCCESS) {
        Fail(static_cast<DWORD>(status));
        return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    return key;
}

namespace {

// A driver record carries, in its reserved field, which device's selected driver it describes.
constexpr ULONG_PTR kDriverCookie = 0x5D000000;

void CopyText(CHAR* field, size_t size, const std::string& text) {
    size_t n = std::min(size - 1, text.size());
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// V1 records end after ProviderName; V2 records add the driver's date and version.
constexpr DWORD kDriverInfoV1Size = offsetof(SP_DRVINFO_DATA_V2_A, DriverDate);

}  // namespace

BOOL SimSetupApi::SetupDiGetSelectedDriverA(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DRVINFO_DATA_A driver) {
    Device* d = Lookup(set, data);
    if (!d) return FALSE;
    if (!driver) return Fail(ERROR_INVALID_PARAMETER);
    if (driver->cbSize != sizeof(SP_DRVINFO_DATA_V2_A) && driver->cbSize != kDriverInfoV1Size)
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (!d->driver) return Fail(ERROR_NO_DRIVER_SELECTED);
    DWORD size = driver->cbSize;
    std::memset(reinterpret_cast<BYTE*>(driver) + sizeof(DWORD), 0, size - sizeof(DWORD));
    driver->DriverType = SPDIT_COMPATDRIVER;
    driver->Reserved = kDriverCookie + static_cast<ULONG_PTR>(d - devices_.data());
    CopyText(driver->Description, sizeof driver->Description, d->driver->description);
    CopyText(driver->MfgName, sizeof driver->MfgName, d->driver->manufacturer);
    CopyText(driver->ProviderName, sizeof driver->ProviderName, d->driver->provider);
    return TRUE;
}

SimSetupApi::Device* SimSetupApi::DriverOf(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DRVINFO_DATA_A driver) {
    Device* d = Lookup(set, data);
    if (!d) return nullptr;
    if (!driver || (driver->cbSize != sizeof(SP_DRVINFO_DATA_V2_A) && driver->cbSize != kDriverInfoV1Size) ||
        driver->Reserved != kDriverCookie + static_cast<ULONG_PTR>(d - devices_.data()) || !d->driver) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return d;
}

BOOL SimSetupApi::SetupDiGetDriverInfoDetailA(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DRVINFO_DATA_A driver,
                                             PSP_DRVINFO_DETAIL_DATA_A detail, DWORD size, PDWORD required) {
    Device* d = DriverOf(set, data, driver);
    if (!d) return FALSE;
    if (!detail && size) return Fail(ERROR_INVALID_PARAMETER);
    if (detail && (detail->cbSize != sizeof(SP_DRVINFO_DETAIL_DATA_A) || size < sizeof(SP_DRVINFO_DETAIL_DATA_A)))
        return Fail(ERROR_INVALID_USER_BUFFER);
    const SelectedDriver& drv = *d->driver;
    std::string hardware_id = drv.hardware_id;
    if (hardware_id.empty()) {
        auto ids = registry_.GetValue(Hive::LocalMachine, std::string(kEnumRoot) + "\\" + d->instance_id, "HardwareID");
        if (ids && !ids->data.empty()) hardware_id = reinterpret_cast<const char*>(ids->data.data());
    }
    // The ID list: the matched hardware ID and an empty list of compatible IDs, double-NUL ended.
    std::string ids = hardware_id + std::string(1, '\0') + std::string(1, '\0');
    auto need = static_cast<DWORD>(offsetof(SP_DRVINFO_DETAIL_DATA_A, HardwareID) + ids.size());
    if (required) *required = need;
    if (!detail) return Fail(ERROR_INSUFFICIENT_BUFFER);
    // The fixed part is filled even when the ID list does not fit.
    std::memset(reinterpret_cast<BYTE*>(detail) + sizeof(DWORD), 0, sizeof *detail - sizeof(DWORD));
    detail->CompatIDsOffset = static_cast<DWORD>(hardware_id.size() + 1);
    detail->CompatIDsLength = 0;
    CopyText(detail->SectionName, sizeof detail->SectionName, drv.section);
    CopyText(detail->InfFileName, sizeof detail->InfFileName, drv.inf_file);
    CopyText(detail->DrvDescription, sizeof detail->DrvDescription, drv.description);
    if (size < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->HardwareID, ids.data(), ids.size());
    return TRUE;
}

// An open INF file: its path and its section names, in file order.
struct InfFile {
    std::string path;
    std::vector<std::u16string> sections;  // as the parser holds them: in UTF-16

    // A section name given in ANSI, matched in UTF-16.
    bool HasSection(const std::string& name) const {
        const std::u16string wanted = text::AnsiToUtf16(name);
        for (const std::u16string& s : sections)
            if (text::EqualProfileNames(s, wanted)) return true;
        return false;
    }
};

namespace {

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// How the INF parser reads a file's bytes: UTF-16 little-endian with its mark (an even byte count),
// UTF-8 with its mark, and anything else as ANSI text, a UTF-16 big-endian file or one of an odd
// byte count included (whose first line is then no section header). None when the file has no
// mark but NUL bytes: Windows guesses from the bytes whether such a file is UTF-16, which the
// machine does not model.
std::optional<std::u16string> InfTextUnits(std::string_view bytes) {
    const text::ProfileMark mark = text::DetectProfileEncoding(bytes);
    if (mark.encoding == text::ProfileEncoding::Utf16Le && bytes.size() % 2 == 0)
        return text::ProfileTextUnits(bytes);
    if (mark.encoding == text::ProfileEncoding::Utf8) return text::ProfileTextUnits(bytes);
    if (mark.encoding == text::ProfileEncoding::Ansi && bytes.find('\0') != std::string_view::npos)
        return std::nullopt;
    return text::AnsiToUtf16(bytes);
}

// Section names and the [Version] signature of an INF text; false, with the line, when a line that
// is neither blank nor a comment stands before the first section header.
bool ReadInf(std::u16string_view text, std::vector<std::u16string>* sections, std::u16string* signature,
             UINT* bad_line) {
    std::u16string current;
    bool in_section = false;
    size_t pos = 0;
    UINT line_number = 0;
    while (pos < text.size()) {
        size_t end = text.find(u'\n', pos);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++line_number;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(u']');
            current = std::u16string(Trim(line.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos
                                                                                             : close - 1)));
            sections->push_back(current);
            in_section = true;
            continue;
        }
        if (!in_section) {
            *bad_line = line_number;
            return false;
        }
        size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos || !text::EqualProfileNames(current, u"Version")) continue;
        if (!text::EqualProfileNames(Trim(line.substr(0, eq)), u"Signature")) continue;
        std::u16string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        *signature = value;
    }
    return true;
}

}  // namespace

HINF SimSetupApi::SetupOpenInfFileA(LPCSTR FileName, LPCSTR, DWORD InfStyle, UINT* ErrorLine) {
    auto invalid = reinterpret_cast<HINF>(INVALID_HANDLE_VALUE);
    if (!FileName) {
        Fail(ERROR_INVALID_PARAMETER);
        return invalid;
    }
    if (InfStyle != INF_STYLE_WIN4) {
        Fail(NotModelled("SetupOpenInfFileA with a style other than INF_STYLE_WIN4"));
        return invalid;
    }
    // A bare file name is looked for in the system's INF folder. The class asked for is not
    // compared (Wine does not either).
    std::string path = FileName;
    if (path.find('\\') == std::string::npos) path = files_.windows_dir() + "\\inf\\" + path;
    std::optional<std::string> text = files_.ReadFile(path);
    if (!text) {
        Fail(ERROR_FILE_NOT_FOUND);
        return invalid;
    }
    std::optional<std::u16string> units = InfTextUnits(*text);
    if (!units) {
        Fail(NotModelled("SetupOpenInfFileA on a file with NUL bytes and no byte-order mark"));
        return invalid;
    }
    auto inf = std::make_shared<InfFile>();
    inf->path = path;
    std::u16string signature;
    UINT bad_line = 0;
    if (!ReadInf(*units, &inf->sections, &signature, &bad_line)) {
        if (ErrorLine) *ErrorLine = bad_line;
        Fail(ERROR_EXPECTED_SECTION_NAME);
        return invalid;
    }
    if (!text::EqualProfileNames(signature, u"$Windows NT$") && !text::EqualProfileNames(signature, u"$Chicago$") &&
        !text::EqualProfileNames(signature, u"$Windows 95$")) {
        if (ErrorLine) *ErrorLine = 0;
        Fail(ERROR_WRONG_INF_STYLE);
        return invalid;
    }
    system_.SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HINF>(handles_.Add(HandleKind::Inf, inf, "INF file " + path));
}

void SimSetupApi::SetupCloseInfFile(HINF InfHandle) {
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(InfHandle), HandleKind::Inf))
        NotModelled("SetupCloseInfFile of a handle that is no open INF file");
}

BOOL SimSetupApi::SetupDiGetActualSectionToInstallA(HINF InfHandle, LPCSTR InfSectionName, LPSTR buffer,
                                                   DWORD size, PDWORD required, LPSTR* Extension) {
    auto inf = handles_.Get<InfFile>(reinterpret_cast<uintptr_t>(InfHandle), HandleKind::Inf);
    if (!inf) return Fail(ERROR_INVALID_HANDLE);
    if (!InfSectionName) return Fail(ERROR_INVALID_PARAMETER);
    // The decorations tried, most specific first; the first section present wins, the plain name
    // when none is.
    std::vector<std::string> decorations;
    if (profile_.os.platform_id == VER_PLATFORM_WIN32_NT) {
        decorations.push_back(profile_.is_64bit ? ".NTamd64" : ".NTx86");
        decorations.push_back(".NT");
    }
    std::string base = InfSectionName;
    std::string extension;
    for (const std::string& decoration : decorations) {
        if (inf->HasSection(base + decoration)) {
            extension = decoration;
            break;
        }
    }
    std::string actual = base + extension;
    auto need = static_cast<DWORD>(actual.size() + 1);
    if (required) *required = need;
    if (buffer) {
        if (size < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(buffer, actual.c_str(), need);
        if (Extension) *Extension = extension.empty() ? nullptr : buffer + base.size();
    }
    // Wine reports through the last error whether the plain section had to do.
    system_.SetLastError(extension.empty() ? ERROR_SECTION_NOT_FOUND : ERROR_SUCCESS);
    return TRUE;
}

BOOL SimSetupApi::SetupInstallFromInfSectionA(HWND Owner, HINF InfHandle, LPCSTR SectionName, UINT Flags,
                                             HKEY RelativeKeyRoot, LPCSTR SourceRootPath, UINT CopyFlags,
                                             PSP_FILE_CALLBACK_A MsgHandler, PVOID, HDEVINFO DeviceInfoSet,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
    auto inf = handles_.Get<InfFile>(reinterpret_cast<uintptr_t>(InfHandle), HandleKind::Inf);
    if (!inf) return Fail(ERROR_INVALID_HANDLE);
    if (!SectionName) return Fail(ERROR_INVALID_PARAMETER);
    InfSectionInstall record;
    record.inf_file = inf->path;
    record.section = SectionName;
    record.flags = Flags;
    record.owner_window = Owner != nullptr;
    record.relative_key_root = RelativeKeyRoot != nullptr;
    record.source_root = SourceRootPath ? SourceRootPath : "";
    record.copy_flags = CopyFlags;
    record.message_handler = MsgHandler != nullptr;
    if (DeviceInfoSet && DeviceInfoSet != INVALID_HANDLE_VALUE) {
        Device* d = Lookup(DeviceInfoSet, DeviceInfoData);
        if (!d) return FALSE;
        record.device = d->instance_id;
    }
    // The installation itself (files, registry entries, DLL registration) is recorded, not carried
    // out. A section the INF lacks installs nothing and still succeeds, as on Wine.
    section_installs_.push_back(record);
    system_.SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace plat::sim
