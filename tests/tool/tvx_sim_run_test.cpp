// What tvx-sim's report says about the programs, waits, named events, window messages and service
// changes of a run, step by step: filled from the simulated machine's own records, with the wait
// that never ends stopping the run and an unload ending the simulated process.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/sim_fixture.h"
#include "tools/scenario/scenario.h"
#include "tools/tvx-sim/sim_run.h"

namespace {

namespace fs = std::filesystem;

using tvx::test::WriteHostFile;

// A 64-bit Windows 5.2 with the install disc in D:, the still-image service running, and the
// scenario's own lines after that.
const char* const kMachine = R"(
[machine]
bits = 64
registry = ["setup.reg"]
[machine.os]
major = 5
minor = 2
[[machine.drives]]
letter = "D"
type = "cdrom"
folder = "disc"
[[machine.services]]
name = "stisvc"
state = "running"
transition_ms = 700
)";

class TvxSimRun : public ::testing::Test {
protected:
    // `setup_in_progress` chooses the branch: software first while the system's setup runs.
    tvx::Report Run(bool setup_in_progress, const std::string& more) {
        fs::path folder = tvx::test::FreshScratchFolder();
        WriteHostFile(folder / "disc" / "TarvixWia_LXR415_U.INF", "[Version]\r\n");
        WriteHostFile(folder / "disc" / "setup.exe", "setup");
        WriteHostFile(folder / "disc" / "fwUpdate" / "tarvixFirmwareUpdateTool.exe", "tool");
        WriteHostFile(folder / "setup.reg", std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\r\n") +
                                            "\"SystemSetupInProgress\"=dword:0000000" + (setup_in_progress ? "1" : "0") +
                                            "\r\n");
        WriteHostFile(folder / "scenario.toml", std::string(kMachine) + more +
                                                "[[steps]]\naction = \"install_pellion_software\"\ncommand_line = "
                                                "\"tvxQ920k\"\n");
        tvx::Scenario scenario = tvx::ReadScenario(folder / "scenario.toml");
        return tvx::sim::RunScenario(scenario, {TVX_COINSTALLER_MODULE, false, folder / "runs"}).report;
    }
};

const char* const kFirmware = "D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto";

TEST_F(TvxSimRun, HardwareFirstReportsHowEachProgramStartedAndTheWaitForTheFirmwareTool) {
    tvx::Report r = Run(false, "[[machine.programs]]\npath = 'D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe'\n"
                               "run_time_ms = 3000\n");

    ASSERT_EQ(r.programs.size(), 2u);
    EXPECT_EQ(r.programs[0].step, 2u) << "the entry's call, after the load";
    EXPECT_EQ(r.programs[0].command_line, kFirmware);
    EXPECT_EQ(r.programs[0].directory, "D:\\fwUpdate");
    EXPECT_EQ(r.programs[1].command_line, "D:\\setup.exe ");
    EXPECT_EQ(r.programs[1].directory, "D:\\");
    for (const tvx::ProgramStarted& p : r.programs) {
        EXPECT_EQ(p.creation_flags, 0x10u) << p.command_line;  // CREATE_NEW_CONSOLE
        EXPECT_EQ(p.startup_flags, 0x40u) << p.command_line;   // STARTF_FORCEONFEEDBACK
        EXPECT_EQ(p.show_window, 1u) << p.command_line;        // SW_SHOWNORMAL
    }
    ASSERT_EQ(r.waits.size(), 1u) << "the setup program is not waited for";
    EXPECT_EQ(r.waits[0].step, 2u);
    EXPECT_EQ(r.waits[0].what, kFirmware);
    EXPECT_EQ(r.waits[0].outcome, tvx::WaitOutcome::Ended);
    EXPECT_EQ(r.waits[0].timeout_ms, 0xFFFFFFFFu) << "no time limit";
    EXPECT_EQ(r.waits[0].waited_ms, 3000u);

    // On the virtual clock: the call lasts as long as the wait, which begins as the tool starts; the
    // setup starts as the wait ends and, run without a behaviour of its own, ends at once.
    ASSERT_EQ(r.steps.size(), 3u);
    ASSERT_TRUE(r.steps[0].started_ms && r.steps[0].ended_ms && r.steps[1].started_ms && r.steps[1].ended_ms);
    EXPECT_EQ(*r.steps[0].ended_ms, *r.steps[1].started_ms) << "the load takes no time";
    EXPECT_EQ(*r.steps[1].ended_ms - *r.steps[1].started_ms, 3000u);
    EXPECT_EQ(r.waits[0].started_ms, r.programs[0].started_ms);
    EXPECT_EQ(r.programs[0].ends_ms, *r.programs[0].started_ms + 3000);
    EXPECT_EQ(r.programs[1].started_ms, r.steps[1].ended_ms);
    EXPECT_EQ(r.programs[1].ends_ms, r.programs[1].started_ms);

    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(r.service_changes.empty());
    ASSERT_EQ(r.services_at_end.size(), 1u);
    EXPECT_EQ(r.services_at_end[0].state, "running");
    EXPECT_TRUE(r.open_handles.empty()) << r.open_handles.front();
}

