// Set-up shared by the removal tests: a scanner instance with its imaging device-instance keys, its
// TWAIN data source and the hardware-first marker, at their places on the simulated machine.
#pragma once

#include <map>
#include <set>
#include <string>

#include "tests/sim_fixture.h"

namespace tvx::test {

using plat::sim::Hive;

constexpr const char* kScannerManufacturer = "Tarvix";
constexpr const char* kScannerDescription = "Tarvix Q920k";

// The physical path of a path below HKEY_LOCAL_MACHINE\Software as the 32-bit view names it.
inline std::string Software32(SimRig& rig, const std::string& below) {
    return std::string(rig.machine.profile().is_64bit ? "SOFTWARE\\Wow6432Node\\" : "SOFTWARE\\") + below;
}

// The imaging model key of a manufacturer and description, below Software.
inline std::string ModelKey(const std::string& manufacturer, const std::string& description) {
    return manufacturer + "\\DigitalImaging\\" + description;
}

// The keys an imaging device instance has below its model key, in the 32-bit view.
inline void AddInstanceKeys(SimRig& rig, const std::string& model, const std::string& serial) {
    const std::string device = Software32(rig, model + "\\DeviceInstances\\" + serial);
    rig.machine.registry().SetString(Hive::LocalMachine, device + "\\Functions\\Scan", "Name", "Scan");
    rig.machine.registry().SetString(Hive::LocalMachine, device + "\\Strings", "Label", "Q920k");
    rig.machine.registry().SetString(Hive::LocalMachine, device, "Port", "USB");
}

// The instance's TWAIN data source: C:\Windows\TWAIN_32\tvpn_<n>\tvpn_<n>.ds.
inline std::string TwainFolder(const std::string& instance) { return "C:\\Windows\\TWAIN_32\\tvpn_" + instance; }
inline std::string TwainFile(const std::string& instance) {
    return TwainFolder(instance) + "\\tvpn_" + instance + ".ds";
}
inline void AddTwainSource(SimRig& rig, const std::string& instance) {
    std::filesystem::create_directories(rig.machine.c_drive_folder() / "Windows" / "TWAIN_32" / ("tvpn_" + instance));
    rig.machine.files().WriteFile(TwainFile(instance), "DS");
}

// The hardware-first marker as the install decision leaves it, with further values when asked.
inline void AddMarker(SimRig& rig, std::initializer_list<const char*> models = {"tvxQ920k"}) {
    const std::string marker = Software32(rig, "Tarvix\\tvx\\c32\\tvx");
    rig.machine.registry().SetString(Hive::LocalMachine, marker, "_PnPFinishedEvent", "1");
    for (const char* model : models) rig.machine.registry().SetString(Hive::LocalMachine, marker, model, "1");
    rig.machine.registry().SetString(Hive::LocalMachine, Software32(rig, "Tarvix\\tvx\\c32"), "tvx_PNPFinishedEvent_99",
                                     "");
}

// Every key of HKEY_LOCAL_MACHINE with its value names, as "path" and "path -> value".
inline std::set<std::string> RegistryEntries(SimRig& rig) {
    std::set<std::string> entries;
    rig.machine.registry().Walk(Hive::LocalMachine, [&](const plat::sim::RegKey& key, const std::string& path) {
        entries.insert(path);
        for (const auto& value : key.values) entries.insert(path + " -> " + value.name);
    });
    return entries;
}

// Every file and folder of drive C:, as host paths relative to the drive's folder.
inline std::set<std::string> DriveEntries(SimRig& rig) {
    std::set<std::string> entries;
    const auto root = rig.machine.c_drive_folder();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        entries.insert(std::filesystem::relative(entry.path(), root).string());
    return entries;
}

}  // namespace tvx::test
