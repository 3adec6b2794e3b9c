// One simulated Windows computer. Simulated machine only.
#include "platform/sim/machine.h"

#include <optional>
#include <string>

namespace plat::sim {

std::filesystem::path Machine::MakeScratch(std::filesystem::path given, host::ScratchFolder* owned) {
    if (!given.empty()) {
        std::filesystem::create_directories(given);
        return given;
    }
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    std::optional<host::ScratchFolder> made = host::ScratchFolder::Make(temp, "tvx-machine-");
    *owned = made ? std::move(*made) : host::ScratchFolder(temp / "tvx-machine");
    return owned->path();
}

Machine::Machine(MachineProfile profile, std::filesystem::path c_drive_folder)
    : c_drive_(MakeScratch(std::move(c_drive_folder), &owned_folder_)),
      profile_(std::move(profile)),
      registry_(handles_, profile_, clock_),
      system_(handles_, profile_, clock_),
      files_(handles_, system_, c_drive_),
      services_(handles_, profile_, system_, clock_),
      setupapi_(handles_, system_, registry_, files_, profile_),
      ini_(files_, system_),
      process_(handles_, system_, files_, clock_),
      sync_(handles_, system_),
      window_(system_),
      com_wia_(handles_, registry_) {
    // The keys every Windows installation has before anything is installed.
    const char* const kBaseKeys[] = {
        "SOFTWARE\\Classes",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
        "SYSTEM\\CurrentControlSet\\Control\\StillImage",
        "SYSTEM\\CurrentControlSet\\Enum",
        "SYSTEM\\CurrentControlSet\\Services",
        "SYSTEM\\Setup",
    };
    for (const char* key : kBaseKeys) registry_.EnsureKey(Hive::LocalMachine, key);
    registry_.EnsureKey(Hive::LocalMachine, kImageClassKey);
    if (profile_.is_64bit) {
        registry_.EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
        registry_.EnsureKey(Hive::LocalMachine, "SOFTWARE\\Classes\\Wow6432Node");
    }
    registry_.EnsureKey(Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion");
}

Machine::~Machine() = default;

std::vector<std::string> Machine::EndProcess() {
    std::vector<std::string> open = handles_.Describe();
    files_.CloseAllStreams();
    handles_.RemoveAll();
    return open;
}

plat::host::Backends Machine::backends() {
    plat::host::Backends b;
#define TVX_MACHINE_BACKEND(Fam, accessor, LIST) b.accessor = &accessor();
    TVX_FAMILIES(TVX_MACHINE_BACKEND)
#undef TVX_MACHINE_BACKEND
    return b;
}

ActiveMachine::ActiveMachine(Machine& machine) {
    plat::host::Layer().Reset();
    plat::host::InstallBackends(machine.backends());
}

ActiveMachine::~ActiveMachine() { plat::host::InstallBackends({}); }

}  // namespace plat::sim
