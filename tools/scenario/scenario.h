// A scenario: one Windows machine (version, bitness, rights, registry, drives, devices, services,
// windows, how started programs behave), the calls the device installer or the DLL runner makes
// on the co-installer, and what is expected to happen. Read from a TOML file; every text is kept
// in the machine's ANSI code page. Portable: the simulated machine and the Wine harness both set
// themselves up from this model.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_description.h"
#include "platform/text/guid.h"
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

struct MachineSetup {
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

enum class StepKind { Load, Dif, InstallPellionSoftware, Unload };

struct Step {
    StepKind kind = StepKind::Load;
    bool implicit = false;  // a load or unload the scenario did not write out
    // DIF calls.
    uint32_t dif_code = 0;
    bool post_processing = false;
    uint32_t install_result = 0;
    size_t device = 0;  // index into MachineSetup::devices
    // InstallPellionSoftware.
    std::string command_line;
    // Expected result of a DIF call, and the line that says so.
    std::optional<uint32_t> expect_result;
    int expect_line = 0;
    int line = 0;
};

struct RegistryExpectation {
    std::string key;                   // canonical path
    std::optional<std::string> value;  // nothing: the key itself; "": the default value
    bool present = true;
    std::optional<RegistryValue> data;  // type and bytes the value must hold
    int line = 0;
};

struct ProgramExpectation {
    std::string command_line;
    std::optional<std::string> directory;
    std::optional<bool> waited;  // whether the co-installer waited for it to end
    int line = 0;
};

// A service's state at the end of the run (once pending transitions have run their course), and
// optionally the whole list of its state changes during the run.
struct ServiceExpectation {
    std::string name;
    std::optional<std::string> state;                 // "stopped", "running", "stop pending", ...
    std::optional<std::vector<std::string>> changes;  // "stop pending", "stopped", "start pending", "running"
    int line = 0;
};

struct MessageExpectation {
    std::string window_class;
    uint32_t message = 0;
    uint64_t wparam = 0;
    uint64_t lparam = 0;
    int line = 0;
};

struct LogExpectation {
    std::string file = "_coInst.log";  // name in the temporary folder
    std::string text;
    bool whole_line = true;  // false: the text may be part of a line
    bool present = true;
    std::optional<uint32_t> count;  // when given: exactly this many matching lines
    int line = 0;
};

// One RegisterEventCallbackCLSID call; what is not given is not checked.
struct WiaRegistrationExpectation {
    std::string event;                     // GUID text, compared without regard to case
    std::optional<std::string> device_id;  // "" expects no device ID (a null one)
    std::optional<std::string> clsid;
    std::optional<std::string> name;
    std::optional<std::string> description;
    std::optional<std::string> icon;
    std::optional<uint32_t> flags;
    std::optional<uint32_t> result;
    int line = 0;
};

// A file or folder after the run (path as in FileSetup).
struct FileExpectation {
    std::string path;
    bool present = true;
    std::optional<std::string> bytes;  // a file's whole content, when given
    int line = 0;
};

// The run's net change: everything the run changed in the registry and in the watched folders
// must lie at or below one of these keys and paths; anything else it changed is unmet.
struct NetChangeExpectation {
    std::vector<std::string> registry;  // canonical key paths
    std::vector<std::string> files;     // %TEMP%\_coInst.log, %WINDIR%\TWAIN_32\tvpn_0000 ...
    int registry_line = 0;
    int files_line = 0;
    int line = 0;
};

struct Expectations {
    std::vector<RegistryExpectation> registry;
    // When given, the programs started, in order, and no others.
    std::optional<std::vector<ProgramExpectation>> programs;
    int programs_line = 0;
    // When given, the named events set, in order, and no others.
    std::optional<std::vector<std::string>> events;
    int events_line = 0;
    std::vector<LogExpectation> log;
    std::vector<ServiceExpectation> services;
    // When given, the window messages posted, in order, and no others.
    std::optional<std::vector<MessageExpectation>> messages;
    int messages_line = 0;
    // When given: the command line of the program the co-installer ends up waiting for forever, or
    // "" for a run in which every wait ends.
    std::optional<std::string> waits_forever;
    int waits_forever_line = 0;
    // When given, the WIA registrations made, in order, and no others.
    std::optional<std::vector<WiaRegistrationExpectation>> wia_registrations;
    int wia_registrations_line = 0;
    // When given, the texts the co-installer wrote to the debugger output, in order, and no others.
    std::optional<std::vector<std::string>> debug_output;
    int debug_output_line = 0;
    std::vector<FileExpectation> files;
    std::optional<NetChangeExpectation> net_change;

    bool empty() const;
};

struct Scenario {
    std::string name;
    std::string description;
    std::filesystem::path file;  // the scenario file as given
    MachineSetup machine;
    std::vector<Step> steps;
    Expectations expect;
};

// Reads a scenario file, or the scenario.toml of a folder given instead; relative paths in it are
// relative to its folder. Throws ScenarioError (file, line, what is wrong, and how to write it where
// that is clear) for every problem: a file that cannot be read, a folder without scenario.toml,
// unknown key or name, wrong type, missing file, malformed .reg, a path or key written with '/' or
// holding control characters, a machine that cannot be, a step that names no known device.
Scenario ReadScenario(const std::filesystem::path& file);
// The same from text in hand; `file` names it in errors and anchors relative paths.
Scenario ParseScenario(std::string_view toml_text, const std::filesystem::path& file);

// The machine in a few lines for people, as a report shows it.
std::vector<std::string> DescribeMachine(const Scenario& scenario);
// "DIF_INSTALLDEVICE (0x02), post-processing, InstallResult NO_ERROR (0x00000000)", "load", ...
std::string DescribeStep(const Scenario& scenario, const Step& step);

}  // namespace tvx
