// Fuzz target: scenario files (TOML). Any input either reads or is refused with a ScenarioError
// that names the file (the scenario or a .reg file it names) and a line of it; no other exception,
// crash or hang. A scenario that reads can be described for the report, and is then run as
// `tvx-sim run` runs it: the simulated machine set up from it (which may refuse it only with a
// ScenarioError too), its steps on the host build of the co-installer, its expectations checked
// and its report written in every form. No run may leave a folder behind.
// The scenario stands in the default scenario's folder, so that the relative paths of real
// scenarios (their .reg files and disc folders) lead to real files. To keep each input quick, a
// scenario runs only when it has a few steps and its drive folders are small ones of the
// scenarios' folder (a path may lead anywhere on the host, whose copy would take long).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "fuzz/fuzz_finding.h"
#include "platform/host/scratch_folder.h"
#include "tools/scenario/report.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/tvx-sim/sim_run.h"

namespace {

namespace fs = std::filesystem;
using tvx::fuzz::Finding;

constexpr size_t kMaxSteps = 24;
constexpr size_t kMaxDriveEntries = 64;
constexpr uintmax_t kMaxDriveBytes = 1 << 20;

const fs::path& ScenarioFile() {
    static const fs::path file = fs::path(TVX_SCENARIOS_DIR) / "default" / "scenario.toml";
    return file;
}

// A ScenarioError must name its file and what is wrong, and a line of the scenario when it names
// the scenario.
void CheckError(const tvx::ScenarioError& e, std::string_view text, const char* when) {
    const std::string what = std::string(when) + ": " + e.what();
    if (e.file().empty() || e.message().empty()) Finding("an error without its file or message, " + what);
    if (e.line() < 0) Finding("an error with a negative line, " + what);
    if (e.file() == ScenarioFile().string() && static_cast<size_t>(e.line()) > tvx::fuzz::LineCount(text))
        Finding("the error's line is not a line of the scenario, " + what);
}

// Whether a drive folder is small and lies in the scenarios' folder.
bool SmallScenarioFolder(const fs::path& folder) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(fs::path(TVX_SCENARIOS_DIR), ec);
    const fs::path real = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    const fs::path inside = real.lexically_relative(base);
    if (inside.empty() || *inside.begin() == "..") return false;
    size_t entries = 0;
    uintmax_t bytes = 0;
    for (fs::recursive_directory_iterator it(real, ec), end; !ec && it != end; it.increment(ec)) {
        if (++entries > kMaxDriveEntries || it->is_symlink(ec)) return false;
        if (it->is_regular_file(ec)) bytes += it->file_size(ec);
        if (bytes > kMaxDriveBytes) return false;
    }
    return !ec;
}

bool QuickToRun(const tvx::Scenario& scenario) {
    if (scenario.steps.size() > kMaxSteps) return false;
    for (const tvx::DriveSetup& drive : scenario.machine.drives)
        if (!drive.folder.empty() && !SmallScenarioFolder(drive.folder)) return false;
    return true;
}

void Run(const tvx::Scenario& scenario, std::string_view text) {
    // Where the run makes its drive folders: a folder of the input's own, which the run must
    // leave empty.
    const plat::host::ScratchFolder runs = tvx::fuzz::MakeRunFolder("fuzz_scenario-runs-");
    tvx::sim::RunOptions options;
    options.module_path = TVX_COINSTALLER_MODULE;
    options.scratch = runs.path();
    try {
        const tvx::sim::RunResult run = tvx::sim::RunAndCheck(scenario, options);
        const tvx::Report normalised = tvx::NormaliseReport(run.report);
        if (tvx::FormatReportText(run.report, {}).empty() || tvx::FormatReportJson(normalised).empty() ||
            tvx::FormatReportHtml(run.report, {}).empty() || tvx::FormatNetChange(run.report).empty())
            Finding("a report without text");
    } catch (const tvx::ScenarioError& e) {
        CheckError(e, text, "setting the machine up");
    } catch (const tvx::sim::RunError& e) {
        Finding(std::string("the run itself failed: ") + e.what());
    }
    std::error_code ec;
    if (!fs::is_empty(runs.path(), ec) || ec) Finding("a run left a folder behind in " + runs.path().string());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvx::fuzz::AsText(data, size);
    tvx::Scenario scenario;
    try {
        scenario = tvx::ParseScenario(text, ScenarioFile());
    } catch (const tvx::ScenarioError& e) {
        CheckError(e, text, "reading");
        return 0;
    }
    size_t described = tvx::DescribeMachine(scenario).size();
    for (const tvx::Step& step : scenario.steps) described += tvx::DescribeStep(scenario, step).size();
    if (described == 0) Finding("a scenario that reads describes nothing");
    if (!QuickToRun(scenario)) return 0;
    tvx::fuzz::QuietLayer quiet;
    Run(scenario, text);
    return 0;
}
