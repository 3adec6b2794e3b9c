// Programs and windows for contract cases on the simulated machine: set up on the machine the case
// runs on, through its files, processes and windows. Host builds only.
#include <filesystem>
#include <fstream>

#include "platform/host/call_layer.h"
#include "platform/sim/files.h"
#include "platform/sim/process.h"
#include "platform/sim/setupapi.h"
#include "platform/sim/window.h"
#include "tests/contract/check.h"
#include "tests/contract/world.h"

namespace contract {
namespace {

template <class T, class Backend>
T& Sim(Backend* backend, const char* what) {
    auto* sim = dynamic_cast<T*>(backend);
    if (!sim) {
        ReportFailure(__FILE__, __LINE__, std::string("no simulated ") + what);
        throw CaseAborted{};
    }
    return *sim;
}

}  // namespace

void PlaceProgram(const std::string& windows_path, DWORD exit_code, DWORD run_ms) {
    auto& files = Sim<plat::sim::SimFiles>(plat::host::CurrentBackends().files, "files");
    auto& process = Sim<plat::sim::SimProcess>(plat::host::CurrentBackends().process, "processes");
    const auto host = files.HostPath(windows_path);
    if (!host || !std::filesystem::is_directory(host->parent_path())) {
        ReportFailure(__FILE__, __LINE__, "cannot place program " + windows_path);
        throw CaseAborted{};
    }
    std::ofstream(*host, std::ios::binary) << "MZ";
    plat::sim::ProgramBehaviour behaviour;
    behaviour.path = windows_path;
    behaviour.run_time_ms = run_ms;
    behaviour.exit_code = exit_code;
    process.SetProgram(behaviour);
}

bool RunAsPlacedProgram(int*) { return false; }

void PlantHardLink(const std::string& link_path, const std::string& existing_path) {
    auto& files = Sim<plat::sim::SimFiles>(plat::host::CurrentBackends().files, "files");
    if (!files.AddHardLink(link_path, existing_path)) {
        ReportFailure(__FILE__, __LINE__, "cannot give " + existing_path + " the second name " + link_path);
        throw CaseAborted{};
    }
}

bool PlantSymbolicLink(const std::string& link_path, const std::string& target_path, bool) {
    auto& files = Sim<plat::sim::SimFiles>(plat::host::CurrentBackends().files, "files");
    return files.AddSymbolicLink(link_path, target_path);
}

BOOL SetFileInformationAsOnOlderSystems(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                        LPVOID lpFileInformation, DWORD dwBufferSize) {
    return plat::SetFileInformationByHandle(hFile, FileInformationClass, lpFileInformation, dwBufferSize);
}

struct TopLevelWindow::State {
    plat::sim::SimWindow* windows = nullptr;
    std::string window_class;
    size_t taken = 0;  // messages of the machine's record already looked at
};

TopLevelWindow::TopLevelWindow(const std::string& window_class, const std::string& title)
    : state_(std::make_unique<State>()) {
    state_->windows = &Sim<plat::sim::SimWindow>(plat::host::CurrentBackends().window, "windows");
    state_->window_class = window_class;
    state_->taken = state_->windows->posted().size();
    state_->windows->AddWindow(window_class, title);
}

TopLevelWindow::~TopLevelWindow() { state_->windows->RemoveWindow(state_->window_class); }

std::vector<PostedMessage> TopLevelWindow::TakeMessages() {
    std::vector<PostedMessage> messages;
    const auto& posted = state_->windows->posted();
    for (; state_->taken < posted.size(); ++state_->taken) {
        const auto& m = posted[state_->taken];
        if (m.window_class == state_->window_class) messages.push_back(PostedMessage{m.message, m.wparam, m.lparam});
    }
    return messages;
}

}  // namespace contract

namespace contract {

// A system device as Windows enumerates it below ROOT, with a manufacturer and a driver key.
void EnsurePresentDevice() {
    auto& setupapi = Sim<plat::sim::SimSetupApi>(plat::host::CurrentBackends().setupapi, "device installer");
    plat::sim::DeviceConfig device;
    device.instance_id = "ROOT\\SYSTEM\\0000";
    device.class_guid = "{4D36E97D-E325-11CE-BFC1-08002BE10318}";
    device.class_name = "System";
    device.description = "Plug and Play Software Device Enumerator";
    device.manufacturer = "(Standard system devices)";
    device.driver_instance = "0000";
    setupapi.AddDevice(device);
}

}  // namespace contract
