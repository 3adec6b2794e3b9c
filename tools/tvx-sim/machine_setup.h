// Building a simulated machine from a scenario, and reading its state back as plain data for the
// report: the registry as a snapshot, the watched folders' files, the log files of the temporary
// folder. tvx-sim only.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/scenario.h"

namespace tvx::sim {

// The machine's profile: version, bitness, administrator.
plat::sim::MachineProfile ProfileOf(const Scenario& scenario);

// Copies the scenario's drive folders below run_folder (so nothing the run does reaches the
// scenario's own files), maps the drives (a drive without a folder holds no medium), loads the
// .reg content, adds the devices with their key values, the services, the top-level windows, how
// started programs behave, and the tick count at the start.
void SetUpMachine(plat::sim::Machine& machine, const Scenario& scenario, const std::filesystem::path& run_folder);

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
