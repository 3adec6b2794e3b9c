// The form in which the simulated machine's report and Wine's are compared: what differs between
// runs and machines by nature (timestamps, handle values, paths) is masked or dropped, and
// nothing else.
#include <gtest/gtest.h>

#include "tools/scenario/report.h"

namespace {

TEST(ReportNormalise, MasksLogTimestampsOnly) {
    struct Row {
        const char* in;
        const char* out;
    } rows[] = {
        {"09:30:00\t12/10/26\t\r\nStart Log\r\n", "hh:mm:ss\tmm/dd/yy\t\r\nStart Log\r\n"},
        {"a 23:59:59\t01/02/99\t b 00:00:01\t02/03/04\t", "a hh:mm:ss\tmm/dd/yy\t b hh:mm:ss\tmm/dd/yy\t"},
        {"pContext->InstallResult = 0x00000000 \r\n", "pContext->InstallResult = 0x00000000 \r\n"},
        {"12:00:00 12/10/26", "12:00:00 12/10/26"},  // not the log's timestamp form (a blank, not a tab)
        {"1:00:00\t12/10/26", "1:00:00\t12/10/26"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(tvx::MaskLogTimestamps(row.in), row.out);
    }
}

TEST(ReportNormalise, MasksHandleValues) {
    EXPECT_EQ(tvx::MaskLogHandles("CreateEvent returned 0x1c4\r\nCreateEvent returned 0x7FF61234ABCD\r\n"),
              "CreateEvent returned 0x<handle>\r\nCreateEvent returned 0x<handle>\r\n");
    EXPECT_EQ(tvx::MaskLogHandles("pContext->InstallResult = 0xE0000226"), "pContext->InstallResult = 0xE0000226");

    // In a trace, integers below 0x10000 print in decimal: a short hex number is a handle, a long
    // one a pointer; access masks and statuses stay.
    EXPECT_EQ(tvx::MaskHandleValues("Registry.RegOpenKeyExA(0x104, \"X\", 0, 0xF003F, &) = 0"),
              "Registry.RegOpenKeyExA(0x<handle>, \"X\", 0, 0xF003F, &) = 0");
    EXPECT_EQ(tvx::MaskHandleValues("SetupApi.SetupDiOpenDevRegKey(0x000001D2A3B4C5D0, &, 1, 0, 1, 1) = 0xE0000204"),
              "SetupApi.SetupDiOpenDevRegKey(0x<handle>, &, 1, 0, 1, 1) = 0xE0000204");
}

TEST(ReportNormalise, ReportsOfTwoMachinesCompareEqualWhenOnlyMachineDetailsDiffer) {
    auto report = [](const std::string& kind, const std::string& temp, const std::string& time) {
        tvx::Report r;
        r.machine_kind = kind;
        r.scenario_name = "first plug-in";
        r.scenario_file = temp == "C:\\Windows\\Temp\\" ? "/work/scenarios/default/scenario.toml"
                                                         : "Z:\\work\\scenarios\\default\\scenario.toml";
        tvx::ReportStep step;
        step.kind = tvx::StepKind::Dif;
        step.description = "TarvixScannerCoInstaller DIF_INSTALLDEVICE (0x02), pre-processing";
        step.result = 0xE0000226u;
        step.log.push_back({"_coInst.log", time + "\t12/10/26\t"});
        if (kind == "simulated machine") step.not_modelled.push_back("CreateProcessA");
        r.steps.push_back(step);
        r.logs.push_back({"_coInst.log", temp + "_coInst.log", true, false, time + "\t12/10/26\t\r\nStart Log\r\n"});
        r.notes.push_back("only on " + kind);
        // The simulated machine sees the wait itself and keeps virtual times; Wine sees only the
        // program's start and end.
        const bool sim = kind == "simulated machine";
        r.waits.push_back({1, "D:\\fw.exe -auto", tvx::WaitOutcome::Ended, sim ? std::optional<uint32_t>(0xFFFFFFFFu)
                                                                            : std::nullopt,
                           sim ? std::optional<uint64_t>(12000) : std::nullopt});
        r.service_changes.push_back({1, "stisvc", "stop pending", sim ? std::optional<uint64_t>(12000) : std::nullopt});
        if (sim) {
            r.steps[0].started_ms = 0;
            r.steps[0].ended_ms = 12000;
            r.waits[0].started_ms = 0;
        }
        tvx::ProgramStarted program;
        program.step = 1;
        program.command_line = "D:\\fw.exe -auto";
        if (sim) {
            program.started_ms = 0;
            program.ends_ms = 12000;
        }
        r.programs.push_back(program);
        return r;
    };
    tvx::Report sim = report("simulated machine", "C:\\Windows\\Temp\\", "09:30:00");
    tvx::Report wine = report("Wine", "C:\\users\\root\\Temp\\", "14:02:17");
    EXPECT_NE(tvx::FormatReportText(sim), tvx::FormatReportText(wine));
    EXPECT_EQ(tvx::FormatReportText(tvx::NormaliseReport(sim)), tvx::FormatReportText(tvx::NormaliseReport(wine)));
    EXPECT_EQ(tvx::FormatReportJson(tvx::NormaliseReport(sim)), tvx::FormatReportJson(tvx::NormaliseReport(wine)));
    // The web page also shows the virtual times of calls, programs and waits.
    EXPECT_EQ(tvx::FormatReportHtml(tvx::NormaliseReport(sim)), tvx::FormatReportHtml(tvx::NormaliseReport(wine)));

    // A difference in what the co-installer did survives normalisation.
    tvx::Report other = wine;
    other.steps[0].result = 0;
    EXPECT_NE(tvx::FormatReportJson(tvx::NormaliseReport(sim)), tvx::FormatReportJson(tvx::NormaliseReport(other)));
    other = wine;
    other.waits[0].outcome = tvx::WaitOutcome::Forever;
    EXPECT_NE(tvx::FormatReportText(tvx::NormaliseReport(sim)), tvx::FormatReportText(tvx::NormaliseReport(other)));
    other = wine;
    other.service_changes[0].state = "stopped";
    EXPECT_NE(tvx::FormatReportText(tvx::NormaliseReport(sim)), tvx::FormatReportText(tvx::NormaliseReport(other)));
}

// Windows keeps a key's values in creation order and Wine sorts them by name: the two machines'
// reports compare the values of a key by name.
TEST(ReportNormalise, ValuesOfAChangedKeyCompareByName) {
    auto report = [](std::vector<const char*> names) {
        tvx::Report r;
        tvx::KeyChange key;
        key.kind = tvx::KeyChange::Kind::Added;
        key.path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix";
        tvx::KeyChange changed;
        changed.path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other";
        for (const char* name : names) {
            tvx::RegistryValue value;
            value.name = name;
            key.values.push_back(value);
            changed.changes.push_back({name, std::nullopt, value});
        }
        r.registry.keys = {key, changed};
        return tvx::FormatReportJson(tvx::NormaliseReport(r));
    };
    EXPECT_EQ(report({"zeta", "Alpha", "beta"}), report({"Alpha", "beta", "zeta"}));
    EXPECT_NE(report({"Alpha", "beta"}), report({"Alpha", "gamma"}));
}

}  // namespace
