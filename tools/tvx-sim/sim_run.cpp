// Running a scenario on the simulated machine. tvx-sim only.
#include "tools/tvx-sim/sim_run.h"

#include <optional>

#include "platform/host/library.h"
#include "platform/sim/machine.h"
#include "platform/text/scratch_folder.h"
#include "tools/tvx-sim/machine_setup.h"

namespace tvx::sim {
namespace {

namespace fs = std::filesystem;

// A fresh folder for the run's drives, removed afterwards.
plat::text::ScratchFolder MakeRunFolder(fs::path below) {
    if (below.empty()) below = fs::temp_directory_path();
    std::optional<plat::text::ScratchFolder> folder = plat::text::ScratchFolder::Make(below, "tvx-sim-");
    if (!folder) throw RunError("cannot make a folder for the simulated machine's drives below " + below.string());
    return std::move(*folder);
}

}  // namespace

RunResult RunScenario(const Scenario& scenario, const RunOptions& options) {
    const plat::text::ScratchFolder folder = MakeRunFolder(options.scratch);
    plat::sim::Machine machine(ProfileOf(scenario), DriveFolder(folder.path(), 'C'));
    RunResult run;
    Report& report = run.report;
    report = StartReport(scenario, "simulated machine");
    SetUpMachine(machine, scenario, folder.path(), &report.notes);
    report.traced = options.trace;
    RegistrySnapshot registry_before = SnapshotRegistry(machine.registry());
    auto logs_before = SnapshotLogs(machine.files());

    plat::sim::ActiveMachine active(machine);
    plat::host::CallLayer& layer = plat::host::Layer();
    plat::host::CoInstallerLibrary library;

    auto logs_now = logs_before;
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
        const Step& step = scenario.steps[i];
        ReportStep& out = report.steps[i];
        size_t trace_from = layer.trace().size();
        size_t not_modelled_from = layer.not_modelled().size();
        switch (step.kind) {
            case StepKind::Load:
                if (!library.Load(options.module_path)) throw RunError(library.error());
                break;
            case StepKind::Unload:
                library.Unload();
                break;
            case StepKind::InstallPellionSoftware: {
                // The DLL runner hands the entry a writable copy of the command line.
                std::string command_line = step.command_line;
                library.InstallPellionSoftware(nullptr, plat::host::CoInstallerLibrary::ModuleHandle(),
                                               command_line.data(), 1);
                break;
            }
            case StepKind::Dif: {
                plat::sim::SimSetupApi& devices = machine.setupapi();
                SP_DEVINFO_DATA data;
                HDEVINFO set = devices.OpenSetFor(step.device, &data);
                out.params_before = InstallParams{devices.flags(step.device), devices.flags_ex(step.device)};
                COINSTALLER_CONTEXT_DATA context{};
                context.PostProcessing = step.post_processing ? TRUE : FALSE;
                context.InstallResult = step.install_result;
                out.result = library.TarvixScannerCoInstaller(step.dif_code, set, &data, &context);
                out.params_after = InstallParams{devices.flags(step.device), devices.flags_ex(step.device)};
                devices.SetupDiDestroyDeviceInfoList(set);
                break;
            }
        }
        for (size_t t = trace_from; options.trace && t < layer.trace().size(); ++t)
            out.trace.push_back(plat::host::FormatTraceLine(layer.trace()[t]));
        for (size_t n = not_modelled_from; n < layer.not_modelled().size(); ++n)
            out.not_modelled.push_back(layer.not_modelled()[n]);
        auto logs_after = SnapshotLogs(machine.files());
        for (const LogFileReport& log : LogChanges(logs_now, logs_after, ""))
            for (std::string& line : SplitLogLines(log.new_bytes)) out.log.push_back(StepLogLine{log.name, line});
        logs_now = std::move(logs_after);
    }
    library.Unload();

    // Programs started, named events set and window messages posted come from the machine's own
    // records once it models processes, events and windows; until then a call that would make one
    // fails as not modelled and shows in its step.
    run.final_registry = SnapshotRegistry(machine.registry());
    report.registry = DiffRegistry(registry_before, run.final_registry);
    report.logs = LogChanges(logs_before, SnapshotLogs(machine.files()), machine.files().temp_path());
    report.open_handles = machine.handles().Describe();
    return run;
}

}  // namespace tvx::sim
