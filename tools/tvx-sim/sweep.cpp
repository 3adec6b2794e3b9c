// The whole-system fault sweep. tvx-sim only.
#include "tools/tvx-sim/sweep.h"

#include <optional>
#include <set>

#include "platform/text/names.h"
#include "platform/win_types.h"
#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/names.h"
#include "tools/scenario/report.h"
#include "tools/scenario/scenario_error.h"
#include "tools/tvx-sim/sim_run.h"

namespace tvx::sim {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = plat::text::UpperAscii(c);
    return text;
}

// What a run wrote and removed, as names: "key", "key -> value", files by path.
struct Changes {
    std::set<std::string> written;
    std::set<std::string> removed;
};

Changes ChangesOf(const Report& report) {
    Changes c;
    for (const KeyChange& key : report.registry.keys) {
        const std::string path = Upper(key.path);
        switch (key.kind) {
            case KeyChange::Kind::Added:
                c.written.insert(path);
                for (const RegistryValue& v : key.values) c.written.insert(path + " -> " + Upper(v.name));
                break;
            case KeyChange::Kind::Removed:
                c.removed.insert(path);
                break;
            case KeyChange::Kind::Changed:
                for (const ValueChange& v : key.changes)
                    (v.after ? c.written : c.removed).insert(path + " -> " + Upper(v.name));
                break;
        }
    }
    for (const FileChange& file : report.files)
        (file.kind == FileChange::Kind::Deleted ? c.removed : c.written).insert("file " + Upper(file.path));
    return c;
}

// What a failed read may rightly add to a run: the writes of the other branch of a decision that
// counts a failed read one way, as the co-installer is meant to. The install decision counts a
// failed test (system setup in progress, software present) or a program that does not start as
// "go on with the hardware-first install", which sets the install marker (its keys, in either
// registry view); the finish-install action counts a failed read of the installation parameters
// as a pending reboot, which schedules the disc's setup under RunOnce. Entries are in upper case:
// "key" (that key only), "key\" (the key and everything below it) or "key -> value".
const char* const kOtherBranchWrites[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\TARVIX",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\TARVIX\\TVX\\",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\TARVIX",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\TARVIX\\TVX\\",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE -> TARVIXSOFTWAREAPPS",
};

bool OtherBranchWrite(const std::string& entry) {
    const std::string key = entry.substr(0, entry.find(" -> "));
    for (std::string allowed : kOtherBranchWrites) {
        if (allowed == entry) return true;
        if (!allowed.empty() && allowed.back() == '\\') {
            allowed.pop_back();
            if (AtOrBelow(key, allowed)) return true;
        }
    }
    return false;
}

std::vector<std::string> Check(const Scenario& scenario, const RunResult& base, const RunResult& run) {
    std::vector<std::string> wrong;
    for (const std::string& open : run.report.open_handles) {
        bool close_failed = false;
        for (const std::string& handle : run.failed_closes)
            close_failed = close_failed || Upper(open).find(" " + Upper(handle) + ":") != std::string::npos;
        if (!close_failed) wrong.push_back("left open " + open);
    }
    for (size_t i = 0; i < scenario.steps.size() && i < run.report.steps.size(); ++i) {
        const ReportStep& step = run.report.steps[i];
        if (step.result && !AllowedDifResult(scenario.steps[i], *step.result))
            wrong.push_back("step " + std::to_string(i + 1) + " answered " + DescribeResult(*step.result));
        for (const std::string& call : step.not_modelled)
            wrong.push_back("step " + std::to_string(i + 1) + " made a call the machine does not model: " + call);
    }
    const Changes expected = ChangesOf(base.report);
    const Changes got = ChangesOf(run.report);
    for (const std::string& w : got.written)
        if (!expected.written.count(w) && !OtherBranchWrite(w)) wrong.push_back("wrote " + w + ", which the fault-free run does not write");
    // The fault-free run may remove a whole tree that a failing run removes part by part.
    auto removed_by_base = [&expected](const std::string& entry) {
        const std::string key = entry.substr(0, entry.find(" -> "));
        for (const std::string& r : expected.removed)
            if (r == entry || AtOrBelow(key, r)) return true;
        return false;
    };
    for (const std::string& r : got.removed)
        if (!removed_by_base(r)) wrong.push_back("removed " + r + ", which the fault-free run does not remove");
    for (const LogFileReport& log : run.report.logs) {
        if (!log.rewritten) continue;
        bool base_rewrote = false;
        for (const LogFileReport& b : base.report.logs)
            base_rewrote = base_rewrote || (plat::text::EqualNames(b.name, log.name) && b.rewritten);
        if (!base_rewrote) wrong.push_back("lost the earlier bytes of " + log.name);
    }
    return wrong;
}

}  // namespace

bool AllowedDifResult(const Step& step, uint32_t result) {
    if (step.kind != StepKind::Dif) return true;
    if (step.post_processing && step.install_result != NO_ERROR) return result == step.install_result;
    switch (step.dif_code) {
        case DIF_INSTALLDEVICE:
        case DIF_DESTROYWIZARDDATA:
            return result == (step.post_processing ? static_cast<uint32_t>(NO_ERROR)
                                                    : static_cast<uint32_t>(ERROR_DI_POSTPROCESSING_REQUIRED));
        case DIF_FINISHINSTALL_ACTION:
            return result <= 0xFFFF;
        default:
            return result == NO_ERROR;
    }
}

SweepFigures SweepScenarios(const std::vector<Scenario>& scenarios, const SweepOptions& options) {
    SweepFigures figures;
    const uint64_t stride = options.stride ? options.stride : 1;
    for (const Scenario& scenario : scenarios) {
        RunOptions plain{options.module_path, false, {}};
        // Every run sets the machine up alike: the fault-free run finds what is wrong with it.
        std::optional<RunResult> first;
        try {
            first = RunScenario(scenario, plain);
        } catch (const ScenarioError& e) {
            ++figures.bad;
            if (options.bad_scenario) options.bad_scenario(e.what());
            continue;
        }
        const RunResult& base = *first;
        ++figures.scenarios;
        size_t findings_before = figures.findings.size();
        for (const std::string& open : base.report.open_handles)
            figures.findings.push_back(scenario.name + ", without a fault: left open " + open);
        uint64_t runs = 0, swept = 0;
        for (uint64_t n = 1; n <= base.failable_calls; n += stride) {
            ++swept;
            for (const bool from_then_on : {false, true}) {
                RunOptions faulty = plain;
                faulty.fail_nth = n;
                faulty.from_then_on = from_then_on;
                const RunResult run = RunScenario(scenario, faulty);
                ++runs;
                for (const std::string& wrong : Check(scenario, base, run))
                    figures.findings.push_back(scenario.name + ", call " + std::to_string(n) + " failed" +
                                               (from_then_on ? " from then on" : " once") + ": " + wrong);
            }
        }
        figures.calls += base.failable_calls;
        figures.swept += swept;
        figures.runs += runs;
        if (options.progress)
            options.progress(scenario.name + ": " + std::to_string(base.failable_calls) + " failable calls, " +
                             std::to_string(swept) + " swept, " + std::to_string(runs) + " runs, " +
                             std::to_string(figures.findings.size() - findings_before) + " findings");
    }
    return figures;
}

}  // namespace tvx::sim
