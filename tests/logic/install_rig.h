// Set-up shared by the software-installation tests: install discs in optical drives, the scanner as
// the device installer hands it over, and what the simulated machine recorded.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/sim_fixture.h"
#include "tools/scenario/machine_parts.h"
#include "tools/tvx-sim/machine_setup.h"

namespace tvx::test {

// What an install disc carries. The Q920k recognises its disc by the driver INF at the root.
struct DiscContent {
    bool inf = true;
    bool setup = true;
    bool firmware = true;
    std::string label = "TVX_Q920K";
    std::vector<std::string> extra = {};  // further files, as paths below the root ("tvsw/setup.exe")
};

inline void TouchFile(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "MZ";
}

// The folder below which a rig's drives hold their discs, beside the C: drive's folder.
inline std::filesystem::path DrivesFolder(SimRig& rig) { return rig.machine.c_drive_folder().string() + "-drives"; }

// Sets a machine description up on the rig's machine, in addition to what it has.
inline void AddToMachine(SimRig& rig, const MachineDescription& description) {
    sim::SetUpMachine(rig.machine, description, DrivesFolder(rig));
}

// An optical drive holding the given disc, its files made where the rig's machine uses them.
inline DriveSetup DiscDrive(SimRig& rig, char letter, const DiscContent& disc) {
    const std::filesystem::path folder = sim::DriveFolder(DrivesFolder(rig), letter);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    if (disc.inf) TouchFile(folder / "TarvixWia_LXR415_U.INF");
    if (disc.setup) TouchFile(folder / "setup.exe");
    if (disc.firmware) TouchFile(folder / "fwUpdate" / "tarvixFirmwareUpdateTool.exe");
    for (const std::string& file : disc.extra) TouchFile(folder / file);
    DriveSetup drive = OpticalDrive(letter, folder, disc.label);
    drive.serial = 0x1234ABCD;
    return drive;
}

// Puts an optical drive with the given disc on the machine.
inline void AddDisc(SimRig& rig, char letter, const DiscContent& disc) {
    MachineDescription m;
    m.drives.push_back(DiscDrive(rig, letter, disc));
    AddToMachine(rig, m);
}

// An optical drive without a disc (not ready), or a drive of another type.
inline void AddEmptyDrive(SimRig& rig, char letter, uint32_t type = kDriveCdrom) {
    MachineDescription m;
    DriveSetup& drive = m.drives.emplace_back(OpticalDrive(letter, {}));
    drive.type = type;
    drive.serial = 0;
    AddToMachine(rig, m);
}

// Where the setup is registered to run at the next logon.
constexpr const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kSetupCommand = "D:\\setup.exe ";
constexpr const char* kFirmwareCommand = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto";
constexpr const char* kFirmwareFolder = "D:\\fwUpdate";
constexpr const char* kFinishedEvent = "tvx_PNPFinishedEvent_99";

// The programs started, as "command line | current directory".
inline std::vector<std::string> Started(SimRig& rig) {
    std::vector<std::string> lines;
    for (const auto& p : rig.machine.process().started()) lines.push_back(p.command_line + " | " + p.directory);
    return lines;
}

// The log's lines after its start lines, without the timestamps that frame each logger's life.
inline std::string LogLines(SimRig& rig, const std::string& name = "_coInst.log") {
    return MaskTimestamps(rig.Log(name));
}

// Closes the handles that the install flow keeps open on purpose (the named event's), as the end of
// the simulated process would; answers how many there were.
inline size_t CloseKeptEventHandles(SimRig& rig) {
    std::vector<uintptr_t> kept;
    for (const std::string& line : rig.machine.handles().Describe()) {
        if (line.find(kFinishedEvent) == std::string::npos) continue;
        const size_t at = line.find(" 0x");
        if (at != std::string::npos) kept.push_back(std::stoull(line.substr(at + 3), nullptr, 16));
    }
    for (uintptr_t value : kept) plat::CloseHandle(reinterpret_cast<HANDLE>(value));
    return kept.size();
}

}  // namespace tvx::test
