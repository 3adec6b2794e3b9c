// Running a scenario on the simulated machine. tvx-sim only.
#include "tools/tvx-sim/sim_run.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "platform/sim/machine.h"
#include "platform/host/scratch_folder.h"
#include "tools/scenario/expectations.h"
#include "tools/scenario/names.h"
#include "tools/scenario/run_end.h"
#include "tools/tvx-sim/interrupt.h"
#include "tools/tvx-sim/machine_setup.h"

namespace tvx::sim {
namespace {

namespace fs = std::filesystem;

// A fresh folder for the run's drives, removed afterwards.
plat::host::ScratchFolder MakeRunFolder(fs::path below) {
    if (below.empty()) below = plat::host::ScratchFolder::DefaultBelow();
    std::optional<plat::host::ScratchFolder> folder = plat::host::ScratchFolder::Make(below, "tvx-sim-");
    if (!folder) throw RunError("cannot make a folder for the simulated machine's drives below " + below.string());
    return std::move(*folder);
}

// What the machine recorded since a step began, credited to that step.
class Records {
public:
    explicit Records(plat::sim::Machine& machine) : machine_(machine) {}

    void Collect(size_t step, Report& report) {
        const plat::sim::SimProcess& process = machine_.process();
        for (; programs_ < process.started().size(); ++programs_) {
            const plat::sim::StartedProgram& p = process.started()[programs_];
            ProgramStarted started;
            started.step = step;
            started.command_line = p.command_line;
            started.directory = p.directory;
            started.creation_flags = p.creation_flags;
            started.startup_flags = p.startup_flags;
            started.show_window = p.show_window;
            started.started_ms = p.started_ms;
            if (!p.never_ends) started.ends_ms = p.ends_ms;
            report.programs.push_back(started);
        }
        for (; waits_ < process.waits().size(); ++waits_) {
            const plat::sim::WaitRecord& w = process.waits()[waits_];
            WaitReport wait;
            wait.step = step;
            wait.what = w.what;
            wait.outcome = w.forever ? WaitOutcome::Forever
                           : w.result == WAIT_TIMEOUT ? WaitOutcome::TimedOut
                                                      : WaitOutcome::Ended;
            wait.timeout_ms = w.timeout_ms;
            if (!w.forever) wait.waited_ms = w.waited_ms;
            wait.started_ms = w.started_ms;
            report.waits.push_back(wait);
        }
        for (; events_ < machine_.sync().set_events().size(); ++events_)
            report.events.push_back(EventSet{step, machine_.sync().set_events()[events_]});
        for (; messages_ < machine_.window().posted().size(); ++messages_) {
            const plat::sim::PostedMessage& m = machine_.window().posted()[messages_];
            report.messages.push_back(MessagePosted{step, m.window_class, m.message, static_cast<uint64_t>(m.wparam),
                                                    static_cast<uint64_t>(m.lparam)});
        }
        const std::vector<plat::sim::WiaRegistration>& registrations = machine_.com_wia().registrations();
        for (; wia_ < registrations.size(); ++wia_) {
            const plat::sim::WiaRegistration& w = registrations[wia_];
            WiaRegistrationMade made;
            made.step = step;
            made.flags = static_cast<uint32_t>(w.flags);
            if (w.has_device_id) made.device_id = w.device_id;
            made.event = w.event_guid;
            made.clsid = w.clsid;
            made.name = w.name;
            made.description = w.description;
            made.icon = w.icon;
            made.result = static_cast<uint32_t>(w.result);
            report.wia_registrations.push_back(std::move(made));
        }
        const std::vector<std::string>& debug = machine_.system().debug_output();
        for (; debug_ < debug.size(); ++debug_) report.debug_output.push_back(DebugOutput{step, debug[debug_]});
        const std::vector<plat::sim::InfSectionInstall>& installs = machine_.setupapi().section_installs();
        for (; installs_ < installs.size(); ++installs_) {
            const plat::sim::InfSectionInstall& i = installs[installs_];
            report.inf_installs.push_back(InfSectionInstalled{step, i.inf_file, i.section, i.flags, i.device});
        }
        CollectServices(step, report);
    }

