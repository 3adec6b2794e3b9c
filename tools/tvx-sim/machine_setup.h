// Building a simulated machine from a machine description, and reading its state back as plain data
// for the report: the registry as a snapshot, the watched folders' files, the log files of the
// temporary folder. tvx-sim, the tests, the benchmarks and the fuzz targets make their machines so.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/machine_description.h"
#include "tools/scenario/machine_parts.h"

namespace tvx::sim {

// The machine's profile: version, bitness, administrator.
plat::sim::MachineProfile ProfileOf(const MachineDescription& description);

// Copies the description's drive folders below run_folder (so nothing the run does reaches the
// originals; a folder that already is the run's drive folder is used as it is), maps the drives (a
// drive without a folder holds no medium), applies the .reg content, adds the devices with their
// key values, the services, the top-level windows, how started programs behave, the WIA device
// manager's answers, the files, the key times and the tick count at the start. It adds to what the
// machine has, so a machine can be set up in parts. What cannot be set up is a ScenarioError that
// names `described_in` and the description's line.
void SetUpMachine(plat::sim::Machine& machine, const MachineDescription& description,
                  const std::filesystem::path& run_folder, const std::string& described_in = "machine description");

// Adds one device with its key values; answers its index.
size_t AddDevice(plat::sim::Machine& machine, const DeviceSetup& device);
// Adds the scanner as the device installer hands it over (Scanner() of machine_parts.h), with its
// model value, or none when `model` is null; answers its index.
size_t AddScanner(plat::sim::Machine& machine, const plat::DeviceDescription& device, const char* model = kQ920kModel);

// The drive folder the run uses for a letter: a copy of the scenario's folder.
std::filesystem::path DriveFolder(const std::filesystem::path& run_folder, char letter);

// Every key and value of every hive.
RegistrySnapshot SnapshotRegistry(const plat::sim::SimRegistry& registry);

// The simulated machine's own path for a scenario's file path ("%WINDIR%\\TWAIN_32" gives
// "C:\\Windows\\TWAIN_32").
std::string MachinePath(const plat::sim::SimFiles& files, const std::string& placeholder_path);

// The watched folders' files and folders.
FileSnapshot SnapshotFiles(const plat::sim::SimFiles& files);

// The .log files of the temporary folder by file name, with their bytes.
std::map<std::string, std::string> SnapshotLogs(const plat::sim::SimFiles& files);

}  // namespace tvx::sim
