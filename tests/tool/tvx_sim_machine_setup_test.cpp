// tvx-sim's side of a scenario: the simulated machine built from it (version, registry from .reg
// files, drives as copies of their folders, devices with their keys) and a run's report.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/text/guid.h"
#include "tests/sim_fixture.h"
#include "tools/scenario/machine_parts.h"
#include "tools/scenario/names.h"
#include "tools/scenario/scenario.h"
#include "tools/tvx-sim/machine_setup.h"
#include "tools/tvx-sim/sim_run.h"

namespace {

namespace fs = std::filesystem;
using plat::sim::Hive;

using tvx::test::WriteHostFile;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const char* const kScenario = R"(
[machine]
bits = 32
administrator = false
registry = ["base.reg"]
[machine.os]
major = 6
minor = 1
build = 7601
service_pack = "Service Pack 1"
[[machine.drives]]
letter = "D"
type = "cdrom"
label = "DISC"
folder = "disc"
[[machine.devices]]
instance_id = 'USB\VID_1A2B&PID_0920\9'
description = "Tarvix Q920k"
driver_instance = "0002"
install_flags = 0x100
[machine.devices.hardware_key_values]
CoinstallerModel = "tvxQ920k"
[machine.devices.driver_key_values]
Multi = ["a", "b"]
[[machine.drives]]
letter = "E"
type = "cdrom"
[[machine.services]]
name = "stisvc"
state = "running"
transition_ms = 500
[[machine.windows]]
class = "STIExe_Window_Class"
title = "STI Monitor"
[[machine.programs]]
path = 'D:\setup.exe'
run_time_ms = 4000
exit_code = 7
[[steps]]
action = "dif"
code = "DIF_INSTALLDEVICE"
pass = "post"
install_result = "ERROR_CANCELLED"
)";

// The .reg content goes over the keys every machine starts with: it may remove them too.
const char* const kBaseReg =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix]\r\n"
    "\"Keep\"=\"1\"\r\n"
    "\"Drop\"=\"2\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix]\r\n"
    "\"Drop\"=-\r\n\r\n"
    "[-HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\r\n";

class TvxSimMachine : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = tvx::test::FreshScratchFolder();
        WriteHostFile(folder_ / "base.reg", kBaseReg);
        WriteHostFile(folder_ / "disc" / "setup.exe", "disc program");
        WriteHostFile(folder_ / "scenario.toml", kScenario);
        scenario_ = tvx::ReadScenario(folder_ / "scenario.toml");
    }
    fs::path folder_;
    tvx::Scenario scenario_;
};

