// The INF reader on both machines: the tables of inf_reader_cases.h (which the host's GoogleTest
// cases run on the simulated machine as well) over files written in a scratch folder, in their
// ANSI and their UTF-16 form, and what the button-string repair reads through the reader from its
// fixture INF (tests/fixtures/fix_strings/). These run on both machines, the simulated one and
// Windows' own calls under Wine, and must agree. Portable: CReadInf, CFixStrings' section naming
// and plat:: only.
#include <string>

#include "fix_strings_inf.h"
#include "inf/fix_strings.h"
#include "inf/read_inf.h"
#include "tests/contract/check.h"
#include "tests/contract/files_helpers.h"
#include "tests/contract/inf_reader_cases.h"
#include "tests/contract/scratch_folder.h"

namespace {

using namespace tvx::inf_reader_table;
using contract::ScratchFolder;

// The folder as the reader takes it, with its trailing backslash.
std::string WriteFiles(const ScratchFolder& folder) {
    for (const InfFile& f : Files()) REQUIRE(contract::WriteWhole(folder / f.name, f.bytes));
    return folder.path() + "\\";
}

void RunTables(const std::string& folder, Form form) {
    for (const SectionWalkCase& c : SectionWalkCases()) {
        CONTEXT(std::string("sections of ") + c.file + " with \"" + c.search + "\"");
        CHECK_EQ(RunSectionWalk(folder, c, form), "");
    }
    for (const SectionStepsCase& c : SectionStepsCases()) {
        CONTEXT(c.what);
        CHECK_EQ(RunSectionSteps(folder, c, form), "");
    }
    for (const KeyStepsCase& c : KeyStepsCases()) {
        CONTEXT(c.what);
        CHECK_EQ(RunKeySteps(folder, c, form), "");
    }
    for (const FieldsCase& c : FieldsCases()) {
        CONTEXT(std::string("fields of ") + c.key);
        CHECK_EQ(RunFields(folder, c, form), "");
    }
    for (const FriendlyCase& c : FriendlyCases()) {
        CONTEXT(std::string("friendly name in ") + c.file + " [" + c.section + "] " + c.button);
        CHECK_EQ(RunFriendly(folder, c, form), "");
    }
}

CONTRACT_CASE(InfReader, AnsiTables) {
    ScratchFolder folder("InfReader");
    const std::string path = WriteFiles(folder);
    RunTables(path, Form::Ansi);
    for (const UnreadableCase& c : UnreadableCases()) {
        CONTEXT(c.what);
        CHECK_EQ(RunUnreadable(path, c), "");
    }
}

// The same tables over the files saved as UTF-16: the same walks and fields, no friendly name.
CONTRACT_CASE(InfReader, Utf16Tables) {
    ScratchFolder folder("InfReader16");
    RunTables(WriteFiles(folder), Form::Utf16Le);
}

// What the repair reads through its readers, in its order: the Events sections of one reader's
// walk and, for each, with a second reader, the EvtReg section named after it and every button of
// the key walk with its description, application-list and friendly-name tokens.
std::string RepairReading(const std::string& folder, const std::string& name) {
    std::string transcript;
    CReadInf sections(folder, name);
    std::string events = ".Events";
    while (sections.FindNextSection(events)) {
        const std::string evtreg = CFixStrings::EvtRegSectionName(events);
        transcript += "[" + events + "] [" + evtreg + "]\n";
        CReadInf inf(folder, name);
        std::string button;
        while (inf.GetNextKeyName(events, button)) {
            std::string desc = "<unset>", apps = "<unset>", friendly = "<unset>";
            const bool haveDesc = inf.GetStringValueName(events, button, desc);
            const bool haveApps = inf.GetAppValueName(events, button, apps);
            const bool haveFriendly = inf.GetButLocValueName(evtreg, button, friendly);
            transcript += button + ": " + Show(haveDesc, desc) + " " + Show(haveApps, apps) + " " +
                          Show(haveFriendly, friendly) + "\n";
        }
        transcript += "(" + button + ")\n";
        events = ".Events";
    }
    return transcript;
}

// The scan button's application list is written with a blank after the comma, so its token keeps
// a '%' and loses its last character.
std::string ExpectedRepairReading(bool friendlyNamesFound) {
    auto friendly = [&](const char* token) {
        return friendlyNamesFound ? Show(true, token) : Show(false, "<unset>");
    };
    return "[Q920k.Install.Events] [Q920k.Install.EvtReg]\n"
           "ScanButton: " + Show(true, "ScanButton.Desc") + " " + Show(true, "%ScanApps") + " " +
           friendly("ScanButton.FriendlyName") + "\n" +
           "CopyButton: " + Show(true, "CopyButton.Desc") + " " + Show(true, "CopyApps") + " " +
           friendly("CopyButton.FriendlyName") + "\n" +
           "EmailButton: " + Show(true, "EmailButton.Desc") + " " + Show(true, "EmailApps") + " " +
           friendly("EmailButton.FriendlyName") + "\n" +
           "PdfButton: " + Show(true, "PdfButton.Desc") + " " + Show(true, "PdfApps") + " " +
           friendly("PdfButton.FriendlyName") + "\n" +
           "(end)\n";
}

CONTRACT_CASE(InfReader, WhatTheRepairReadsFromItsFixtureInf) {
    ScratchFolder folder("InfReaderRepair");
    const std::string ansi(reinterpret_cast<const char*>(kFixStringsInf), sizeof kFixStringsInf);
    REQUIRE(contract::WriteWhole(folder / "TarvixWia_LXR415_U.INF", ansi));
    CHECK_EQ(RepairReading(folder.path() + "\\", "TarvixWia_LXR415_U.INF"), ExpectedRepairReading(true));
}

// The fixture INF saved as UTF-16: the repair finds the same sections, buttons and tokens, and no
// friendly name, so it leaves every button's FriendlyName alone.
CONTRACT_CASE(InfReader, WhatTheRepairReadsFromItsFixtureInfInUtf16) {
    ScratchFolder folder("InfReaderRepair16");
    const std::string ansi(reinterpret_cast<const char*>(kFixStringsInf), sizeof kFixStringsInf);
    REQUIRE(contract::WriteWhole(folder / "TarvixWia_LXR415_U.INF", Utf16LeFile(ansi)));
    CHECK_EQ(RepairReading(folder.path() + "\\", "TarvixWia_LXR415_U.INF"), ExpectedRepairReading(false));
}

}  // namespace
