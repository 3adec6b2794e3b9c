// tvx-sim: runs the co-installer's calls on a simulated Windows machine and reports what it did.
//   tvx-sim run [SCENARIO]      one scenario (the built-in first plug-in without an argument)
//   tvx-sim check SCENARIO...   scenarios with expectations, as a test runner
//   tvx-sim sweep SCENARIO...   every failable call of every scenario failed in turn
//   tvx-sim extract-default DIR the built-in scenario's files, to copy and change
// `run --html FILE` and `check --html DIR` also write each report as a web page.
// Exit status: 0 done (check: every expectation met), 1 an expectation unmet, 2 bad command line or
// bad scenario (nothing ran), 3 the run itself failed (the co-installer could not be loaded).
// tvx-sim only.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>

#include "platform/text/scratch_folder.h"
#include "tools/scenario/expectations.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/tvx-sim/embedded_scenario.h"
#include "tools/tvx-sim/sim_run.h"
#include "tools/tvx-sim/sweep.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitUnmet = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitRunFailed = 3;

// A folder below the temporary folder that holds the built-in scenario while it runs.
plat::text::ScratchFolder MakeDefaultScenarioFolder() {
    std::optional<plat::text::ScratchFolder> folder =
        plat::text::ScratchFolder::Make(fs::temp_directory_path(), "tvx-sim-default-");
    if (!folder)
        throw tvx::sim::RunError("cannot make a folder for the built-in scenario below " +
                                 fs::temp_directory_path().string());
    return std::move(*folder);
}

struct RunCommand {
    std::string scenario;
    bool json = false;
    bool trace = false;
    bool normalised = false;
    bool net_change = false;
    std::string export_reg;
    std::string html;
};

// Writes a report page, making its folder when missing; false (and a message) when it cannot.
bool WritePage(const fs::path& file, const std::string& page) {
    std::error_code ec;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << page;
    if (!out) {
        std::cerr << "tvx-sim: cannot write the report page " << file.string() << "\n";
        return false;
    }
    return true;
}

// The page of each scenario in `folder`: named after the scenario's folder (scenarios/X/scenario.toml
// gives X.html) or its file, and never over another scenario's page.
fs::path PagePath(const fs::path& folder, const tvx::Scenario& scenario, std::vector<std::string>& taken) {
    std::string name = scenario.file.stem().string();
    if (name == "scenario" && scenario.file.has_parent_path()) name = scenario.file.parent_path().filename().string();
    if (name.empty()) name = "scenario";
    std::string unique = name;
    for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n)
        unique = name + "-" + std::to_string(n);
    taken.push_back(unique);
    return folder / (unique + ".html");
}

tvx::sim::RunResult RunAndCheck(const tvx::Scenario& scenario, const tvx::sim::RunOptions& options) {
    tvx::sim::RunResult run = tvx::sim::RunScenario(scenario, options);
    bool has_expectations = !scenario.expect.empty();
    for (const tvx::Step& step : scenario.steps) has_expectations = has_expectations || step.expect_result;
    if (has_expectations) {
        run.report.expectations_checked = true;
        run.report.unmet_expectations = tvx::CheckExpectations(scenario, run.report, tvx::LookupIn(run.final_registry),
                                                                 run.final_files);
    }
    return run;
}

