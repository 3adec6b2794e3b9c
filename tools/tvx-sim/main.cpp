// tvx-sim: runs the co-installer's calls on a simulated Windows machine and reports what it did.
//   tvx-sim run [SCENARIO]      one scenario (the built-in first plug-in without an argument)
//   tvx-sim check SCENARIO...   scenarios with expectations, as a test runner
//   tvx-sim sweep SCENARIO...   every failable call of every scenario failed in turn
//   tvx-sim extract-default DIR the built-in scenario's files, to copy and change (into a new or
//                               empty folder; --force writes over the files there)
// A SCENARIO is a scenario's TOML file or its folder (which holds it as scenario.toml).
// `run --html FILE` and `check --html DIR` also write each report as a web page.
// Exit status: 0 done (run, check: every expectation met); 1 an expectation unmet (run, check) or a
// finding (sweep); 2 bad command line or bad scenario (`file:line: what is wrong`): run runs
// nothing, check and sweep tell each bad scenario and go on with the others, and answer 2 when any
// was bad; 3 the run itself failed (the co-installer could not be loaded, or an output file could not
// be written). SIGINT or SIGTERM stops it between runs: the runs' folders are removed and the
// process ends by that signal. Nothing of a run is left behind on any exit. tvx-sim only.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>

#include "platform/host/scratch_folder.h"
#include "tools/scenario/expectations.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/run_end.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/tvx-sim/embedded_scenario.h"
#include "tools/tvx-sim/interrupt.h"
#include "tools/tvx-sim/sim_run.h"
#include "tools/tvx-sim/sweep.h"

namespace {

namespace fs = std::filesystem;

using tvx::kExitBadInput;
using tvx::kExitRunFailed;
using tvx::kExitUnmet;

// A folder below the temporary folder that holds the built-in scenario while it runs.
plat::host::ScratchFolder MakeDefaultScenarioFolder() {
    std::optional<plat::host::ScratchFolder> folder =
        plat::host::ScratchFolder::Make(fs::temp_directory_path(), "tvx-sim-default-");
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

// Writes a file of output (a report page, a .reg file); false, with a message, when it cannot.
bool WriteOutput(const fs::path& file, const std::string& bytes, const char* what) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        std::cerr << "tvx-sim: cannot write " << what << " to " << file.string() << ": it is a folder\n";
        return false;
    }
    errno = 0;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
        const int error = errno ? errno : EIO;
        std::cerr << "tvx-sim: cannot write " << what << " to " << file.string() << ": "
                  << std::generic_category().message(error) << "\n";
        return false;
    }
    return true;
}

// Writes a report page, making its folder when missing; false (and a message) when it cannot.
bool WritePage(const fs::path& file, const std::string& page) {
    std::error_code ec;
    if (file.has_parent_path() && !fs::is_directory(file.parent_path(), ec)) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            std::cerr << "tvx-sim: cannot write the report page " << file.string() << ": cannot make its folder "
                      << file.parent_path().string() << ": " << ec.message() << "\n";
            return false;
        }
    }
    return WriteOutput(file, page, "the report page");
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

void TellBadInput(const std::string& what) {
    std::cout.flush();
    std::cerr << "tvx-sim: " << what << "\n";
}

int Run(const RunCommand& cmd, const std::string& module) {
    plat::host::ScratchFolder builtin;
    tvx::Scenario scenario;
    tvx::sim::RunResult run;
    try {
        if (cmd.scenario.empty()) {
            builtin = MakeDefaultScenarioFolder();
            scenario = tvx::ReadScenario(tvx::sim::WriteDefaultScenario(builtin.path()));
            scenario.file = "scenarios/default/scenario.toml";
        } else {
            scenario = tvx::ReadScenario(cmd.scenario);
        }
        run = tvx::sim::RunAndCheck(scenario, {module, cmd.trace, {}});
    } catch (const tvx::ScenarioError& e) {
        TellBadInput(e.what());
        return kExitBadInput;
    }
    // Gone before the report is printed: a reader that stops reading early (`| head`) ends the
    // process by SIGPIPE in the middle of it, and nothing may be left behind then either.
    builtin = plat::host::ScratchFolder();

    tvx::Report report = cmd.normalised ? tvx::NormaliseReport(run.report) : run.report;
    if (cmd.net_change)
        std::cout << tvx::FormatNetChange(report);
    else
        std::cout << (cmd.json ? tvx::FormatReportJson(report) : tvx::FormatReportText(report, {cmd.trace}));
    std::cout.flush();

    if (!cmd.export_reg.empty()) {
        if (!WriteOutput(cmd.export_reg, tvx::WriteRegFile(run.final_registry), "the final registry"))
            return kExitRunFailed;
        std::cerr << "tvx-sim: the final registry is in " << cmd.export_reg << "\n";
    }
    if (!cmd.html.empty()) {
        if (!WritePage(cmd.html, tvx::FormatReportHtml(report, {cmd.trace}))) return kExitRunFailed;
        std::cerr << "tvx-sim: the report as a web page is in " << cmd.html << "\n";
    }
    return tvx::RunExitStatus(run.report);
}

