// One simulated Windows computer: its profile, clock and handle table, and one simulated class
// per family of the seam (registry, device installer, files, system, services, INI reading,
// processes, named events, windows, COM and the WIA device manager).
// Simulated machine only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/call_layer.h"
#include "platform/sim/com_wia.h"
#include "platform/sim/setupapi.h"
#include "platform/sim/sync.h"
#include "platform/sim/files.h"
#include "platform/sim/handles.h"
#include "platform/sim/ini.h"
#include "platform/sim/process.h"
#include "platform/sim/system.h"
#include "platform/sim/window.h"
#include "platform/sim/profile.h"
#include "platform/sim/registry.h"
#include "platform/sim/services.h"
#include "platform/host/scratch_folder.h"

namespace plat::sim {

class Machine {
public:
    // c_drive_folder: the host folder that holds drive C:; with an empty path a fresh temporary
    // folder is made and removed with the machine.
    explicit Machine(MachineProfile profile = {}, std::filesystem::path c_drive_folder = {});
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    MachineProfile& profile() { return profile_; }
    VirtualClock& clock() { return clock_; }
    HandleTable& handles() { return handles_; }
    SimRegistry& registry() { return registry_; }
    SimSystem& system() { return system_; }
    SimFiles& files() { return files_; }
    SimServices& services() { return services_; }
    SimSetupApi& setupapi() { return setupapi_; }
    SimIni& ini() { return ini_; }
    SimProcess& process() { return process_; }
    SimSync& sync() { return sync_; }
    SimWindow& window() { return window_; }
    SimComWia& com_wia() { return com_wia_; }
    const std::filesystem::path& c_drive_folder() const { return c_drive_; }

    // The simulated process ends (the library's host program exits): every handle it still holds
    // closes with it, whatever its kind, and objects that only it kept alive (a named event) go.
    // Answers what was open, one line each (as HandleTable::Describe words it).
    std::vector<std::string> EndProcess();

    plat::host::Backends backends();

private:
    static std::filesystem::path MakeScratch(std::filesystem::path given, host::ScratchFolder* owned);

    host::ScratchFolder owned_folder_;  // drive C:'s folder when the machine made it
    std::filesystem::path c_drive_;
    MachineProfile profile_;
    VirtualClock clock_;
    HandleTable handles_;
    SimRegistry registry_;
    SimSystem system_;
    SimFiles files_;
    SimServices services_;
    SimSetupApi setupapi_;
    SimIni ini_;
    SimProcess process_;
    SimSync sync_;
    SimWindow window_;
    SimComWia com_wia_;
};

// Makes a machine the one that plat:: calls reach, with a fresh trace and no faults, for the
// lifetime of this object.
class ActiveMachine {
public:
    explicit ActiveMachine(Machine& machine);
    ~ActiveMachine();
    ActiveMachine(const ActiveMachine&) = delete;
    ActiveMachine& operator=(const ActiveMachine&) = delete;
};

}  // namespace plat::sim