int Run(const RunCommand& cmd, const std::string& module) {
    plat::text::ScratchFolder builtin;
    tvx::Scenario scenario;
    try {
        if (cmd.scenario.empty()) {
            builtin = MakeDefaultScenarioFolder();
            scenario = tvx::ReadScenario(tvx::sim::WriteDefaultScenario(builtin.path()));
            scenario.file = "scenarios/default/scenario.toml";
        } else {
            scenario = tvx::ReadScenario(cmd.scenario);
        }
    } catch (const tvx::ScenarioError& e) {
        std::cerr << "tvx-sim: " << e.what() << "\n";
        return kExitBadInput;
    }

    tvx::sim::RunResult run = RunAndCheck(scenario, {module, cmd.trace, {}});
    tvx::Report report = cmd.normalised ? tvx::NormaliseReport(run.report) : run.report;
    if (cmd.net_change)
        std::cout << tvx::FormatNetChange(report);
    else
        std::cout << (cmd.json ? tvx::FormatReportJson(report) : tvx::FormatReportText(report, {cmd.trace}));

    if (!cmd.export_reg.empty()) {
        std::ofstream out(cmd.export_reg, std::ios::binary | std::ios::trunc);
        out << tvx::WriteRegFile(run.final_registry);
        if (!out) {
            std::cerr << "tvx-sim: cannot write the final registry to " << cmd.export_reg << "\n";
            return kExitRunFailed;
        }
        std::cerr << "tvx-sim: the final registry is in " << cmd.export_reg << "\n";
    }
    if (!cmd.html.empty()) {
        if (!WritePage(cmd.html, tvx::FormatReportHtml(report, {cmd.trace}))) return kExitRunFailed;
        std::cerr << "tvx-sim: the report as a web page is in " << cmd.html << "\n";
    }
    return 0;
}

int Check(const std::vector<std::string>& files, const std::string& html, const std::string& module) {
    // Every scenario is read before any runs: bad input stops everything.
    std::vector<tvx::Scenario> scenarios;
    bool bad = false;
    for (const std::string& file : files) {
        try {
            scenarios.push_back(tvx::ReadScenario(file));
        } catch (const tvx::ScenarioError& e) {
            std::cerr << "tvx-sim: " << e.what() << "\n";
            bad = true;
        }
    }
    if (bad) return kExitBadInput;

    size_t failed = 0;
    std::vector<std::string> pages;
    for (const tvx::Scenario& scenario : scenarios) {
        tvx::sim::RunResult run = RunAndCheck(scenario, {module, false, {}});
        if (!html.empty() && !WritePage(PagePath(html, scenario, pages), tvx::FormatReportHtml(run.report)))
            return kExitRunFailed;
        std::string label = scenario.name + " (" + scenario.file.string() + ")";
        if (!run.report.expectations_checked) {
            std::cout << "FAIL " << label << ": the scenario has no expectations, so nothing was checked\n";
            ++failed;
            continue;
        }
        if (run.report.unmet_expectations.empty()) {
            std::cout << "PASS " << label << "\n";
            continue;
        }
        ++failed;
        std::cout << "FAIL " << label << "\n";
        for (const std::string& unmet : run.report.unmet_expectations) std::cout << "  unmet: " << unmet << "\n";
    }
    std::cout << scenarios.size() << " scenario" << (scenarios.size() == 1 ? "" : "s") << ": "
              << scenarios.size() - failed << " passed, " << failed << " failed\n";
    if (!html.empty()) std::cerr << "tvx-sim: the reports as web pages are in " << html << "\n";
    return failed ? kExitUnmet : 0;
}

int Sweep(const std::vector<std::string>& files, uint64_t stride, const std::string& module) {
    std::vector<tvx::Scenario> scenarios;
    for (const std::string& file : files) {
        try {
            scenarios.push_back(tvx::ReadScenario(file));
        } catch (const tvx::ScenarioError& e) {
            std::cerr << "tvx-sim: " << e.what() << "\n";
            return kExitBadInput;
        }
    }
    tvx::sim::SweepOptions options;
    options.module_path = module;
    options.stride = stride;
    options.progress = [](const std::string& line) { std::cout << "  " << line << std::endl; };
    std::cout << "Fault sweep: each failable call of each scenario failed "
              << (stride == 1 ? std::string("in turn") : "in turn, every " + std::to_string(stride) + "th")
              << ", once and from then on\n";
    const tvx::sim::SweepFigures figures = tvx::sim::SweepScenarios(scenarios, options);
    for (const std::string& finding : figures.findings) std::cout << "FINDING " << finding << "\n";
    std::cout << figures.scenarios << " scenarios, " << figures.calls << " failable calls, " << figures.swept
              << " swept, " << figures.runs << " runs with a fault, " << figures.findings.size() << " findings\n";
    return figures.findings.empty() ? 0 : kExitUnmet;
}