TEST_F(TvxSimRun, SoftwareFirstReportsTheServiceRestartAndTheEventAndTheUnloadClosesTheEvent) {
    tvx::Report r = Run(true, "");

    ASSERT_EQ(r.service_changes.size(), 4u);
    const char* const states[] = {"stop pending", "stopped", "start pending", "running"};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(states[i]);
        EXPECT_EQ(r.service_changes[i].service, "stisvc");
        EXPECT_EQ(r.service_changes[i].state, states[i]);
        EXPECT_EQ(r.service_changes[i].step, 2u) << "credited to the call that asked for the change";
    }
    // The stop takes the service's 700 ms, but the co-installer looks again only 5 s after its
    // request; the start, made without waiting, completes only after the call returned.
    ASSERT_TRUE(r.service_changes[0].at_ms && r.service_changes[1].at_ms && r.service_changes[2].at_ms &&
                r.service_changes[3].at_ms);
    EXPECT_EQ(*r.service_changes[1].at_ms - *r.service_changes[0].at_ms, 700u);
    EXPECT_EQ(*r.service_changes[2].at_ms - *r.service_changes[0].at_ms, 5000u);
    EXPECT_EQ(*r.service_changes[3].at_ms - *r.service_changes[2].at_ms, 700u);
    ASSERT_EQ(r.services_at_end.size(), 1u);
    EXPECT_EQ(r.services_at_end[0].state, "running");

    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].step, 2u);
    EXPECT_EQ(r.events[0].name, "tvx_PNPFinishedEvent_99");
    EXPECT_TRUE(r.messages.empty());
    EXPECT_TRUE(r.open_handles.empty()) << "the event's handle, kept open on purpose, goes with the process: "
                                        << r.open_handles.front();
}

TEST_F(TvxSimRun, TheMonitorWindowGetsTheMessageAndTheServiceIsLeftAlone) {
    tvx::Report r = Run(true, "[[machine.windows]]\nclass = \"STIExe_Window_Class\"\n");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].step, 2u);
    EXPECT_EQ(r.messages[0].window_class, "STIExe_Window_Class");
    EXPECT_EQ(r.messages[0].message, 0x4C9u);
    EXPECT_EQ(r.messages[0].wparam, 2u);
    EXPECT_EQ(r.messages[0].lparam, 2u);
    EXPECT_TRUE(r.service_changes.empty());
}

TEST_F(TvxSimRun, AWaitThatNeverEndsStopsTheRunThere) {
    tvx::Report r = Run(false, "[[machine.programs]]\npath = 'D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe'\n"
                               "never_ends = true\n");

    ASSERT_EQ(r.steps.size(), 3u);
    EXPECT_EQ(r.steps[1].waits_forever, kFirmware);
    EXPECT_TRUE(r.steps[1].not_run.empty());
    EXPECT_NE(r.steps[2].not_run.find("still waits in step 2"), std::string::npos) << "the unload never comes";
    ASSERT_EQ(r.programs.size(), 1u) << "nothing after the firmware step happens";
    ASSERT_EQ(r.waits.size(), 1u);
    EXPECT_EQ(r.waits[0].outcome, tvx::WaitOutcome::Forever);
    EXPECT_FALSE(r.waits[0].waited_ms.has_value());
    EXPECT_TRUE(r.steps[1].started_ms.has_value());
    EXPECT_FALSE(r.steps[1].ended_ms.has_value()) << "the call never returns";
    EXPECT_FALSE(r.steps[2].started_ms.has_value()) << "nor does the unload begin";
    ASSERT_TRUE(r.programs[0].started_ms.has_value());
    EXPECT_FALSE(r.programs[0].ends_ms.has_value()) << "the tool never ends";
    EXPECT_TRUE(r.registry.empty()) << "no marker";
    ASSERT_EQ(r.logs.size(), 1u);
    EXPECT_EQ(r.logs[0].new_bytes.find("End Log"), std::string::npos) << "the library is never unloaded";
    EXPECT_NE(r.logs[0].new_bytes.find("CreateProcess succeeded and returned 1\r\n"), std::string::npos);
}

}  // namespace