TEST_F(TvxSimMachine, IsBuiltAsTheScenarioDescribesIt) {
    fs::path run = folder_ / "run";
    plat::sim::Machine machine(tvx::sim::ProfileOf(scenario_.machine), run / "C");
    tvx::sim::SetUpMachine(machine, scenario_.machine, run, scenario_.file.string());

    EXPECT_EQ(machine.profile().os.major * 100 + machine.profile().os.minor, 601u);
    EXPECT_EQ(machine.profile().os.csd, "Service Pack 1");
    EXPECT_FALSE(machine.profile().is_64bit);
    EXPECT_FALSE(machine.profile().admin);

    plat::sim::SimRegistry& reg = machine.registry();
    ASSERT_TRUE(reg.GetValue(Hive::LocalMachine, "SOFTWARE\\Tarvix", "Keep").has_value());
    EXPECT_FALSE(reg.GetValue(Hive::LocalMachine, "SOFTWARE\\Tarvix", "Drop").has_value());
    EXPECT_EQ(reg.FindKey(Hive::LocalMachine, "SYSTEM\\Setup"), nullptr);

    // The disc is a copy: what the run writes to D: never reaches the scenario's folder.
    const plat::sim::Drive& d = machine.files().drives().at('D');
    EXPECT_EQ(d.type, static_cast<UINT>(tvx::kDriveCdrom));
    EXPECT_EQ(d.label, "DISC");
    EXPECT_NE(fs::weakly_canonical(d.folder), fs::weakly_canonical(folder_ / "disc"));
    EXPECT_EQ(machine.files().ReadFile("D:\\SETUP.EXE"), "disc program");
    machine.files().WriteFile("D:\\setup.exe", "changed by the run");
    EXPECT_EQ(ReadFile(folder_ / "disc" / "setup.exe"), "disc program");

    ASSERT_EQ(machine.setupapi().device_count(), 1u);
    EXPECT_EQ(machine.setupapi().flags(0), 0x100u);
    auto model = reg.GetValue(Hive::LocalMachine, machine.setupapi().hardware_key_path(0), "CoinstallerModel");
    ASSERT_TRUE(model.has_value());
    EXPECT_EQ(model->data, (std::vector<BYTE>{'t', 'v', 'x', 'Q', '9', '2', '0', 'k', 0}));
    EXPECT_EQ(machine.setupapi().driver_key_path(0),
              plat::sim::kImageClassKey + "\\0002");
    auto multi = reg.GetValue(Hive::LocalMachine, machine.setupapi().driver_key_path(0), "Multi");
    ASSERT_TRUE(multi.has_value());
    EXPECT_EQ(multi->type, static_cast<DWORD>(REG_MULTI_SZ));

    EXPECT_TRUE(machine.files().drives().at('E').folder.empty()) << "a drive without a folder holds no disc";
    EXPECT_EQ(machine.services().StateOf("StiSvc"), std::optional<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(machine.system().GetTickCount(), 0u) << "the tick count starts at 0 unless the scenario says";
}

TEST_F(TvxSimMachine, RunReportsResultsLogAndRegistryOfTheCalls) {
    tvx::sim::RunOptions options{TVX_COINSTALLER_MODULE, true, folder_ / "runs"};
    tvx::sim::RunResult run = tvx::sim::RunScenario(scenario_, options);
    const tvx::Report& report = run.report;

    ASSERT_EQ(report.steps.size(), 3u) << "load, the call, unload";
    const tvx::ReportStep& call = report.steps[1];
    ASSERT_TRUE(call.result.has_value());
    EXPECT_EQ(*call.result, 0x4C7u) << "a failed InstallResult comes back unchanged";
    ASSERT_TRUE(call.params_before && call.params_after);
    EXPECT_EQ(call.params_after->flags, 0x100u);
    EXPECT_FALSE(call.trace.empty()) << "traced on request";
    bool logged_call = false;
    for (const tvx::StepLogLine& line : call.log)
        logged_call = logged_call || line.text.find("InstallResult = 0x000004C7") != std::string::npos;
    EXPECT_TRUE(logged_call);

    ASSERT_EQ(report.logs.size(), 1u);
    EXPECT_EQ(report.logs[0].name, "_coInst.log");
    EXPECT_TRUE(report.logs[0].created);
    EXPECT_NE(report.logs[0].new_bytes.find("End Log\r\n"), std::string::npos);
    EXPECT_TRUE(report.registry.empty()) << tvx::FormatRegistryDiff(report.registry);
    EXPECT_TRUE(report.open_handles.empty());
    for (const tvx::ReportStep& step : report.steps) EXPECT_TRUE(step.not_modelled.empty()) << step.description;

    EXPECT_NE(run.final_registry.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix"), nullptr);
    EXPECT_TRUE(fs::is_empty(folder_ / "runs")) << "the run's drives are removed afterwards";
}

// Tests, benchmarks and fuzz targets write their machines in code with the description's parts; a
// machine so written must set up as the same machine written as a scenario does.
TEST(MachineDescriptionInCode, SetsUpAsTheSameScenarioDoes) {
    const fs::path folder = tvx::test::FreshScratchFolder();
    WriteHostFile(folder / "disc" / "setup.exe", "disc program");
    WriteHostFile(folder / "software.reg",
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix]\r\n"
              "\"Keep\"=\"1\"\r\n"
              "\"Count\"=dword:00000007\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix\\Empty]\r\n");
    WriteHostFile(folder / "scenario.toml", R"toml(
[machine]
registry = ["software.reg"]
[[machine.drives]]
letter = "D"
type = "cdrom"
label = "DISC"
folder = "disc"
[[machine.devices]]
instance_id = 'USB\VID_1A2B&PID_0920\9'
driver_instance = "0002"
[machine.devices.hardware_key_values]
CoinstallerModel = "tvxQ920k"
[[machine.services]]
name = "stisvc"
display_name = "Windows Image Acquisition (WIA)"
state = "running"
transition_ms = 500
[[steps]]
action = "load"
)toml");
    const tvx::Scenario scenario = tvx::ReadScenario(folder / "scenario.toml");
    plat::sim::Machine read(tvx::sim::ProfileOf(scenario.machine), folder / "read" / "C");
    tvx::sim::SetUpMachine(read, scenario.machine, folder / "read", scenario.file.string());

    // The same machine in code, its disc made where the run's drive folder is.
    tvx::MachineDescription m;
    tvx::RegistryWriter registry(m);
    registry.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix", "Keep", "1");
    registry.SetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix", "Count", 7);
    registry.EnsureKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix\\Empty");
    const fs::path run = folder / "code";
    WriteHostFile(tvx::sim::DriveFolder(run, 'D') / "setup.exe", "disc program");
    m.drives.push_back(tvx::OpticalDrive('D', tvx::sim::DriveFolder(run, 'D'), "DISC"));
    plat::DeviceDescription device;
    device.instance_id = "USB\\VID_1A2B&PID_0920\\9";
    device.driver_instance = "0002";
    m.devices.push_back(tvx::Scanner(device));
    m.services.push_back(tvx::StillImageService(true, 500));
    plat::sim::Machine code(tvx::sim::ProfileOf(m), run / "C");
    tvx::sim::SetUpMachine(code, m, run);

    const tvx::RegistrySnapshot expected = tvx::sim::SnapshotRegistry(read.registry());
    EXPECT_TRUE(tvx::DiffRegistry(expected, tvx::sim::SnapshotRegistry(code.registry())).empty())
        << tvx::FormatRegistryDiff(tvx::DiffRegistry(expected, tvx::sim::SnapshotRegistry(code.registry())));
    EXPECT_EQ(code.files().ReadFile("D:\\setup.exe"), "disc program");
    EXPECT_TRUE(fs::equivalent(code.files().drives().at('D').folder, tvx::sim::DriveFolder(run, 'D')))
        << "a disc already in the run's drive folder is used where it is";
    EXPECT_EQ(code.services().StateOf("stisvc"), read.services().StateOf("stisvc"));

    // A later description adds to the machine: a second scanner, the first one kept.
    tvx::MachineDescription more;
    device.instance_id = "USB\\VID_1A2B&PID_0920\\10";
    device.driver_instance = "0003";
    more.devices.push_back(tvx::Scanner(device, ""));
    tvx::sim::SetUpMachine(code, more, run);
    ASSERT_EQ(code.setupapi().device_count(), 2u);
    EXPECT_TRUE(code.registry().GetValue(Hive::LocalMachine, code.setupapi().hardware_key_path(0), "CoinstallerModel"));
    EXPECT_FALSE(code.registry().GetValue(Hive::LocalMachine, code.setupapi().hardware_key_path(1), "CoinstallerModel"))
        << "a device without a model value has none";
}

}  // namespace