// Each scenario is read and run in turn: one that is bad (it cannot be read, or its machine cannot
// be set up) is told and counted, and the others still run.
int Check(const std::vector<std::string>& files, const std::string& html, const std::string& module) {
    size_t failed = 0, bad = 0;
    std::vector<std::string> pages;
    for (const std::string& file : files) {
        tvx::Scenario scenario;
        tvx::sim::RunResult run;
        try {
            scenario = tvx::ReadScenario(file);
            run = tvx::sim::RunAndCheck(scenario, {module, false, {}});
        } catch (const tvx::ScenarioError& e) {
            TellBadInput(e.what());
            std::cout << "BAD " << file << ": not run (bad scenario)\n";
            ++bad;
            continue;
        }
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
    const size_t ran = files.size() - bad;
    std::cout << files.size() << " scenario" << (files.size() == 1 ? "" : "s") << ": " << ran - failed << " passed, "
              << failed << " failed";
    if (bad) std::cout << ", " << bad << " bad (not run)";
    std::cout << "\n";
    if (!html.empty() && ran) std::cerr << "tvx-sim: the reports as web pages are in " << html << "\n";
    return bad ? kExitBadInput : failed ? kExitUnmet : 0;
}

int Sweep(const std::vector<std::string>& files, uint64_t stride, const std::string& module) {
    std::vector<tvx::Scenario> scenarios;
    size_t bad = 0;
    for (const std::string& file : files) {
        try {
            scenarios.push_back(tvx::ReadScenario(file));
        } catch (const tvx::ScenarioError& e) {
            TellBadInput(e.what());
            ++bad;
        }
    }
    tvx::sim::SweepOptions options;
    options.module_path = module;
    options.stride = stride;
    options.progress = [](const std::string& line) { std::cout << "  " << line << std::endl; };
    options.bad_scenario = TellBadInput;
    std::cout << "Fault sweep: each failable call of each scenario failed "
              << (stride == 1 ? std::string("in turn") : "in turn, every " + std::to_string(stride) + "th")
              << ", once and from then on\n";
    const tvx::sim::SweepFigures figures = tvx::sim::SweepScenarios(scenarios, options);
    bad += figures.bad;
    for (const std::string& finding : figures.findings) std::cout << "FINDING " << finding << "\n";
    std::cout << figures.scenarios << " scenarios, " << figures.calls << " failable calls, " << figures.swept
              << " swept, " << figures.runs << " runs with a fault, " << figures.findings.size() << " findings";
    if (bad) std::cout << ", " << bad << " bad scenario" << (bad == 1 ? "" : "s") << " (not swept)";
    std::cout << "\n";
    return bad ? kExitBadInput : figures.findings.empty() ? 0 : kExitUnmet;
}

// Writes into a new or empty folder only, unless told to write over what is there: the folder may
// hold a scenario made from an earlier copy.
int ExtractDefault(const std::string& folder, bool force) {
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        TellBadInput(folder + ": " + ec.message());
        return kExitBadInput;
    }
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            TellBadInput(folder + ": not a folder (a file of that name is there)");
            return kExitBadInput;
        }
        const bool empty = fs::is_empty(folder, ec);
        if (ec) {
            TellBadInput(folder + ": " + ec.message());
            return kExitBadInput;
        }
        if (!empty && !force) {
            TellBadInput(folder + ": the folder is not empty; name a new or empty folder, or add --force to write "
                                  "the built-in scenario's files over the files of the same names");
            return kExitBadInput;
        }
    }
    fs::path scenario;
    try {
        scenario = tvx::sim::WriteDefaultScenario(folder);
    } catch (const fs::filesystem_error& e) {
        std::cerr << "tvx-sim: cannot write the built-in scenario into " << folder << ": " << e.path1().string()
                  << ": " << e.code().message() << "\n";
        return kExitRunFailed;
    }
    std::cout << "The built-in scenario is in " << scenario.parent_path().string() << "; run it with\n"
              << "  tvx-sim run " << scenario.parent_path().string() << "\n";
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
    app.footer(
        "A SCENARIO is a scenario's TOML file or its folder (which holds scenario.toml).\n"
        "Exit status: 0 done (every expectation met); 1 an expectation unmet (run, check) or a finding (sweep);\n"
        "2 bad command line or bad scenario (file:line: what is wrong; check and sweep go on with the other\n"
        "scenarios); 3 the run itself failed (the co-installer could not be loaded, or an output file could not\n"
        "be written).");
    std::string module = TVX_COINSTALLER_MODULE;
    app.add_option("--module", module, "the host build of the co-installer to load")
        ->type_name("FILE")
        ->capture_default_str();

    RunCommand run_cmd;
    CLI::App* run = app.add_subcommand("run", "run one scenario and print its report (no SCENARIO: the built-in "
                                              "first plug-in of the scanner on 64-bit Windows 5.2); exit status 1 "
                                              "when one of its expectations is unmet");
    run->add_option("scenario", run_cmd.scenario, "the scenario's TOML file or its folder")->type_name("SCENARIO");
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
                                                  "one is unmet, 2 when a scenario is bad (the others still run)");
    check->add_option("scenarios", check_files, "the scenarios' TOML files or their folders")->type_name("SCENARIO")->required();
    check->add_option("--html", check_html, "also write each scenario's report as a web page in DIR (NAME.html)")
        ->type_name("DIR");

    std::vector<std::string> sweep_files;
    uint64_t sweep_stride = 1;
    CLI::App* sweep = app.add_subcommand(
        "sweep", "run each scenario again with each of the co-installer's failable calls failed in turn, once and "
                 "from then on, and report every run that leaves something open, answers what it may not, writes or "
                 "removes what the fault-free run does not, or loses log bytes; exit status 1 on any finding");
    sweep->add_option("scenarios", sweep_files, "the scenarios' TOML files or their folders")->type_name("SCENARIO")->required();
    sweep->add_option("--stride", sweep_stride, "sweep only calls 1, 1+N, 1+2N, ... (a quick subset)")
        ->type_name("N")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();

    std::string extract_folder;
    bool extract_force = false;
    CLI::App* extract = app.add_subcommand("extract-default", "write the built-in scenario's files to a new or empty "
                                                              "folder");
    extract->add_option("folder", extract_folder, "where to write them")->type_name("DIR")->required();
    extract->add_flag("--force", extract_force,
                      "write into a folder that is not empty, over the files of the same names");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kExitBadInput;
    }

    // The last line of defence: every error is meant to be caught where it arises, with its own
    // message; whatever escapes still ends with a message, and with the run's folders removed on
    // the way out (an exception that nothing catches would end the process without that).
    int status = kExitBadInput;
    tvx::sim::CatchInterrupts();
    try {
        if (*run) status = Run(run_cmd, module);
        else if (*check) status = Check(check_files, check_html, module);
        else if (*sweep) status = Sweep(sweep_files, sweep_stride, module);
        else if (*extract) status = ExtractDefault(extract_folder, extract_force);
    } catch (const tvx::sim::Interrupted& e) {
        std::cout.flush();
        std::cerr << "tvx-sim: " << e.what() << ": stopped\n";
        tvx::sim::EndByInterrupt(e.signal());
    } catch (const tvx::ScenarioError& e) {
        TellBadInput(e.what());
        return kExitBadInput;
    } catch (const tvx::sim::RunError& e) {
        std::cerr << "tvx-sim: " << e.what() << "\n";
        return kExitRunFailed;
    } catch (const fs::filesystem_error& e) {
        std::cerr << "tvx-sim: " << e.what() << "\n";
        return kExitRunFailed;
    } catch (const std::exception& e) {
        std::cerr << "tvx-sim: unexpected error: " << e.what() << "\n";
        return kExitRunFailed;
    } catch (...) {
        std::cerr << "tvx-sim: unexpected error\n";
        return kExitRunFailed;
    }
    // A signal caught during the last run: that run has ended and left nothing behind.
    if (const int signal = tvx::sim::InterruptSignal()) {
        std::cout.flush();
        std::cerr << "tvx-sim: " << tvx::sim::Interrupted(signal).what() << ": stopped\n";
        tvx::sim::EndByInterrupt(signal);
    }
    return status;
}
