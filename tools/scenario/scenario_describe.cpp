// A scenario's machine and steps in words, for reports. Portable.
#include <algorithm>
#include <cstdio>

#include "tools/scenario/names.h"
#include "tools/scenario/scenario.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

std::string WindowsName(const OsVersionSetup& os) {
    uint32_t v = os.major * 100 + os.minor;
    if (os.platform_id == 1) {
        if (v == 410) return os.service_pack.rfind(" A ", 0) == 0 ? "Windows 98 Second Edition" : "Windows 98";
        if (v == 490) return "Windows Me";
        return "a Windows 9x system";
    }
    if (os.platform_id != 2) return "a system of unknown family";
    switch (v) {
        case 500: return "Windows 2000";
        case 501: return "Windows XP";
        case 502: return os.product_type == 1 ? "Windows XP x64 Edition" : "Windows Server 2003";
        case 600: return os.product_type == 1 ? "Windows Vista" : "Windows Server 2008";
        case 601: return os.product_type == 1 ? "Windows 7" : "Windows Server 2008 R2";
        case 602: return "Windows 8, or a later Windows that reports itself as 6.2";
        case 603: return "Windows 8.1";
        case 1000: return "Windows 10";
        default: return "an NT system";
    }
}

std::string DriveTypeName(uint32_t type) {
    switch (type) {
        case kDriveRemovable: return "removable disk";
        case kDriveFixed: return "fixed disk";
        case kDriveRemote: return "network drive";
        case kDriveCdrom: return "CD-ROM drive";
        case kDriveRamdisk: return "RAM disk";
        default: return "drive";
    }
}

// The top of a drive's folder, as a reader would list it: "setup.exe, fwUpdate\".
std::string FolderContents(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string() + (entry.is_directory() ? "\\" : ""));
    std::sort(names.begin(), names.end());
    if (names.empty()) return "empty";
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

std::string Values(const std::vector<RegistryValue>& values) {
    std::string out;
    for (const RegistryValue& v : values) out += (out.empty() ? "" : "; ") + FormatRegValue(v);
    return out;
}

}  // namespace

std::vector<std::string> DescribeMachine(const Scenario& scenario) {
    const MachineDescription& m = scenario.machine;
    std::vector<std::string> lines;
    char version[160];
    std::snprintf(version, sizeof version, "Windows version %u.%u, build %u, %s family", m.os.major, m.os.minor,
                  m.os.build, m.os.platform_id == 1 ? "9x" : m.os.platform_id == 2 ? "NT" : "unknown");
    std::string os = std::string(version);
    if (!m.os.service_pack.empty()) os += ", \"" + m.os.service_pack + "\"";
    os += " (" + WindowsName(m.os) + "), " + (m.is_64bit ? "64-bit" : "32-bit") + "; the user is " +
          (m.administrator ? "an administrator" : "not an administrator");
    lines.push_back(os);

    for (const RegFile& file : m.registry) {
        size_t values = 0;
        for (const RegFileKey& key : file.keys) values += key.values.size();
        lines.push_back("Registry content from " + fs::path(file.file).filename().string() + ": " +
                        std::to_string(file.keys.size()) + " keys, " + std::to_string(values) + " values");
    }
    for (const DriveSetup& d : m.drives) {
        std::string line = std::string("Drive ") + d.letter + ": " + DriveTypeName(d.type);
        if (!d.label.empty()) line += ", volume label \"" + d.label + "\"";
        line += d.folder.empty() ? ", no medium" : ", holding " + FolderContents(d.folder);
        lines.push_back(line);
    }
    for (const DeviceSetup& d : m.devices) {
        std::string line = "Device " + d.instance_id;
        if (!d.description.empty()) line += " \"" + d.description + "\"";
        if (!d.manufacturer.empty()) line += " by " + d.manufacturer;
        line += d.present ? ", plugged in" : ", not present";
        lines.push_back(line);
        lines.push_back("  driver key: " + (d.driver_instance.empty() ? std::string("none yet")
                                                                       : d.class_guid + "\\" + d.driver_instance) +
                        (d.driver_key_values.empty() ? "" : ", with " + Values(d.driver_key_values)));
        lines.push_back("  hardware key: " +
                        (!d.hardware_key ? std::string("none")
                                         : d.hardware_key_values.empty() ? std::string("no values")
                                                                         : Values(d.hardware_key_values)));
        if (d.install_flags || d.install_flags_ex)
            lines.push_back("  installation parameters: Flags " + DescribeInstallFlags(d.install_flags) +
                            ", FlagsEx " + DescribeInstallFlagsEx(d.install_flags_ex));
        if (d.selected_driver)
            lines.push_back("  selected driver: section [" + d.selected_driver->section + "] of " +
                            d.selected_driver->inf_file);
        if (d.description_unreadable) lines.push_back("  its properties cannot be read (removed during a walk)");
    }
    for (const ServiceSetup& s : m.services) {
        std::string line = "Service " + s.name + (s.display_name.empty() ? "" : " (\"" + s.display_name + "\")") +
                           ": " + s.state;
        if (s.transition_ms) line += ", a start or stop takes " + std::to_string(s.transition_ms) + " ms";
        if (s.refuses_stop) line += ", refuses to be stopped";
        if (s.never_stops) line += ", never stops once asked to (it stays stop pending)";
        lines.push_back(line);
    }
    for (const WindowSetup& w : m.windows)
        lines.push_back("Window of class " + w.class_name + (w.title.empty() ? "" : " \"" + w.title + "\""));
    for (const ProgramSetup& p : m.programs)
        lines.push_back("Program " + p.path + (p.never_ends ? ": never ends once started"
                                                            : ": runs " + std::to_string(p.run_time_ms) +
                                                                  " ms of virtual time and exits with " +
                                                                  std::to_string(p.exit_code)));
    if (m.wia.create_result) lines.push_back("The WIA device manager cannot be created: " + Hex8(m.wia.create_result));
    for (const WiaEventResult& e : m.wia.event_results)
        lines.push_back("The WIA device manager answers " + Hex8(e.result) + " to a registration for event " + e.event);
    for (const KeyTimeSetup& k : m.key_times)
        lines.push_back("Key " + k.key + " was last written at time " + std::to_string(k.time));
    if (m.tick_count_start) {
        char ticks[64];
        std::snprintf(ticks, sizeof ticks, "The tick count starts at %u (0x%08X)", *m.tick_count_start,
                      *m.tick_count_start);
        lines.push_back(ticks);
    }
    return lines;
}

std::string DescribeStep(const Scenario& scenario, const Step& step) {
    switch (step.kind) {
        case StepKind::Load:
            return step.implicit ? "load TarvixQ920kCO.dll (added: the library is loaded before its first call)"
                                 : "load TarvixQ920kCO.dll";
        case StepKind::Unload:
            return step.implicit ? "unload TarvixQ920kCO.dll (added: the library is unloaded at the end)"
                                 : "unload TarvixQ920kCO.dll";
        case StepKind::InstallPellionSoftware:
            return "InstallPellionSoftware with command line \"" + step.command_line + "\"";
        case StepKind::Dif: {
            std::string text = "TarvixScannerCoInstaller " + DescribeDif(step.dif_code);
            text += step.post_processing ? ", post-processing, InstallResult " + DescribeResult(step.install_result)
                                         : ", pre-processing";
            if (step.device < scenario.machine.devices.size())
                text += ", device " + scenario.machine.devices[step.device].instance_id;
            return text;
        }
    }
    return "";
}

}  // namespace tvx
