// Fuzz target: scenario files (TOML). Any input either reads or is refused with a ScenarioError
// that names the file (the scenario or a .reg file it names) and a line of it; no other exception,
// crash or hang. A scenario that reads can be described for the report.
// The scenario stands in the default scenario's folder, so that the relative paths of real
// scenarios (their .reg files and disc folders) lead to real files.
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_finding.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"

namespace {

using tvx::fuzz::Finding;

const std::filesystem::path& ScenarioFile() {
    static const std::filesystem::path file = std::filesystem::path(TVX_SCENARIOS_DIR) / "default" / "scenario.toml";
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvx::fuzz::AsText(data, size);
    tvx::Scenario scenario;
    try {
        scenario = tvx::ParseScenario(text, ScenarioFile());
    } catch (const tvx::ScenarioError& e) {
        if (e.file().empty() || e.message().empty()) Finding("an error without its file or message: " + std::string(e.what()));
        if (e.line() < 0) Finding("an error with a negative line: " + std::string(e.what()));
        if (e.file() == ScenarioFile().string() && static_cast<size_t>(e.line()) > tvx::fuzz::LineCount(text))
            Finding("the error's line is not a line of the scenario: " + std::string(e.what()));
        return 0;
    }
    size_t described = tvx::DescribeMachine(scenario).size();
    for (const tvx::Step& step : scenario.steps) described += tvx::DescribeStep(scenario, step).size();
    if (described == 0) Finding("a scenario that reads describes nothing");
    return 0;
}