int ExtractDefault(const std::string& folder) {
    fs::path scenario = tvx::sim::WriteDefaultScenario(folder);
    std::cout << "The built-in scenario is in " << scenario.parent_path().string() << "; run it with\n"
              << "  tvx-sim run " << scenario.string() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tvx-sim runs the Tarvix Q920k co-installer (TarvixQ920kCO.dll) on a simulated Windows machine:\n"
        "a scenario describes the machine and the calls Windows makes; the report shows each call's answer,\n"
        "the programs started, the registry changes and the log lines.",
        "tvx-sim"};
    app.require_subcommand(1);
    std::string module = TVX_COINSTALLER_MODULE;
    app.add_option("--module", module, "the host build of the co-installer to load")
        ->type_name("FILE")
        ->capture_default_str();

    RunCommand run_cmd;
    CLI::App* run = app.add_subcommand("run", "run one scenario and print its report (no SCENARIO: the built-in "
                                              "first plug-in of the scanner on 64-bit Windows 5.2)");
    run->add_option("scenario", run_cmd.scenario, "the scenario's TOML file")->type_name("SCENARIO");
    run->add_flag("--json", run_cmd.json, "print the report as JSON");
    run->add_flag("--trace", run_cmd.trace, "show every platform call of every step with its result");
    run->add_flag("--normalised", run_cmd.normalised,
                  "print the form compared with the Wine run (timestamps and handles masked)");
    run->add_flag("--net-change", run_cmd.net_change,
                  "print only what the run changed from its start to its end: the registry difference as .reg "
                  "text, and the files and folders created, changed and deleted")
        ->excludes(run->get_option("--json"));
    run->add_option("--export-reg", run_cmd.export_reg, "write the final registry to FILE (.reg, version 5)")
        ->type_name("FILE");
    run->add_option("--html", run_cmd.html,
                    "also write the report as a web page to FILE (one self-contained page with a timeline)")
        ->type_name("FILE");

    std::vector<std::string> check_files;
    std::string check_html;
    CLI::App* check = app.add_subcommand("check", "run scenarios and check their expectations; exit status 1 when "
                                                  "one is unmet");
    check->add_option("scenarios", check_files, "the scenarios' TOML files")->type_name("SCENARIO")->required();
    check->add_option("--html", check_html, "also write each scenario's report as a web page in DIR (NAME.html)")
        ->type_name("DIR");

    std::vector<std::string> sweep_files;
    uint64_t sweep_stride = 1;
    CLI::App* sweep = app.add_subcommand(
        "sweep", "run each scenario again with each of the co-installer's failable calls failed in turn, once and "
                 "from then on, and report every run that leaves something open, answers what it may not, writes or "
                 "removes what the fault-free run does not, or loses log bytes; exit status 1 on any finding");
    sweep->add_option("scenarios", sweep_files, "the scenarios' TOML files")->type_name("SCENARIO")->required();
    sweep->add_option("--stride", sweep_stride, "sweep only calls 1, 1+N, 1+2N, ... (a quick subset)")
        ->type_name("N")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();

    std::string extract_folder;
    CLI::App* extract = app.add_subcommand("extract-default", "write the built-in scenario's files to a folder");
    extract->add_option("folder", extract_folder, "where to write them")->type_name("DIR")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kExitBadInput;
    }

    try {
        if (*run) return Run(run_cmd, module);
        if (*check) return Check(check_files, check_html, module);
        if (*sweep) return Sweep(sweep_files, sweep_stride, module);
        if (*extract) return ExtractDefault(extract_folder);
    } catch (const tvx::sim::RunError& e) {
        std::cerr << "tvx-sim: " << e.what() << "\n";
        return kExitRunFailed;
    } catch (const fs::filesystem_error& e) {
        std::cerr << "tvx-sim: " << e.what() << "\n";
        return kExitRunFailed;
    }
    return kExitBadInput;
}