    // The service changes that completed after the steps, each credited to the step of the
    // request that began it.
    void CollectServices(size_t step, Report& report) {
        const std::vector<plat::sim::ServiceEvent>& events = machine_.services().events();
        for (; services_ < events.size(); ++services_) {
            const plat::sim::ServiceEvent& e = events[services_];
            std::string state;
            if (e.what == "stop requested") state = "stop pending";
            else if (e.what == "start requested") state = "start pending";
            else if (e.what == "stopped" || e.what == "running") state = e.what;
            else continue;  // a refused request changes no state
            size_t credited = step;
            if (state == "stop pending" || state == "start pending")
                pending_step_[e.service] = step;
            else if (auto it = pending_step_.find(e.service); it != pending_step_.end())
                credited = it->second;
            report.service_changes.push_back(ServiceChange{credited, e.service, state, e.at_ms});
        }
    }

private:
    plat::sim::Machine& machine_;
    size_t programs_ = 0, waits_ = 0, events_ = 0, messages_ = 0, services_ = 0, wia_ = 0, installs_ = 0, debug_ = 0;
    std::map<std::string, size_t> pending_step_;
};

}  // namespace

RunResult RunScenario(const Scenario& scenario, const RunOptions& options) {
    StopIfInterrupted();
    const plat::host::ScratchFolder folder = MakeRunFolder(options.scratch);
    plat::sim::Machine machine(ProfileOf(scenario.machine), DriveFolder(folder.path(), 'C'));
    RunResult run;
    Report& report = run.report;
    report = StartReport(scenario, "simulated machine");
    SetUpMachine(machine, scenario.machine, folder.path(), scenario.file.string());
    report.traced = options.trace;
    RegistrySnapshot registry_before = SnapshotRegistry(machine.registry());
    auto logs_before = SnapshotLogs(machine.files());
    const FileSnapshot files_before = SnapshotFiles(machine.files());

    plat::sim::ActiveMachine active(machine);
    plat::host::CallLayer& layer = plat::host::Layer();
    // Only a traced report shows the calls: untraced, they are not recorded at all (calls the
    // machine does not model still are), unless a fault is injected, whose failed closes the trace
    // tells. The layer traces again afterwards, as it did before.
    struct TracingFor {
        plat::host::CallLayer& layer;
        bool before;
        TracingFor(plat::host::CallLayer& l, bool on) : layer(l), before(l.tracing()) { layer.SetTracing(on); }
        ~TracingFor() { layer.SetTracing(before); }
    } tracing(layer, options.trace || options.fail_nth != 0);
    // Declared after the machine is made active, so that a library a stuck call leaves loaded is
    // unloaded (by this object's end) while its calls still reach the machine.
    plat::host::CoInstallerLibrary library;
    Records records(machine);
    if (options.fail_nth) layer.FailNth(options.fail_nth, options.status, options.from_then_on);
    // What a process still held when it ended: a handle, COM object or stream the co-installer
    // opened and never closed.
    auto end_process = [&](size_t step) {
        for (const std::string& open : machine.EndProcess())
            if (!tvx::KeptOnPurpose(open))
                report.open_handles.push_back("when the process ended at step " + std::to_string(step) + ": " + open);
    };

    auto logs_now = logs_before;
    size_t stuck = 0;  // the step (1-based) whose call waits forever
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
        const Step& step = scenario.steps[i];
        ReportStep& out = report.steps[i];
        if (stuck) {
            out.not_run = StillWaitsIn(stuck);
            continue;
        }
        out.started_ms = machine.clock().now_ms();
        size_t trace_from = layer.trace().size();
        size_t not_modelled_from = layer.not_modelled().size();
        try {
            switch (step.kind) {
                case StepKind::Load:
                    if (!library.Load(options.module_path)) throw RunError(library.error());
                    break;
                case StepKind::Unload:
                    library.Unload();
                    // The library's host program exits with it, and every handle it held closes.
                    end_process(i + 1);
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
                    out.params_before = InstallParams{devices.flags(step.device), devices.flags_ex(step.device)};
                    out.result = plat::sim::CallCoInstaller(
                        devices, {step.dif_code, step.device, step.post_processing, step.install_result},
                        library.Entry());
                    out.params_after = InstallParams{devices.flags(step.device), devices.flags_ex(step.device)};
                    break;
                }
            }
        } catch (const plat::sim::WaitsForever& e) {
            // The call never returns: the machine cannot let time run forever, so the run stops
            // here, with the process (and the library in it) left as it is.
            stuck = i + 1;
            const size_t waits_before = report.waits.size();
            records.Collect(i + 1, report);
            for (size_t w = waits_before; w < report.waits.size(); ++w)
                if (report.waits[w].outcome == WaitOutcome::Forever) out.waits_forever = report.waits[w].what;
            // A wait on no program (a sleep without end) says what it is in its own words.
            if (out.waits_forever.empty()) out.waits_forever = e.what();
        }
        if (!stuck) out.ended_ms = machine.clock().now_ms();
        for (size_t t = trace_from; options.trace && t < layer.trace().size(); ++t)
            out.trace.push_back(plat::host::FormatTraceLine(layer.trace()[t]));
        for (size_t n = not_modelled_from; n < layer.not_modelled().size(); ++n)
            out.not_modelled.push_back(layer.not_modelled()[n]);
        auto logs_after = SnapshotLogs(machine.files());
        for (const LogFileReport& log : LogChanges(logs_now, logs_after, ""))
            for (std::string& line : SplitLogLines(log.new_bytes)) out.log.push_back(StepLogLine{log.name, line});
        logs_now = std::move(logs_after);
        records.Collect(i + 1, report);
    }
    if (!stuck) {
        library.Unload();
        end_process(scenario.steps.size());
    }
    run.failable_calls = layer.failable_calls();
    run.injected = layer.injected();
    for (const plat::host::TraceRecord& call : layer.trace())
        if (call.injected && (call.call == "CloseHandle" || call.call == "FindClose"))
            run.failed_closes.push_back(call.args);
    layer.ClearFaults();

    // The services as they end up once the changes under way have run their course (a service
    // that never stops stays stop pending).
    uint64_t settle = 0;
    for (const ServiceSetup& s : scenario.machine.services) settle = std::max<uint64_t>(settle, s.transition_ms);
    machine.clock().Advance(settle + 1);
    records.CollectServices(scenario.steps.size(), report);
    for (const ServiceSetup& s : scenario.machine.services) {
        std::optional<DWORD> state = machine.services().StateOf(s.name);
        report.services_at_end.push_back(ServiceAtEnd{s.name, state ? ServiceStateName(*state) : "not installed"});
    }

    run.final_registry = SnapshotRegistry(machine.registry());
    report.registry = DiffRegistry(registry_before, run.final_registry);
    run.final_files = SnapshotFiles(machine.files());
    report.files = DiffFiles(files_before, run.final_files);
    report.logs = LogChanges(logs_before, SnapshotLogs(machine.files()), machine.files().temp_path());
    return run;
}

RunResult RunAndCheck(const Scenario& scenario, const RunOptions& options) {
    RunResult run = RunScenario(scenario, options);
    CheckRun(scenario, run.report, LookupIn(run.final_registry), run.final_files);
    return run;
}

}  // namespace tvx::sim
