// Each contract case on the host gets a fresh simulated 64-bit machine (administrator account)
// holding the keys every Windows installation has, and the still-image service that Windows (and
// Wine) install, stopped and never started. Host builds only.
#include "tests/contract/case_environment.h"

#include <filesystem>

#include "platform/sim/machine.h"
#include "tests/contract/check.h"

namespace contract {

Backend CurrentBackend() { return Backend::Sim; }

struct CaseEnvironment::State {
    explicit State(const std::string& case_name)
        : machine(plat::sim::MachineProfile{}, std::filesystem::path(TVX_CONTRACT_SCRATCH) / case_name) {}
    plat::sim::Machine machine;
    plat::sim::ActiveMachine active{machine};
};

// The machine's drive C: is a folder of its own below the build folder, emptied first.
CaseEnvironment::CaseEnvironment(const std::string& case_name) {
    std::filesystem::remove_all(std::filesystem::path(TVX_CONTRACT_SCRATCH) / case_name);
    state_ = std::make_unique<State>(case_name);
    using plat::sim::Hive;
    auto& registry = state_->machine.registry();
    registry.EnsureKey(Hive::CurrentUser, "Software");
    registry.EnsureKey(Hive::LocalMachine, "SOFTWARE\\Wow6432Node");
    registry.EnsureKey(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup");
    registry.EnsureKey(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control");
    plat::sim::ServiceSetup still_image;
    still_image.name = "StiSvc";
    still_image.display_name = "Windows Image Acquisition (WIA)";
    still_image.state = SERVICE_STOPPED;
    still_image.transition_ms = 100;
    still_image.type = SERVICE_WIN32_SHARE_PROCESS;
    state_->machine.services().AddService(still_image);
}

CaseEnvironment::~CaseEnvironment() = default;

std::vector<std::string> CaseEnvironment::Finish() {
    std::vector<std::string> problems;
    for (const std::string& open : state_->machine.handles().Describe()) problems.push_back("handle left open: " + open);
    for (const std::string& call : plat::host::Layer().not_modelled())
        problems.push_back("call the simulated machine does not model: " + call);
    if (!state_->machine.com_wia().apartment_balanced())
        problems.push_back("COM left initialised on the thread, " +
                           std::to_string(state_->machine.com_wia().apartment_count()) + " deep");
    return problems;
}

}  // namespace contract
