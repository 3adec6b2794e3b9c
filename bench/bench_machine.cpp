// The benchmarks' machine generator. Benchmarks only.
#include "bench/bench_machine.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/scenario/machine_parts.h"
#include "tools/tvx-sim/machine_setup.h"
#include "platform/sim/setupapi.h"
#include "platform/text/guid.h"

namespace tvx::bench {
namespace {

// Keys below HKLM, as the description names them.
const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string& kImagingClassKey = plat::sim::kImageClassKey;
constexpr const char* kStillImageEvents = "SYSTEM\\CurrentControlSet\\Control\\StillImage\\Events";
// What the 32-bit view calls HKLM\Software on a 64-bit machine.
constexpr const char* kSoftware32 = "SOFTWARE\\Wow6432Node";

// The scanner's buttons: event key name and event GUID.
struct Button {
    const char* name;
    const char* guid;
};
constexpr Button kButtons[] = {
    {"ScanButton", "{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}"},
    {"CopyButton", "{1B0F8E2E-2C5C-4A0B-8D3E-5B2F7A9C0D11}"},
    {"EmailButton", "{C686DCEE-54F2-419E-9A27-2FC7F2E98F9E}"},
};

// The driver INF the installed software names: one Events section listing the three buttons with
// their description and application tokens, and the EvtReg section with their friendly-name tokens.
constexpr const char* kDriverInf =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Image\r\n"
    "\r\n"
    "[Q920k.Events]\r\n"
    "ScanButton = %ScanButton.Desc%,{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C},%ScanApps%\r\n"
    "CopyButton = %CopyButton.Desc%,{1B0F8E2E-2C5C-4A0B-8D3E-5B2F7A9C0D11},%CopyApps%\r\n"
    "EmailButton = %EmailButton.Desc%,{C686DCEE-54F2-419E-9A27-2FC7F2E98F9E},%EmailApps%\r\n"
    "\r\n"
    "[Q920k.EvtReg]\r\n"
    "HKR,Events\\ScanButton,FriendlyName,,%ScanButton.FriendlyName%\r\n"
    "HKR,Events\\CopyButton,FriendlyName,,%CopyButton.FriendlyName%\r\n"
    "HKR,Events\\EmailButton,FriendlyName,,%EmailButton.FriendlyName%\r\n";

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// A GUID text that differs for every (kind, number).
std::string MadeGuid(unsigned kind, unsigned number) {
    return Format("{%08X-0000-4000-8000-%012X}", kind, number);
}

void TouchHostFile(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void AddDisc(MachineDescription& m, const std::filesystem::path& root) {
    TouchHostFile(root / "TarvixWia_LXR415_U.INF", "[Version]\r\n");
    TouchHostFile(root / "setup.exe", "MZ");
    TouchHostFile(root / "fwUpdate" / "tarvixFirmwareUpdateTool.exe", "MZ");
    DriveSetup& drive = m.drives.emplace_back(OpticalDrive('D', root, "TARVIX_Q920K"));
    drive.serial = 0x1234ABCD;
    m.programs.push_back({.path = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe", .run_time_ms = 12000});
    m.programs.push_back({.path = "D:\\setup.exe", .run_time_ms = 4000});
}

// The software's parameters key, its localized texts and the driver INF it names.
void AddInstalledSoftware(MachineDescription& m) {
    RegistryWriter reg(m);
    const std::string params = std::string(kSoftware32) + "\\Tarvix\\Pellion\\" + kInstallClsid;
    reg.SetString(kHklm + params, "DriverFolder", "C:\\Windows\\inf\\");
    reg.SetString(kHklm + params, "InfName", "tvxq920k.inf");
    for (const Button& button : kButtons) {
        reg.SetString(kHklm + params, std::string(button.name) + ".Desc", std::string("Taste ") + button.name);
        reg.SetString(kHklm + params, std::string(button.name) + ".FriendlyName", std::string("Knopf ") + button.name);
    }
    reg.SetString(kHklm + params, "ScanApps", "Pellion Scan");
    reg.SetString(kHklm + params, "CopyApps", "Pellion Copy");
    reg.SetString(kHklm + params, "EmailApps", "Pellion Mail");
    m.files.push_back({.path = "%WINDIR%\\inf\\tvxq920k.inf", .bytes = kDriverInf});
}

// One imaging device: Enum key, hardware key with the model, driver key with the button event
// keys, and the device-instance keys below its model key.
void AddImagingDevice(MachineDescription& m, unsigned number, bool present) {
    RegistryWriter reg(m);
    plat::DeviceDescription device;
    const unsigned model = number % 4;
    const std::string serial = Format("6&%08X&0&%u", 0x2A000000u + number, number % 8);
    device.instance_id = Format("USB\\VID_2E5A&PID_092%u\\", model) + serial;
    device.description = Format("Tarvix Q92%uk", model);
    device.manufacturer = "Tarvix";
    device.hardware_ids = {Format("USB\\VID_2E5A&PID_092%u", model)};
    device.driver_instance = Format("%04u", number);
    device.present = present;
    m.devices.push_back(Scanner(device));

    const std::string driver = std::string(kImagingClassKey) + "\\" + device.driver_instance;
    reg.SetString(kHklm + driver, "DriverDesc", device.description);
    for (const Button& button : kButtons) {
        const std::string event = driver + "\\Events\\" + button.name;
        reg.SetString(kHklm + event, "", std::string("INF ") + button.name);
        reg.SetString(kHklm + event, "FriendlyName", button.name);
        reg.SetString(kHklm + event, "LaunchApplications", "*");
        reg.SetString(kHklm + event, "GUID", button.guid);
    }

    const std::string instance =
        std::string(kSoftware32) + "\\Tarvix\\DigitalImaging\\" + device.description + "\\DeviceInstances\\" + serial;
    reg.SetString(kHklm + instance + "\\Functions\\Scan", "Name", "Scan");
    reg.SetString(kHklm + instance + "\\Strings", "Label", device.description);
    reg.SetString(kHklm + instance, "Port", "USB");
}

// One still-image event handler with the texts a handler has and a last-write time of its own.
void AddHandler(MachineDescription& m, const std::string& event, const std::string& handler, unsigned number) {
    RegistryWriter reg(m);
    const std::string key = event + "\\" + handler;
    const std::string program = Format("C:\\Program Files\\App%u\\App%u.exe", number, number);
    reg.SetString(kHklm + key, "CmdLine", program + " /StiDevice:%1 /StiEvent:%2");
    reg.SetString(kHklm + key, "Desc", Format("Scan with App%u", number));
    reg.SetString(kHklm + key, "Icon", Format("App%u.exe,0", number));
    reg.SetString(kHklm + key, "Name", Format("App%u", number));
    // Times that are neither in creation order nor in name order, so that the newest is searched.
    const uint64_t ticks = 100 + (number * 7919u) % 100003u;
    m.key_times.push_back({.key = kHklm + key, .time = ticks});
}

void AddUsbKeys(MachineDescription& m, size_t units, BenchMachine* built) {
    RegistryWriter reg(m);
    const std::string usb = "Enum\\USB";
    reg.EnsureKey(kHklm + usb);
    const char* const kVendors[] = {"VID_046D", "VID_8087", "VID_1D6B", "VID_04F2"};
    for (unsigned u = 0; u < units; ++u) {
        for (unsigned k = 0; k < Shape::kNullVendorKeys; ++k) {
            const std::string key = usb + Format("\\VID_0000&PID_%04X", u * Shape::kNullVendorKeys + k);
            reg.EnsureKey(kHklm + key);
            if (k % 2) reg.SetString(kHklm + key + "\\1&0", "Class", "Unknown");
        }
        for (unsigned k = 0; k < Shape::kMakerKeys; ++k) {
            const std::string key = usb + Format("\\VID_2E5A&PID_%04X", 0x1000 + u * Shape::kMakerKeys + k);
            for (unsigned i = 0; i < Shape::kMakerInstances; ++i)
                reg.SetString(kHklm + key + Format("\\5&%08X&0&%u", u, i), "Class", i % 3 ? "Image" : "Unknown");
        }
        for (unsigned k = 0; k < Shape::kOtherVendorKeys; ++k) {
            const std::string key = usb + "\\" + kVendors[k % 4] + Format("&PID_%04X", u * Shape::kOtherVendorKeys + k);
            for (unsigned i = 0; i < Shape::kOtherVendorInstances; ++i)
                reg.SetString(kHklm + key + Format("\\7&%08X&0&%u", u, i), "Class", "HIDClass");
        }
    }
    built->usb_device_keys = units * (Shape::kNullVendorKeys + Shape::kMakerKeys + Shape::kOtherVendorKeys);
}

void AddStillImageEvents(MachineDescription& m, size_t units, BenchMachine* built) {
    RegistryWriter reg(m);
    const std::string events = kStillImageEvents;
    // The wizard's handler info below the system's scan-button event.
    const std::string wizard = events + "\\ScanButton\\{D13E3F25-1688-45A0-9743-759EB35CDF9A}";
    reg.SetString(kHklm + wizard, "Name", "Microsoft Scanner and Camera Wizard");
    reg.SetString(kHklm + wizard, "Desc", "Download pictures from a camera or scanner");
    reg.SetString(kHklm + wizard, "Icon", "sti.dll,0");
    reg.SetString(kHklm + wizard, "CmdLine", "rundll32.exe shimgvw.dll,ImageView_Fullscreen");
    unsigned number = 0;
    for (unsigned b = 0; b < std::size(kButtons); ++b) {
        const std::string event = events + "\\" + kButtons[b].name;
        reg.SetString(kHklm + event, "GUID", kButtons[b].guid);
        for (size_t h = 0; h < units * Shape::kButtonHandlers; ++h, ++number)
            AddHandler(m, event, MadeGuid(0x100 + b, number), number);
    }
    for (unsigned e = 0; e < units * Shape::kOtherEvents; ++e) {
        const std::string event = events + Format("\\Event%05u", e);
        reg.SetString(kHklm + event, "GUID", MadeGuid(0x200, e));
        for (size_t h = 0; h < Shape::kOtherEventHandlers; ++h, ++number)
            AddHandler(m, event, MadeGuid(0x300, number), number);
    }
    built->event_handlers = number + 1;
}

void AddMarker(MachineDescription& m, size_t units, BenchMachine* built) {
    RegistryWriter reg(m);
    const std::string c32 = std::string(kSoftware32) + "\\Tarvix\\tvx\\c32";
    const std::string marker = c32 + "\\tvx";
    reg.SetString(kHklm + marker, "_PnPFinishedEvent", "1");
    reg.SetString(kHklm + marker, "tvxQ920k", "1");
    for (unsigned v = 0; v < units * Shape::kMarkerValues; ++v) reg.SetString(kHklm + marker, Format("tvxM%04u", v), "1");
    reg.SetString(kHklm + c32, "tvx_PNPFinishedEvent_99", "");
    built->marker_values = 2 + units * Shape::kMarkerValues;
}


// 64-bit Windows 7 with Service Pack 1, an administrator's account.
MachineDescription BaseDescription() {
    MachineDescription m;
    m.os = {.major = 6, .minor = 1, .build = 7601, .service_pack = "Service Pack 1"};
    m.is_64bit = true;
    m.administrator = true;
    return m;
}

}  // namespace

MachineDescription DescribeMachine(int scale, const std::filesystem::path& disc_folder, BenchMachine* built) {
    MachineDescription m = BaseDescription();
    built->scale = scale < 1 ? 1 : scale;
    const auto units = static_cast<size_t>(built->scale);

    AddDisc(m, disc_folder);
    m.services.push_back(StillImageService(true, 500));
    AddInstalledSoftware(m);

    built->imaging_devices = units * Shape::kImagingDevices;
    for (unsigned d = 0; d < built->imaging_devices; ++d) AddImagingDevice(m, d, d < 2 || d % 2 == 0);
    built->scanner = 0;
    built->removed = 1;
    // The removed device's TWAIN data source.
    m.files.push_back({.path = "%WINDIR%\\TWAIN_32\\tvpn_0001\\tvpn_0001.ds", .bytes = "DS"});

    AddUsbKeys(m, units, built);
    AddStillImageEvents(m, units, built);
    AddMarker(m, units, built);
    return m;
}

plat::sim::MachineProfile BenchProfile() { return sim::ProfileOf(BaseDescription()); }

BenchMachine BuildMachine(plat::sim::Machine& machine, int scale, const std::string& disc_folder) {
    BenchMachine built;
    const MachineDescription description = DescribeMachine(scale, disc_folder, &built);
    // The disc's folder is the one the machine uses when it is named after its drive letter.
    sim::SetUpMachine(machine, description, std::filesystem::path(disc_folder).parent_path(), "the benchmark machine");
    return built;
}

}  // namespace tvx::bench
