// The machine a scenario runs on, as plain data: Windows version and bitness, the account's rights,
// registry content, drives, devices with their keys, services, windows, how started programs
// behave, the WIA device manager's answers, files, key times and the tick count. Every text is in
// the machine's ANSI code page. Portable: no platform call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_description.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/registry_snapshot.h"

namespace tvx {

struct OsVersionSetup {
    uint32_t major = 5;
    uint32_t minor = 2;
    uint32_t build = 3790;
    uint32_t platform_id = 2;  // 1: Windows 9x family, 2: NT family
    std::string service_pack;  // the version's additional text
    uint32_t product_type = 1;  // 1 workstation, 2 domain controller, 3 server
};

// Drive types with Windows' numbers (GetDriveType).
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdrom = 5;
constexpr uint32_t kDriveRamdisk = 6;

struct DriveSetup {
    char letter = 'D';
    uint32_t type = kDriveCdrom;  // C:, the system drive, is always fixed
    std::string label;
    std::optional<uint32_t> serial;
    std::filesystem::path folder;  // absolute; empty: an empty drive
    int line = 0;
};

// The driver the device installer selected for a device: its INF file and install section.
using SelectedDriverSetup = plat::SelectedDriver;

// A device of the machine: its description, shared with the machines it is set up on, and what the
// scenario adds to it.
struct DeviceSetup : plat::DeviceDescription {
    std::vector<RegistryValue> hardware_key_values;
    std::vector<RegistryValue> driver_key_values;
    bool description_unreadable = false;  // its properties cannot be read (removed during a walk)
    int line = 0;
};

// The WIA device manager: whether it can be created, and what RegisterEventCallbackCLSID answers
// per event GUID (S_OK for every other event).
struct WiaEventResult {
    std::string event;  // "{A28BBADE-64B6-11D2-A231-00C04FA31809}", upper case
    uint32_t result = 0;
    int line = 0;
};

struct WiaSetup {
    uint32_t create_result = 0;  // CoCreateInstance's answer; 0 (S_OK): the manager is made
    std::vector<WiaEventResult> event_results;
};

// A key's last-write time (the .reg format has none), set once the registry is set up.
struct KeyTimeSetup {
    std::string key;     // canonical path
    uint64_t time = 0;   // FILETIME: 100-nanosecond intervals since 1601-01-01
    int line = 0;
};

struct ServiceSetup {
    std::string name;
    std::string display_name;
    std::string state = "stopped";  // "stopped" or "running"
    uint32_t transition_ms = 0;     // virtual time a start or stop takes
    bool refuses_stop = false;      // the service does not accept the stop control
    bool never_stops = false;       // after a stop request it stays stop pending for good
    int line = 0;
};

struct WindowSetup {
    std::string class_name;
    std::string title;
    int line = 0;
};

struct ProgramSetup {
    std::string path;  // Windows path of the program file
    uint32_t run_time_ms = 0;
    uint32_t exit_code = 0;
    bool never_ends = false;  // runs for good: a wait for it without a time limit never returns
    int line = 0;
};

// A file or folder that is on the machine before the run. Its path starts with %WINDIR% (the
// Windows directory) or %TEMP% (the temporary folder), the folders both machines stand for in
// their own places; the folders above it are made as needed.
struct FileSetup {
    std::string path;   // %WINDIR%\TWAIN_32\tvpn_0000\tvpn_0000.ds
    bool folder = false;
    std::string bytes;  // a file's content
    int line = 0;
};

// A whole machine as plain data, before anything is run on it. The scenario reader makes it from a
// scenario's [machine]; tests, benchmarks and fuzz targets write it in code. Each machine has one
// builder that sets it up from this: the simulated machine's (tools/tvx-sim/machine_setup.h) and
// the Wine harness's (tools/wine/wine_setup.h).
struct MachineDescription {
    OsVersionSetup os;
    bool is_64bit = true;
    bool administrator = true;
    std::vector<RegFile> registry;  // applied in order
    std::vector<DriveSetup> drives;
    std::vector<DeviceSetup> devices;
    std::vector<ServiceSetup> services;
    std::vector<WindowSetup> windows;
    std::vector<ProgramSetup> programs;
    WiaSetup wia;
    std::vector<KeyTimeSetup> key_times;  // applied in order, after the registry and the devices
    std::vector<FileSetup> files;         // made in order, before the run
    // GetTickCount at the start of the run; nothing: the machine's own (0 on the simulated machine).
    std::optional<uint32_t> tick_count_start;
};

}  // namespace tvx
