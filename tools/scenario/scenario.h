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

#include "tools/scenario/machine_description.h"
#include "tools/scenario/registry_snapshot.h"

namespace tvx {

enum class StepKind { Load, Dif, InstallPellionSoftware, Unload };

struct Step {
    StepKind kind = StepKind::Load;
    bool implicit = false;  // a load or unload the scenario did not write out
    // DIF calls.
    uint32_t dif_code = 0;
    bool post_processing = false;
    uint32_t install_result = 0;
    size_t device = 0;  // index into MachineDescription::devices
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
    MachineDescription machine;
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
