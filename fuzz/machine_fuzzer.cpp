// Fuzz target: the machine the co-installer meets (fuzz/fuzzed_machine.h decodes the input into
// one). On it the co-installer goes through a device's installation as Windows makes it
// (DIF_INSTALLDEVICE before and after, DIF_NEWDEVICEWIZARD_FINISHINSTALL, one more DIF code), the
// finish-install action in a process of its own, InstallPellionSoftware as the DLL runner calls
// it, and the removal of every device (DIF_REMOVE). It must not crash, must answer what the device
// installer expects, and every process must end with no handle open but the PnP-finished event
// (kept on purpose), COM as it found it, and no call the simulated machine does not model.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "entry/setup_extension_q920k.h"
#include "fuzz/fuzz_finding.h"
#include "fuzz/fuzzed_machine.h"
#include "platform/host/call_layer.h"
#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "platform/sim/machine.h"
#include "platform/host/scratch_folder.h"
#include "tools/tvx-sim/machine_setup.h"

namespace {

using tvx::fuzz::Decoder;
using tvx::fuzz::Finding;

constexpr const char* kFinishedEvent = "tvx_PNPFinishedEvent_99";

// One process of Windows that loads the library, makes its calls and ends: the library's global
// object lives from the load to the unload, as the DLL's does.
class Process {
public:
    explicit Process(plat::sim::Machine& machine) : machine_(machine) {
        library_.emplace();
        library_->m_hInstance = plat::host::CoInstallerLibrary::ModuleHandle();
    }

    DWORD Dif(DI_FUNCTION code, size_t device, bool post, DWORD installResult = NO_ERROR) {
        return plat::sim::CallCoInstaller(
            machine_.setupapi(), {code, device, post, installResult},
            [&](DI_FUNCTION f, HDEVINFO s, PSP_DEVINFO_DATA d, PCOINSTALLER_CONTEXT_DATA c) {
                return library_->CSetupExtension::TarvixDeviceCoInstaller(f, s, d, c);
            });
    }

    void InstallPellionSoftware(std::string commandLine) {
        library_->CSetupExtension::InstallSoftware(nullptr, plat::host::CoInstallerLibrary::ModuleHandle(),
                                                   commandLine.data(), 1);
    }

    // The unload and the end of the process: nothing may be left open but the PnP-finished event.
    void End(const char* what) {
        library_.reset();
        std::string open;
        for (const std::string& line : machine_.handles().Describe())
            if (line.find(kFinishedEvent) == std::string::npos) open += "\n  " + line;
        if (!open.empty()) Finding(std::string("handles left open by ") + what + ":" + open);
        if (!machine_.com_wia().apartment_balanced()) Finding(std::string("COM left initialised by ") + what);
        if (!plat::host::Layer().not_modelled().empty())
            Finding(std::string("a call the simulated machine does not model, in ") + what + ": " +
                    plat::host::Layer().not_modelled().front());
        machine_.EndProcess();
    }

    // A call that waits forever: the process stays where it is; the library goes with the run.
    void Abandon() {
        library_.reset();
        machine_.EndProcess();
    }

private:
    plat::sim::Machine& machine_;
    std::optional<CSetupExtensionQ920k> library_;
};

// A call's answer must be one the device installer expects of it.
void ExpectAnswer(const char* call, DWORD answer, DWORD expected) {
    if (answer != expected)
        Finding(std::string(call) + " answered " + std::to_string(answer) + " instead of " + std::to_string(expected));
}

void Run(plat::sim::Machine& machine, Decoder& in) {
    const size_t device = 0;
    const DWORD installResult = in.Rarely(6) ? in.Number(0xFFFFFFFF) : NO_ERROR;
    static const DI_FUNCTION kOtherCodes[] = {DIF_DESTROYWIZARDDATA, DIF_SELECTDEVICE, DIF_PROPERTYCHANGE,
                                              DIF_INSTALLDEVICEFILES, DIF_REGISTERDEVICE};
    const DI_FUNCTION other = in.Pick(kOtherCodes);
    std::string commandLine = in.TextOr("tvxQ920k", 60);

    {
        Process installer(machine);
        try {
            ExpectAnswer("DIF_INSTALLDEVICE before the installation", installer.Dif(DIF_INSTALLDEVICE, device, false),
                         ERROR_DI_POSTPROCESSING_REQUIRED);
            // After a failed installation its result is handed back, untouched.
            ExpectAnswer("DIF_INSTALLDEVICE after the installation",
                         installer.Dif(DIF_INSTALLDEVICE, device, true, installResult), installResult);
            ExpectAnswer("DIF_NEWDEVICEWIZARD_FINISHINSTALL", installer.Dif(DIF_NEWDEVICEWIZARD_FINISHINSTALL, device, false),
                         NO_ERROR);
            installer.Dif(other, device, false);
            ExpectAnswer("another DIF code after its installation", installer.Dif(other, device, true), NO_ERROR);
        } catch (const plat::sim::WaitsForever&) {
            installer.Abandon();
            return;
        }
        installer.End("the device installer's process");
    }
    {
        Process user(machine);
        try {
            user.Dif(DIF_FINISHINSTALL_ACTION, device, false);
        } catch (const plat::sim::WaitsForever&) {
            user.Abandon();
            return;
        }
        user.End("the finish-install action's process");
    }
    {
        Process runner(machine);
        try {
            runner.InstallPellionSoftware(commandLine);
        } catch (const plat::sim::WaitsForever&) {
            runner.Abandon();
            return;
        }
        runner.End("the DLL runner's process");
    }
    {
        Process remover(machine);
        for (size_t d = 0; d < machine.setupapi().device_count(); ++d)
            ExpectAnswer("DIF_REMOVE", remover.Dif(DIF_REMOVE, d, false), NO_ERROR);
        remover.End("the removal's process");
    }
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tvx::fuzz::QuietLayer quiet;
    Decoder in(data, size);
    tvx::fuzz::FuzzedMachine fuzzed = tvx::fuzz::DecodeMachine(in);
    const plat::host::ScratchFolder run = tvx::fuzz::MakeRunFolder("fuzz_machine-");
    plat::sim::Machine machine(tvx::sim::ProfileOf(fuzzed.description), run.path() / "C");
    const std::filesystem::path discs = run.path() / "discs";
    tvx::fuzz::PutDiscs(fuzzed, discs);
    tvx::sim::SetUpMachine(machine, fuzzed.description, discs, "the fuzzed machine");
    if (fuzzed.apartment != plat::sim::Apartment::None)
        machine.com_wia().SetThreadApartment(fuzzed.apartment, fuzzed.apartment_depth);
    plat::sim::ActiveMachine active(machine);
    plat::host::Layer().SetTracing(false);
    Run(machine, in);
    return 0;
}
