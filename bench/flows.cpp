// The flows the benchmarks measure. Benchmarks only.
#include "bench/flows.h"

#include <stdexcept>

#include "entry/setup_extension_q920k.h"
#include "platform/host/call_layer.h"
#include "platform/sim/device_installer.h"
#include "platform/sim/setupapi.h"

namespace tvx::bench {
namespace {

constexpr const char* kFinishedEvent = "tvx_PNPFinishedEvent_99";
const std::string& kImagingClassKey = plat::sim::kImageClassKey;

// One DIF call as the device installer makes it, through the base class's operation (as the
// library's export makes it).
DWORD Dif(plat::sim::Machine& machine, CSetupExtension& ext, size_t device, DI_FUNCTION dif, bool post) {
    return plat::sim::CallCoInstaller(machine.setupapi(), {dif, device, post},
                                      [&](DI_FUNCTION f, HDEVINFO s, PSP_DEVINFO_DATA d, PCOINSTALLER_CONTEXT_DATA c) {
                                          return ext.CSetupExtension::TarvixDeviceCoInstaller(f, s, d, c);
                                      });
}

// The library's global object of a process; told where the installed software's key is when the
// software is installed.
struct Extension : CSetupExtensionQ920k {
    explicit Extension(bool softwareInstalled) {
        if (!softwareInstalled) return;
        m_InstallRegPath = kInstallRegPath;
        m_InstallCLSID = kInstallClsid;
    }
};

void NewDevice(PreparedMachine& prepared, bool softwareInstalled) {
    plat::sim::Machine& machine = prepared.machine();
    const size_t scanner = prepared.built().scanner;
    {
        // The device installer's process.
        Extension ext(softwareInstalled);
        Dif(machine, ext, scanner, DIF_INSTALLDEVICE, false);
        Dif(machine, ext, scanner, DIF_INSTALLDEVICE, true);
        Dif(machine, ext, scanner, DIF_NEWDEVICEWIZARD_FINISHINSTALL, false);
    }
    if (machine.setupapi().flags_ex(scanner) & DI_FLAGSEX_FINISHINSTALL_ACTION) {
        // The finish-install action, in the user's process.
        Extension ext(softwareInstalled);
        Dif(machine, ext, scanner, DIF_FINISHINSTALL_ACTION, false);
    }
}

void Removal(PreparedMachine& prepared) {
    Extension ext(false);
    Dif(prepared.machine(), ext, prepared.built().removed, DIF_REMOVE, false);
}

void StaleUsb() {
    Extension ext(false);
    ext.RemoveStaleUsbEntries();
}

void SubkeysByIndex() {
    HKEY key = nullptr;
    if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\USB", 0, KEY_READ, &key) != ERROR_SUCCESS)
        throw std::runtime_error("Enum\\USB does not open");
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH];
        DWORD cchName = sizeof name;
        if (plat::RegEnumKeyExA(key, index, name, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    }
    plat::RegCloseKey(key);
}

void ValuesByName() {
    HKEY key = nullptr;
    if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarvix\\tvx\\c32\\tvx", 0, KEY_READ | KEY_WOW64_32KEY,
                            &key) != ERROR_SUCCESS)
        throw std::runtime_error("the marker key does not open");
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH];
        DWORD cchName = sizeof name;
        if (plat::RegEnumValueA(key, index, name, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, cchName);
    }
    for (const std::string& name : names) {
        char data[16];
        DWORD cbData = sizeof data;
        plat::RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &cbData);
    }
    plat::RegCloseKey(key);
}

void HandleLookups(PreparedMachine& prepared) {
    std::vector<HKEY> keys;
    for (size_t d = 0; d < prepared.built().imaging_devices; ++d) {
        char path[160];
        std::snprintf(path, sizeof path, "%s\\%04u", kImagingClassKey.c_str(), static_cast<unsigned>(d));
        HKEY key = nullptr;
        if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS) keys.push_back(key);
    }
    for (HKEY key : keys) {
        char data[64];
        DWORD cbData = sizeof data;
        plat::RegQueryValueExA(key, "DriverDesc", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &cbData);
    }
    for (HKEY key : keys) plat::RegCloseKey(key);
}

}  // namespace

const std::vector<FlowInfo>& Flows() {
    static const std::vector<FlowInfo> flows = {
        {Flow::HardwareFirst, "hardware-first", "new device, hardware first"},
        {Flow::SoftwareFirst, "software-first", "new device, software first (button-string repair)"},
        {Flow::Removal, "removal", "removal (DIF_REMOVE)"},
        {Flow::StaleUsb, "stale-usb", "stale USB walk"},
        {Flow::SubkeysByIndex, "sim-subkeys-by-index", "simulated registry: subkeys by index"},
        {Flow::ValuesByName, "sim-values-by-name", "simulated registry: values by name"},
        {Flow::HandleLookups, "sim-handle-lookups", "simulated handle table: lookups"},
    };
    return flows;
}

std::optional<Flow> FlowByName(std::string_view name) {
    for (const FlowInfo& info : Flows())
        if (name == info.name) return info.flow;
    return std::nullopt;
}

const FlowInfo& InfoOf(Flow flow) {
    for (const FlowInfo& info : Flows())
        if (info.flow == flow) return info;
    throw std::logic_error("a flow without its entry in Flows()");
}

plat::host::ScratchFolder PreparedMachine::MakeFolder(const std::filesystem::path& below) {
    std::optional<plat::host::ScratchFolder> folder =
        plat::host::ScratchFolder::Make(below.empty() ? plat::host::ScratchFolder::DefaultBelow() : below, "tvx-bench-");
    if (!folder) throw std::runtime_error("cannot make a folder for a benchmark machine below " + below.string());
    return std::move(*folder);
}

PreparedMachine::PreparedMachine(int scale, const std::filesystem::path& below)
    : folder_(MakeFolder(below)), machine_(BenchProfile(), folder_.path() / "C"),
      built_(BuildMachine(machine_, scale, (folder_.path() / "D").string())) {}

void RunFlow(Flow flow, PreparedMachine& prepared) {
    switch (flow) {
        case Flow::HardwareFirst: NewDevice(prepared, false); break;
        case Flow::SoftwareFirst: NewDevice(prepared, true); break;
        case Flow::Removal: Removal(prepared); break;
        case Flow::StaleUsb: StaleUsb(); break;
        case Flow::SubkeysByIndex: SubkeysByIndex(); break;
        case Flow::ValuesByName: ValuesByName(); break;
        case Flow::HandleLookups: HandleLookups(prepared); break;
    }
}

std::string EndFlow(PreparedMachine& prepared) {
    std::string trouble;
    for (const std::string& line : prepared.machine().handles().Describe())
        if (line.find(kFinishedEvent) == std::string::npos) trouble += "left open: " + line + "\n";
    for (const std::string& call : plat::host::Layer().not_modelled()) trouble += "not modelled: " + call + "\n";
    prepared.machine().EndProcess();
    return trouble;
}

}  // namespace tvx::bench
