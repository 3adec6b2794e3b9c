// tvx-wine-harness: the Wine side of a scenario. Under Wine, in a prefix of the run's own,
//   tvx-wine-harness setup SCENARIO RUN_FOLDER STANDINS
// sets Wine up as the scenario's machine (the host then links the drive folders listed in
// RUN_FOLDER\drives.txt into the prefix and restarts Wine), and
//   tvx-wine-harness run SCENARIO RUN_FOLDER STANDINS DLL [--json] [--normalised] [--output FILE]
//                    [--full-output FILE]
// makes the scenario's calls on the real DLL and prints the same report as tvx-sim. STANDINS is
// the folder of the stand-in programs (tvx-standin-program.exe, -service.exe, -window.exe).
// Exit status: 0 done, 1 an expectation unmet, 2 bad command line or scenario, 3 the run failed.
// Win32 only (cross build, run under Wine).
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "platform/win32/windows_sdk.h"
#include "tools/scenario/report.h"
#include "tools/scenario/run_end.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/wine/wine_run.h"
#include "tools/wine/wine_setup.h"

namespace {

namespace fs = std::filesystem;

using tvx::kExitBadInput;
using tvx::kExitRunFailed;

int Usage() {
    std::cerr << "usage: tvx-wine-harness setup SCENARIO RUN_FOLDER STANDINS\n"
                 "       tvx-wine-harness run SCENARIO RUN_FOLDER STANDINS DLL [--json] [--normalised]"
                 " [--output FILE] [--full-output FILE]\n";
    return kExitBadInput;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::vector<std::string> ReadNotes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> notes;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) notes.push_back(line);
    return notes;
}

int Setup(const tvx::Scenario& scenario, const fs::path& run_folder, const fs::path& standins) {
    std::vector<std::string> notes;
    tvx::wine::SetUpWine(scenario.machine, {run_folder, standins}, &notes);
    std::string text;
    for (const std::string& note : notes) text += note + "\n";
    if (!WriteFile((run_folder / "notes.txt").string(), text)) {
        std::cerr << "tvx-wine-harness: cannot write " << (run_folder / "notes.txt").string() << "\n";
        return kExitRunFailed;
    }
    return 0;
}

struct RunOptions {
    bool json = false;
    bool normalised = false;
    std::string output;
    std::string full_output;
};

int Print(const tvx::Report& report, const RunOptions& o) {
    const tvx::Report shown = o.normalised ? tvx::NormaliseReport(report) : report;
    const std::string text = o.json ? tvx::FormatReportJson(shown) : tvx::FormatReportText(shown);
    if (!o.full_output.empty() && !WriteFile(o.full_output, tvx::FormatReportText(report))) {
        std::cerr << "tvx-wine-harness: cannot write " << o.full_output << "\n";
        return kExitRunFailed;
    }
    if (o.output.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    } else if (!WriteFile(o.output, text)) {
        std::cerr << "tvx-wine-harness: cannot write " << o.output << "\n";
        return kExitRunFailed;
    }
    for (const std::string& unmet : report.unmet_expectations) std::cerr << "unmet: " << unmet << "\n";
    return tvx::RunExitStatus(report);
}

int RunSteps(const tvx::Scenario& scenario, const fs::path& run_folder, const fs::path& standins, const std::string& dll,
             const RunOptions& o) {
    bool abandoned = false;
    tvx::Report report = tvx::wine::RunScenarioOnWine(scenario, {run_folder, dll, standins},
                                                      ReadNotes(run_folder / "notes.txt"), &abandoned);
    int status = Print(report, o);
    // A call that waits forever left the DLL in the middle of its work: this process ends without
    // unloading it, as the process it stands for would never unload it either.
    if (abandoned) {
        std::fflush(stdout);
        std::cerr.flush();
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Reports are compared byte for byte: no text-mode line ends on the way out.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 5) return Usage();
    const std::string command = argv[1];
    tvx::Scenario scenario;
    try {
        scenario = tvx::ReadScenario(argv[2]);
    } catch (const tvx::ScenarioError& e) {
        std::cerr << "tvx-wine-harness: " << e.what() << "\n";
        return kExitBadInput;
    }
    const fs::path run_folder = argv[3];
    try {
        if (command == "setup" && argc == 5) return Setup(scenario, run_folder, argv[4]);
        if (command != "run" || argc < 6) return Usage();
        RunOptions options;
        for (int i = 6; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--json") {
                options.json = true;
            } else if (arg == "--normalised") {
                options.normalised = true;
            } else if (arg == "--output" && i + 1 < argc) {
                options.output = argv[++i];
            } else if (arg == "--full-output" && i + 1 < argc) {
                options.full_output = argv[++i];
            } else {
                return Usage();
            }
        }
        return RunSteps(scenario, run_folder, argv[4], argv[5], options);
    } catch (const std::exception& e) {
        std::cerr << "tvx-wine-harness: " << e.what() << "\n";
        return kExitRunFailed;
    }
}
