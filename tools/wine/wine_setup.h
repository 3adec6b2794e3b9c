// Setting Wine up as a scenario's machine, from inside Wine: the scenario's devices through
// SetupAPI's own device creation, its .reg content, the reported Windows version per program, and
// its drives as folders of their own with the stand-in programs in place of the disc's programs,
// and its files in the Windows directory and the temporary folder.
// What the host has to finish (linking the drive folders into the prefix) is listed in a plan file.
// Win32 only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/machine_description.h"

namespace tvx::wine {

// The programs whose reported Windows version the scenario sets: the harness itself and the DLL
// runner.
extern const char* const kVersionedPrograms[2];

struct SetupPaths {
    std::filesystem::path run_folder;      // this run's folder (a Windows path)
    std::filesystem::path standin_folder;  // the stand-in programs (StandinsIn)
};

// Sets the machine up. Parts Wine cannot take as the scenario describes them get a line in
// `notes`. Throws std::runtime_error naming the action and object when a set-up call fails.
void SetUpWine(const MachineDescription& machine, const SetupPaths& paths, std::vector<std::string>* notes);

// The drive folder of a letter below the run folder.
std::filesystem::path DriveFolder(const std::filesystem::path& run_folder, char letter);

// Wine's own path for a scenario's file path: %WINDIR% is Wine's Windows directory, %TEMP% the
// temporary folder of the harness's user.
std::string WinePath(const std::string& placeholder_path);

// The watched folders' files and folders on Wine.
FileSnapshot SnapshotWineFiles();

// The Wine version name ("winxp64", "win7") that reports a scenario's Windows version, or empty.
std::string WineVersionName(const OsVersionSetup& os);

}  // namespace tvx::wine
