// Checking a scenario's expectations against what a run did: each kind of expectation met and
// unmet, and every unmet one named with its line.
#include <gtest/gtest.h>

#include "tests/sim_fixture.h"
#include "tools/scenario/expectations.h"
#include "tools/scenario/names.h"
#include "tools/scenario/run_end.h"
#include "tools/scenario/scenario.h"

namespace {

// What the run did: one DIF call answered NO_ERROR; the firmware tool started and waited for,
// then setup started from D:; one window message; the still-image service stopped and started;
// two log lines; and a marker in the registry.
struct FinishedRun {
    tvx::Scenario scenario;
    tvx::Report report;
    tvx::RegistrySnapshot registry;
    tvx::FileSnapshot files;

    explicit FinishedRun(const std::string& expectations) {
        std::filesystem::path folder = tvx::test::FreshScratchFolder();
        scenario = tvx::ParseScenario(
            "[[machine.devices]]\ninstance_id = 'USB\\X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\n" + expectations,
            folder / "scenario.toml");
        report = tvx::StartReport(scenario, "simulated machine");
        for (tvx::ReportStep& step : report.steps)
            if (step.kind == tvx::StepKind::Dif) step.result = 0;
        tvx::ProgramStarted firmware;
        firmware.step = 2;
        firmware.command_line = "D:\\fw.exe -auto";
        firmware.directory = "D:\\fw";
        report.programs.push_back(firmware);
        report.waits.push_back({2, firmware.command_line, tvx::WaitOutcome::Ended, 0xFFFFFFFFu, 500});
        tvx::ProgramStarted setup;
        setup.step = 2;
        setup.command_line = "D:\\setup.exe";
        setup.directory = "D:\\";
        report.programs.push_back(setup);
        report.messages.push_back({2, "STIExe_Window_Class", 0x4C9, 2, 2});
        for (const char* state : {"stop pending", "stopped", "start pending", "running"})
            report.service_changes.push_back({2, "stisvc", state, {}});
        report.services_at_end.push_back({"stisvc", "running"});
        report.logs.push_back({"_coInst.log", "", true, false,
                               "Start Log\r\nModelString retrieved from registry = tvxQ920k \r\n"});
        registry.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix", {"Marker", tvx::kRegSz, {'1', 0}});
        tvx::WiaRegistrationMade wizard;
        wizard.step = 2;
        wizard.flags = 1;
        wizard.event = "{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}";
        wizard.clsid = "{D13E3F25-1688-45A0-9743-759EB35CDF9A}";
        wizard.name = "Wizard";
        wizard.result = 0x80004005u;
        report.wia_registrations.push_back(wizard);
        report.debug_output.push_back({2, "Could not obtain current HW instance info for device\n"});
        // The run removed one instance's data source and its folder, and wrote the log.
        files["%WINDIR%\\TWAIN_32\\tvpn_0000"] = {true, ""};
        files["%WINDIR%\\TWAIN_32\\tvpn_0000\\readme.txt"] = {false, "kept"};
        files["%TEMP%\\_coInst.log"] = {false, "Start Log\r\n"};
        report.files.push_back({tvx::FileChange::Kind::Deleted, "%WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds", false, {}});
        report.files.push_back({tvx::FileChange::Kind::Created, "%TEMP%\\_coInst.log", false, 11});
        tvx::KeyChange marker;
        marker.kind = tvx::KeyChange::Kind::Changed;
        marker.path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix";
        report.registry.keys.push_back(marker);
    }
    std::vector<std::string> Unmet() const {
        return tvx::CheckExpectations(scenario, report, tvx::LookupIn(registry), files);
    }
};

struct Row {
    const char* what;
    const char* expectations;  // TOML after the scenario's one dif step (line 6 on)
    const char* unmet;         // nullptr: met; else a part of the one message expected
};

TEST(ScenarioExpectations, EachKindMetOrNamedWithItsLine) {
    const Row rows[] = {
        {"result as expected", "expect_result = \"NO_ERROR\"\n", nullptr},
        {"result differs", "expect_result = \"ERROR_DI_POSTPROCESSING_REQUIRED\"\n",
         "scenario.toml:6: expected step 2 (TarvixScannerCoInstaller DIF_INSTALLDEVICE (0x02), pre-processing, device "
         "USB\\X\\1) to answer ERROR_DI_POSTPROCESSING_REQUIRED (0xE0000226), but it answered NO_ERROR (0x00000000)"},
        {"value with its data", "[[expect.registry]]\nkey = 'HKLM\\SOFTWARE\\Tarvix'\nvalue = \"marker\"\ndata = \"1\"\n",
         nullptr},
        {"value with other data", "[[expect.registry]]\nkey = 'HKLM\\SOFTWARE\\Tarvix'\nvalue = \"Marker\"\ndata = 1\n",
         "scenario.toml:6: expected value \"Marker\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix to hold "
         "\"Marker\"=dword:00000001 (REG_DWORD), but it holds \"Marker\"=\"1\" (REG_SZ)"},
        {"value expected absent", "[[expect.registry]]\nkey = 'HKLM\\SOFTWARE\\Tarvix'\nvalue = \"Marker\"\npresent = false\n",
         "to be absent, but it holds \"Marker\"=\"1\""},
        {"key expected absent", "[[expect.registry]]\nkey = 'HKLM\\SOFTWARE\\Tarvix\\tvx'\npresent = false\n", nullptr},
        {"key expected present", "[[expect.registry]]\nkey = 'HKLM\\SOFTWARE\\Other'\n",
         "expected key HKEY_LOCAL_MACHINE\\SOFTWARE\\Other to exist, but it does not exist"},
        {"programs as expected",
         "[[expect.programs]]\ncommand_line = 'D:\\fw.exe -auto'\nwaited = true\n"
         "[[expect.programs]]\ncommand_line = 'D:\\setup.exe'\ndirectory = 'D:\\'\nwaited = false\n",
         nullptr},
        {"program in another folder",
         "[[expect.programs]]\ncommand_line = 'D:\\fw.exe -auto'\n"
         "[[expect.programs]]\ncommand_line = 'D:\\setup.exe'\ndirectory = 'C:\\'\n",
         "scenario.toml:8: expected program 2 to be \"D:\\setup.exe\" in folder \"C:\\\", but it was \"D:\\setup.exe\" "
         "in folder \"D:\\\""},
        {"program not waited for",
         "[[expect.programs]]\ncommand_line = 'D:\\fw.exe -auto'\n"
         "[[expect.programs]]\ncommand_line = 'D:\\setup.exe'\nwaited = true\n",
         "scenario.toml:8: expected the co-installer to wait for program 2 (\"D:\\setup.exe\" in folder \"D:\\\"), "
         "but it did not"},
        {"program waited for", "[[expect.programs]]\ncommand_line = 'D:\\fw.exe -auto'\nwaited = false\n"
         "[[expect.programs]]\ncommand_line = 'D:\\setup.exe'\n",
         "expected the co-installer not to wait for program 1"},
        {"a program too many", "[[expect.programs]]\ncommand_line = 'D:\\fw.exe -auto'\n",
         "expected no program beyond the 1 listed, but step 2 started \"D:\\setup.exe\""},
        {"every wait ends as expected", "[expect]\nwaits_forever = \"\"\n", nullptr},
        {"a wait expected without end", "[expect]\nwaits_forever = 'D:\\fw.exe -auto'\n",
         "expected the co-installer to wait forever for \"D:\\fw.exe -auto\", but every wait ended"},
        {"service state and changes",
         "[[expect.services]]\nname = \"StiSvc\"\nstate = \"running\"\n"
         "changes = [\"stop pending\", \"stopped\", \"start pending\", \"running\"]\n",
         nullptr},
        {"service in another state", "[[expect.services]]\nname = \"stisvc\"\nstate = \"stopped\"\n",
         "scenario.toml:6: expected service stisvc to be stopped at the end, but it is running"},
        {"service never touched", "[[expect.services]]\nname = \"stisvc\"\nchanges = []\n",
         "expected the state changes of service stisvc to be none, but they were stop pending, stopped, start pending, "
         "running"},
        {"service not in the run", "[[expect.services]]\nname = \"other\"\nstate = \"running\"\n",
         "expected service other to be running at the end, but it is not reported"},
        {"message as expected",
         "[expect]\nmessages = [{ window_class = \"STIExe_Window_Class\", message = 0x4C9, wparam = 2, lparam = 2 }]\n",
         nullptr},
        {"message with other parameters",
         "[expect]\nmessages = [{ window_class = \"STIExe_Window_Class\", message = 0x4C9, wparam = 1, lparam = 2 }]\n",
         "expected message 1 to be message 0x4C9 (wParam 0x1, lParam 0x2) to the window of class STIExe_Window_Class, "
         "but it was message 0x4C9 (wParam 0x2, lParam 0x2)"},
        {"no message expected", "[expect]\nmessages = []\n",
         "expected no message beyond the 0 listed, but step 2 posted message 0x4C9"},
        {"events expected", "[expect]\nevents = [\"tvx_PNPFinishedEvent_99\"]\n",
         "expected the named events set to be tvx_PNPFinishedEvent_99, but they were none"},
        {"whole line, trailing blanks aside", "[[expect.log]]\nline = \"ModelString retrieved from registry = tvxQ920k\"\n",
         nullptr},
        {"part of a line", "[[expect.log]]\ncontains = \"retrieved\"\n", nullptr},
        {"part of a line is not a whole line", "[[expect.log]]\nline = \"ModelString\"\n",
         "expected a line \"ModelString\" among the new lines of _coInst.log, but there is none"},
        {"line expected absent", "[[expect.log]]\nline = \"Start Log\"\npresent = false\n",
         "expected no line \"Start Log\" among the new lines of _coInst.log, but there is one"},
        {"line counted", "[[expect.log]]\nline = \"Start Log\"\ncount = 1\n", nullptr},
        {"line counted wrong", "[[expect.log]]\ncontains = \"Log\"\ncount = 0\n",
         "expected 0 of the line containing \"Log\" among the new lines of _coInst.log, but there is 1"},
        {"WIA registration as expected",
         "[expect]\nwia_registrations = [{ event = \"{a6c5a715-8e14-11d2-9c6c-00c04f8ede8c}\", device_id = \"\", "
         "clsid = \"{D13E3F25-1688-45A0-9743-759EB35CDF9A}\", name = \"Wizard\", flags = 1, result = 0x80004005 }]\n",
         nullptr},
        {"WIA registration answered otherwise",
         "[expect]\nwia_registrations = [{ event = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\", result = \"S_OK\" }]\n",
         "scenario.toml:7: expected WIA registration 1 with answer 0x00000000, but it was event "
         "{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C} for every device"},
        {"WIA registration for a device",
         "[expect]\nwia_registrations = [{ event = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\", device_id = 'X' }]\n",
         "with device \"X\""},
        {"WIA registration missing",
         "[expect]\nwia_registrations = [{ event = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\" }, "
         "{ event = \"{1B0F8E2E-2C5C-4A0B-8D3E-5B2F7A9C0D11}\" }]\n",
         "expected WIA registration 2 for event {1B0F8E2E-2C5C-4A0B-8D3E-5B2F7A9C0D11}, but 1 were made"},
        {"no WIA registration expected", "[expect]\nwia_registrations = []\n",
         "expected no WIA registration beyond the 0 listed, but step 2 made event {A6C5A715"},
        {"log not written", "[[expect.log]]\nfile = \"_scan_buttons.log\"\ncontains = \"Start\"\n",
         "but the run added nothing to _scan_buttons.log"},
        {"debugger output as expected",
         "[expect]\ndebug_output = [\"Could not obtain current HW instance info for device\\n\"]\n", nullptr},
        {"debugger output without its line end",
         "[expect]\ndebug_output = [\"Could not obtain current HW instance info for device\"]\n",
         "expected the debugger output to be \"Could not obtain current HW instance info for device\", but it was "
         "\"Could not obtain current HW instance info for device\\n\""},
        {"no debugger output expected", "[expect]\ndebug_output = []\n",
         "expected the debugger output to be none, but it was"},
        {"file gone, folder kept with its text",
         "[[expect.files]]\npath = '%WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds'\npresent = false\n"
         "[[expect.files]]\npath = '%windir%\\twain_32\\TVPN_0000'\n"
         "[[expect.files]]\npath = '%WINDIR%\\TWAIN_32\\tvpn_0000\\readme.txt'\ntext = \"kept\"\n",
         nullptr},
        {"folder expected gone", "[[expect.files]]\npath = '%WINDIR%\\TWAIN_32\\tvpn_0000'\npresent = false\n",
         "scenario.toml:6: expected %WINDIR%\\TWAIN_32\\tvpn_0000 to be absent, but it exists"},
        {"file with other text", "[[expect.files]]\npath = '%TEMP%\\_coInst.log'\ntext = \"x\"\n",
         "expected %TEMP%\\_coInst.log to hold \"x\", but it holds \"Start Log\\r\\n\""},
        {"a folder is not a file's text", "[[expect.files]]\npath = '%WINDIR%\\TWAIN_32\\tvpn_0000'\ntext = \"\"\n",
         "but it is a folder"},
        {"net change within the listed keys and files",
         "[expect.net_change]\nregistry = ['HKLM\\SOFTWARE\\tarvix']\n"
         "files = ['%WINDIR%\\TWAIN_32\\tvpn_0000', '%TEMP%\\_coInst.log']\n",
         nullptr},
        {"net change: a key outside the list",
         "[expect.net_change]\nregistry = ['HKLM\\SOFTWARE\\Tarvix\\tvx']\nfiles = ['%WINDIR%', '%TEMP%']\n",
         "scenario.toml:7: expected the run to change no registry key outside the listed ones, but it changed values "
         "of HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix"},
        {"net change: a name that only begins like a listed one",
         "[expect.net_change]\nregistry = ['HKLM\\SOFTWARE']\nfiles = ['%WINDIR%\\TWAIN_32\\tvpn_000', '%TEMP%']\n",
         "but it deleted file %WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FinishedRun run(row.expectations);
        std::vector<std::string> unmet = run.Unmet();
        if (!row.unmet) {
            EXPECT_TRUE(unmet.empty()) << unmet.front();
            continue;
        }
        ASSERT_EQ(unmet.size(), 1u);
        EXPECT_NE(unmet[0].find(row.unmet), std::string::npos) << unmet[0];
    }
}

// The end of a run, as both machines end it: only the finished event counts as kept on purpose,
// and a scenario with nothing to expect is not checked.
namespace run_end {

TEST(RunEnd, OnlyTheFinishedEventIsKeptOnPurpose) {
    struct Case {
        const char* open;
        bool kept;
    } cases[] = {
        {"when the process ended at step 4: event tvx_PNPFinishedEvent_99", true},
        {"when the process ended at step 4: event tvx_PNPFinishedEvent_98", false},
        {"when the process ended at step 4: event tvx_PNPFinishedEvent_99x", false},
        {"when the process ended at step 4: key tvx_PNPFinishedEvent_99", false},
        {"event tvx_PNPFinishedEvent_99", false},
    };
    for (const Case& c : cases) EXPECT_EQ(tvx::KeptOnPurpose(c.open), c.kept) << c.open;
}

TEST(RunEnd, OnlyAScenarioWithExpectationsIsCheckedAndItsStatusFollowsThem) {
    const std::filesystem::path file = tvx::test::FreshScratchFolder() / "scenario.toml";
    const std::string device = "[[machine.devices]]\ninstance_id = 'USB\\X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\n";
    for (const auto& [extra, checked] : {std::pair<std::string, bool>{"", false},
                                         {"expect_result = \"NO_ERROR\"\n", true},
                                         {"[expect]\nevents = []\n", true}}) {
        const tvx::Scenario scenario = tvx::ParseScenario(device + extra, file);
        tvx::Report report = tvx::StartReport(scenario, "simulated machine");
        report.steps[0].result = ERROR_INVALID_PARAMETER;
        tvx::CheckRun(scenario, report, tvx::LookupIn({}), {});
        EXPECT_EQ(report.expectations_checked, checked) << extra;
        const bool unmet = extra.find("NO_ERROR") != std::string::npos;
        EXPECT_EQ(tvx::RunExitStatus(report), unmet ? tvx::kExitUnmet : tvx::kExitDone) << extra;
    }
}

}  // namespace run_end

}  // namespace
