// Decoding fuzz input into a simulated machine. Fuzz targets only.
#include "fuzz/fuzzed_machine.h"

#include <fstream>
#include <set>
#include <vector>

#include "platform/sim/setupapi.h"
#include "platform/text/guid.h"
#include "platform/text/names.h"
#include "tools/scenario/machine_parts.h"
#include "tools/tvx-sim/machine_setup.h"

namespace tvx::fuzz {
namespace {

// Keys below HKLM, as the description names them.
const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
constexpr const char* kStillImageEvents = "SYSTEM\\CurrentControlSet\\Control\\StillImage\\Events";
constexpr const char* kWizardClsid = "{D13E3F25-1688-45A0-9743-759EB35CDF9A}";

// A name as Windows compares names: without regard to case.
std::string Folded(std::string name) {
    for (char& c : name) c = plat::text::UpperAscii(c);
    return name;
}

// A name a registry key can have: no backslash, no NUL, 1 to 255 characters.
std::string KeyName(Decoder& in, const std::string& usual) {
    std::string name = in.TextOr(usual, 40);
    std::erase(name, '\\');
    return name.empty() ? usual : name;
}

// Whether a file on Windows can have the name.
bool IsFileName(std::string_view name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    return !name.empty() && name != "." && name != "..";
}

// A name a file on Windows can have.
std::string FileName(Decoder& in) {
    std::string name = in.Text(60);
    for (char& c : name)
        if (!IsFileName(std::string(1, c))) c = '_';
    if (!IsFileName(name)) name = "file";
    return name;
}

const char* const kGuids[] = {
    "{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}",  // a button event
    "{1B0F8E2E-2C5C-4A0B-8D3E-5B2F7A9C0D11}",
    kWizardClsid,
    "{11111111-AAAA-4AAA-8AAA-111111111111}",
    "{a6c5a715-8e14-11d2-9c6c-00c04f8ede8c}",
    "{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C",
    "A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C",
    "{}",
};

// Value data: the usual forms of texts the co-installer reads, or bytes from the input.
std::vector<BYTE> ValueData(Decoder& in, DWORD type) {
    std::string bytes;
    switch (in.Pick(6)) {
        case 0: bytes = "1"; break;
        case 1: bytes = in.Pick(kGuids); break;
        case 2: bytes = "Unknown"; break;
        case 3: bytes = "tvxQ920k"; break;
        case 4: bytes = std::string(in.Pick(300) + 1, 'X'); break;
        default: return [&] { std::string b = in.Bytes(300); return std::vector<BYTE>(b.begin(), b.end()); }();
    }
    std::vector<BYTE> data(bytes.begin(), bytes.end());
    if (type == REG_DWORD) data.resize(4);
    else if (!in.Rarely(4)) data.push_back(0);  // most texts end in their NUL
    return data;
}

RegistryValue TextValue(Decoder& in, const std::string& name, const std::string& usual) {
    if (in.Rarely(8)) {
        static const DWORD kTypes[] = {REG_DWORD, REG_BINARY, REG_EXPAND_SZ, REG_MULTI_SZ};
        const DWORD type = in.Pick(kTypes);
        return RegistryValue{name, type, ValueData(in, type)};
    }
    return StringValue(name, in.TextOr(usual, 300));
}

RegistryValue AnyValue(Decoder& in, const std::string& name) {
    static const DWORD kTypes[] = {REG_SZ, REG_DWORD, REG_EXPAND_SZ, REG_BINARY, REG_MULTI_SZ, REG_NONE, REG_QWORD};
    const DWORD type = in.Pick(kTypes);
    return RegistryValue{name, type, ValueData(in, type)};
}

// A text value, NUL-ended, most often the usual text; now and then any type and bytes.
void SetText(MachineDescription& m, Decoder& in, const std::string& key, const std::string& name,
             const std::string& usual) {
    RegistryWriter(m).SetValue(kHklm + key, TextValue(in, name, usual));
}

void SetValue(MachineDescription& m, Decoder& in, const std::string& key, const std::string& name) {
    RegistryWriter(m).SetValue(kHklm + key, AnyValue(in, name));
}

void EnsureKey(MachineDescription& m, const std::string& key) { RegistryWriter(m).EnsureKey(kHklm + key); }

// A last-write time from the input, set once the machine is set up.
void SetTime(MachineDescription& m, Decoder& in, const std::string& key) {
    m.key_times.push_back({.key = kHklm + key, .time = in.Number64()});
}


// The physical path below HKLM of a path below SOFTWARE as the 32-bit view sees it.
std::string Software32(const MachineDescription& m, const std::string& below) {
    return (m.is_64bit ? "SOFTWARE\\Wow6432Node\\" : "SOFTWARE\\") + below;
}

// Scanner devices (and now and then another device) with their keys' values.
void DecodeDevices(FuzzedMachine& fuzzed, Decoder& in) {
    MachineDescription& m = fuzzed.description;
    const size_t count = 1 + in.Pick(3);
    std::set<std::string> ids;
    std::set<std::string> drivers;
    for (size_t i = 0; i < count; ++i) {
        DeviceSetup& d = m.devices.emplace_back();
        const std::string serial = in.TextOr("5&1F2E3D4C&0&" + std::to_string(2 + i), 80);
        switch (in.Pick(3)) {
            case 0: d.instance_id = "USB\\VID_2E5A&PID_0920\\" + serial; break;
            case 1: d.instance_id = serial; break;  // perhaps without a backslash
            default: d.instance_id = "USB\\VID_2E5A&PID_0920\\" + std::string(in.Pick(120) + 60, 'S'); break;
        }
        if (d.instance_id.empty() || d.instance_id.size() > 199) d.instance_id = "ROOT\\IMAGE\\" + std::to_string(i);
        if (!ids.insert(Folded(d.instance_id)).second) d.instance_id += "#" + std::to_string(i);
        ids.insert(Folded(d.instance_id));
        if (in.Rarely(6)) {
            d.class_guid = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";
            d.class_name = "Mouse";
        }
        d.description = in.TextOr("Tarvix Q920k", 300);
        d.manufacturer = in.TextOr("Tarvix", 300);
        switch (in.Pick(3)) {
            case 0: d.hardware_ids = {"USB\\VID_2E5A&PID_0920&REV_0100", "USB\\VID_2E5A&PID_0920"}; break;
            case 1: break;
            default: d.hardware_ids = {in.Text(300)}; break;
        }
        if (!in.Rarely(8)) {
            std::string driver = "000" + std::to_string(i);
            if (in.Bool()) driver = KeyName(in, driver);
            if (drivers.insert(Folded(driver)).second) d.driver_instance = driver;
        }
        d.hardware_key = !in.Rarely(8);
        d.present = !in.Rarely(6);
        static const DWORD kFlags[] = {0, DI_NEEDREBOOT, DI_NEEDRESTART, 0xFFFFFFFF};
        d.install_flags = in.Pick(kFlags);
        d.install_flags_ex = in.Bool() ? in.Number(0xFFFFFFFF) : 0;
        if (in.Rarely(6)) {
            plat::SelectedDriver driver;
            driver.inf_file = in.Bool() ? "C:\\Windows\\inf\\oem3.inf" : "C:\\Windows\\inf\\" + FileName(in);
            driver.section = in.TextOr("Q920k.Install", 40);
            d.selected_driver = driver;
        }
        d.description_unreadable = in.Rarely(10);

        if (d.hardware_key) {
            switch (in.Pick(4)) {
                case 0: d.hardware_key_values.push_back(StringValue(kModelValueName, kQ920kModel)); break;
                case 1: break;
                case 2: d.hardware_key_values.push_back(AnyValue(in, kModelValueName)); break;
                default: d.hardware_key_values.push_back(StringValue(kModelValueName, in.Text(40))); break;
            }
            for (const char* name : {"NetworkDeviceID", "PortID", "NetworkHostName"})
                if (in.Bool()) d.hardware_key_values.push_back(StringValue(name, in.Text(300)));
        }
        if (!d.driver_instance.empty()) {
            // The driver key as the device installer names it; its button events are made before
            // the device is added, which makes the key when it is not there yet.
            const std::string key = std::string(plat::sim::kClassRoot) + "\\" + d.class_guid + "\\" + d.driver_instance;
            if (in.Bool()) d.driver_key_values.push_back(AnyValue(in, "SWDevInst"));
            const size_t events = in.Pick(4);
            for (size_t e = 0; e < events; ++e) {
                static const char* const kButtons[] = {"ScanButton", "CopyButton", "EmailButton"};
                const std::string event = key + "\\Events\\" + KeyName(in, in.Pick(kButtons));
                EnsureKey(m, event);
                if (!in.Rarely(5)) SetText(m, in, event, "GUID", in.Pick(kGuids));
                if (in.Bool()) SetValue(m, in, event, in.Bool() ? "" : "LaunchApplications");
            }
        }
        // The device's TWAIN data source, as its software installed it.
        if (!d.driver_instance.empty() && d.driver_instance.size() < 60 && IsFileName(d.driver_instance) && in.Bool()) {
            const std::string folder = "%WINDIR%\\TWAIN_32\\tvpn_" + d.driver_instance;
            m.files.push_back({.path = folder + "\\tvpn_" + d.driver_instance + ".ds", .bytes = "DS"});
        }
    }
}

// The system's still-image events: the wizard's handler info below the scan button's event, and
// events with their handlers, as Windows and imaging software install them.
void DecodeStillImage(MachineDescription& m, Decoder& in) {
    static const char* const kHandlerValues[][2] = {{"Name", "Microsoft Scanner and Camera Wizard"},
                                                    {"Desc", "Download pictures from a camera or scanner"},
                                                    {"Icon", "sti.dll,0"},
                                                    {"CmdLine", "rundll32.exe shimgvw.dll,ImageView_Fullscreen"}};
    auto handler = [&](const std::string& key) {
        EnsureKey(m, key);
        for (const auto& [name, usual] : kHandlerValues)
            if (!in.Rarely(6)) SetText(m, in, key, name, usual);
        if (in.Bool()) SetTime(m, in, key);
    };
    if (!in.Rarely(5)) {
        RegistryWriter(m).SetString(kHklm + kStillImageEvents + "\\ScanButton", "GUID", kGuids[0]);
        handler(std::string(kStillImageEvents) + "\\ScanButton\\" + kWizardClsid);
    }
    const size_t events = in.Pick(4);
    for (size_t e = 0; e < events; ++e) {
        static const char* const kEvents[] = {"CopyButton", "ScanButton", "EmailButton"};
        const std::string event = std::string(kStillImageEvents) + "\\" + KeyName(in, in.Pick(kEvents));
        EnsureKey(m, event);
        if (!in.Rarely(5)) SetText(m, in, event, "GUID", in.Pick(kGuids));
        for (size_t h = in.Pick(4); h > 0; --h) handler(event + "\\" + KeyName(in, in.Pick(kGuids)));
    }
}

// Keys and values where the co-installer looks, each with names the usual ones or the input's.
void DecodeRegistry(MachineDescription& m, Decoder& in) {
    static const char* const kNames[] = {"ScanButton", "VID_0000&PID_0000", "VID_2E5A&PID_0920",
                                         "5&1F2E3D4C&0&2", "{11111111-AAAA-4AAA-8AAA-111111111111}",
                                         "Tarvix Q920k", "0000", "CopyButton"};
    static const char* const kValueNames[] = {"", "GUID", "Name", "Desc", "Icon", "CmdLine", "DefaultHandler",
                                              "Class", "_PnPFinishedEvent", "tvxQ920k", "SystemSetupInProgress",
                                              "TarvixSoftwareApps", "DeviceID", "LaunchApplications"};
    const std::string imageClass = plat::sim::kImageClassKey;
    const size_t count = in.Pick(17);
    for (size_t i = 0; i < count; ++i) {
        std::string key;
        switch (in.Pick(12)) {
            case 0: key = std::string(kStillImageEvents) + "\\ScanButton\\" + kWizardClsid; break;
            case 1: key = std::string(kStillImageEvents) + "\\" + KeyName(in, in.Pick(kNames)); break;
            case 2:
                key = std::string(kStillImageEvents) + "\\" + KeyName(in, in.Pick(kNames)) + "\\" +
                      KeyName(in, in.Pick(kGuids));
                break;
            case 3: key = std::string(plat::sim::kEnumRoot) + "\\USB\\" + KeyName(in, in.Pick(kNames)); break;
            case 4:
                key = std::string(plat::sim::kEnumRoot) + "\\USB\\" + KeyName(in, in.Pick(kNames)) + "\\" +
                      KeyName(in, in.Pick(kNames));
                break;
            case 5: key = Software32(m, "Tarvix\\tvx\\c32\\tvx"); break;
            case 6: key = Software32(m, "Tarvix\\tvx\\c32"); break;
            case 7:
                key = Software32(m, "Tarvix\\DigitalImaging\\" + KeyName(in, "Tarvix Q920k") +
                                              "\\DeviceInstances\\" + KeyName(in, in.Pick(kNames)));
                if (in.Bool()) key += "\\Functions\\Scan";
                break;
            case 8: key = "SYSTEM\\Setup"; break;
            case 9: key = Software32(m, "Microsoft\\Windows\\CurrentVersion\\RunOnce"); break;
            case 10: key = imageClass + "\\" + KeyName(in, in.Pick(kNames)); break;
            default: key = imageClass + "\\" + KeyName(in, "0000") + "\\Events\\" + KeyName(in, in.Pick(kNames)); break;
        }
        EnsureKey(m, key);
        if (!in.Rarely(4)) SetValue(m, in, key, in.Bool() ? in.Text(40) : in.Pick(kValueNames));
        if (in.Bool()) SetTime(m, in, key);
    }
}

// Drives and the files on them; the usual machine has the install disc in D:.
void DecodeDrives(FuzzedMachine& fuzzed, Decoder& in) {
    static const char kLetters[] = {'D', 'E', 'F', 'Z', 'A', 'B'};
    static const uint32_t kTypes[] = {kDriveCdrom, kDriveRemovable, kDriveFixed, kDriveRemote, kDriveRamdisk};
    const size_t count = (in.Pick(4) + 1) % 4;
    std::set<char> letters;
    for (size_t i = 0; i < count; ++i) {
        DriveSetup drive;
        drive.letter = in.Pick(kLetters);
        if (!letters.insert(drive.letter).second) continue;
        drive.type = in.Pick(kTypes);
        drive.label = in.TextOr("TARVIX_Q920K", 40);
        drive.serial = in.Number(0xFFFFFFFF);
        if (!in.Rarely(6)) {
            std::vector<std::filesystem::path>& files = fuzzed.disc_files[drive.letter];
            std::set<std::string> names;
            auto add = [&](const std::filesystem::path& below) {
                if (names.insert(Folded(below.string())).second) files.push_back(below);
            };
            if (!in.Rarely(4)) add("TarvixWia_LXR415_U.INF");
            if (!in.Rarely(4)) add("setup.exe");
            if (!in.Rarely(4)) add(std::filesystem::path("fwUpdate") / "tarvixFirmwareUpdateTool.exe");
            for (size_t f = in.Pick(3); f > 0; --f) add(in.Bool() ? std::filesystem::path(FileName(in))
                                                                  : std::filesystem::path(FileName(in)) / FileName(in));
            for (const char* program : {"setup.exe", "fwUpdate\\tarvixFirmwareUpdateTool.exe"}) {
                ProgramSetup& behaviour = fuzzed.description.programs.emplace_back();
                behaviour.path = std::string(1, drive.letter) + ":\\" + program;
                behaviour.run_time_ms = in.Number(100000);
                behaviour.exit_code = in.Number(0xFFFFFFFF);
                behaviour.never_ends = in.Rarely(16);
            }
        }
        fuzzed.description.drives.push_back(drive);
    }
}

// The still-image service and its monitor window, COM on the installer's thread, and the WIA
// device manager's answers.
void DecodeSystem(FuzzedMachine& fuzzed, Decoder& in) {
    MachineDescription& m = fuzzed.description;
    if (!in.Rarely(4)) {
        const bool running = !in.Bool();
        ServiceSetup& service = m.services.emplace_back(StillImageService(running, in.Number(60000)));
        service.refuses_stop = in.Rarely(4);
        service.never_stops = !service.refuses_stop && in.Rarely(8);
    }
    if (in.Bool()) m.windows.push_back({.class_name = "STIExe_Window_Class", .title = "STI Monitor"});
    static const plat::sim::Apartment kApartments[] = {plat::sim::Apartment::None,
                                                       plat::sim::Apartment::SingleThreaded,
                                                       plat::sim::Apartment::MultiThreaded};
    fuzzed.apartment = in.Pick(kApartments);
    if (fuzzed.apartment != plat::sim::Apartment::None) fuzzed.apartment_depth = 1 + in.Pick(2);
    static const HRESULT kResults[] = {S_OK, REGDB_E_CLASSNOTREG, E_FAIL, E_NOTIMPL, E_OUTOFMEMORY};
    m.wia.create_result = static_cast<uint32_t>(in.Pick(kResults));
    if (in.Bool()) {
        GUID event{};
        if (plat::text::ParseGuid(in.Pick(kGuids), &event))
            m.wia.event_results.push_back(
                {.event = plat::text::FormatGuid(event), .result = static_cast<uint32_t>(in.Pick(kResults))});
    }
    m.tick_count_start = in.Number(0xFFFFFFFF);
}

// The machine's version: the usual first, then every family the co-installer tells apart.
void DecodeProfile(MachineDescription& m, Decoder& in) {
    struct Version {
        DWORD major, minor, platform;
    };
    static const Version kVersions[] = {{5, 2, VER_PLATFORM_WIN32_NT}, {5, 1, VER_PLATFORM_WIN32_NT},
                                        {6, 1, VER_PLATFORM_WIN32_NT}, {6, 0, VER_PLATFORM_WIN32_NT},
                                        {5, 0, VER_PLATFORM_WIN32_NT}, {10, 0, VER_PLATFORM_WIN32_NT},
                                        {4, 10, VER_PLATFORM_WIN32_WINDOWS}, {4, 90, VER_PLATFORM_WIN32_WINDOWS}};
    const Version& v = in.Pick(kVersions);
    m.os.major = v.major;
    m.os.minor = v.minor;
    m.os.platform_id = v.platform;
    m.os.service_pack = in.Text(130);
    m.is_64bit = !in.Bool();
    m.administrator = !in.Bool();
}

}  // namespace

FuzzedMachine DecodeMachine(Decoder& in) {
    FuzzedMachine fuzzed;
    MachineDescription& m = fuzzed.description;
    DecodeProfile(m, in);
    // Decided next, from the input's last bytes, which even a short input has: whether the
    // system's own setup runs, which turns the install to software first.
    if (in.Rarely(4)) RegistryWriter(m).SetDword(kHklm + "SYSTEM\\Setup", "SystemSetupInProgress", 1);
    DecodeDevices(fuzzed, in);
    DecodeStillImage(m, in);
    DecodeRegistry(m, in);
    DecodeDrives(fuzzed, in);
    DecodeSystem(fuzzed, in);
    return fuzzed;
}

void PutDiscs(FuzzedMachine& fuzzed, const std::filesystem::path& run_folder) {
    for (DriveSetup& drive : fuzzed.description.drives) {
        auto files = fuzzed.disc_files.find(drive.letter);
        if (files == fuzzed.disc_files.end()) continue;
        drive.folder = sim::DriveFolder(run_folder, drive.letter);
        std::filesystem::create_directories(drive.folder);
        for (const std::filesystem::path& below : files->second) {
            std::filesystem::create_directories((drive.folder / below).parent_path());
            std::ofstream(drive.folder / below, std::ios::binary) << "MZ";
        }
    }
}

}  // namespace tvx::fuzz
