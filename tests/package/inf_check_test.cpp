// The driver package's INF check: the package's own INF passes, each fault of a small INF is found
// with the file, line and section it sits in and nothing else is reported, a UTF-16 INF is checked
// as the device installer reads it and the buttons whose friendly names the co-installer cannot
// read from it are named, a package folder must hold the files its INF lists, and the INF keeps
// what the scenarios' disc INF has.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packaging/inf_check.h"
#include "platform/sim/ini.h"
#include "platform/text/ansi.h"
#include "platform/text/encoding.h"
#include "platform/text/names.h"

namespace {

namespace fs = std::filesystem;
using tvx::packaging::CheckInfFile;
using tvx::packaging::CheckInfText;
using tvx::packaging::CheckPackageFolder;
using tvx::packaging::Describe;
using tvx::packaging::InfCheckOptions;
using tvx::packaging::InfProblem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Described(const std::vector<InfProblem>& problems) {
    std::vector<std::string> lines;
    for (const InfProblem& p : problems) lines.push_back(Describe(p));
    return lines;
}

const fs::path kFixtures = TVX_PACKAGE_FIXTURES;

fs::path Scratch(const std::string& name) {
    fs::path folder = fs::path(TVX_PACKAGE_SCRATCH) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// One edit of the good INF: the text `from` (which must be there) becomes `to`; an empty `from`
// appends `to` at the end.
struct Edit {
    std::string from;
    std::string to;
};

struct FaultCase {
    const char* fault;
    std::vector<Edit> edits;
    std::vector<std::string> problems;  // every problem, as Describe gives it, in order
};

std::string Applied(std::string text, const std::vector<Edit>& edits) {
    for (const Edit& edit : edits) {
        if (edit.from.empty()) {
            text += edit.to;
            continue;
        }
        const size_t at = text.find(edit.from);
        EXPECT_NE(at, std::string::npos) << "the good INF has no '" << edit.from << "'";
        if (at != std::string::npos) text.replace(at, edit.from.size(), edit.to);
    }
    return text;
}

// Button names enough to pass the 260 bytes of key names the co-installer reads.
std::string ManyButtons() {
    std::string entries;
    for (int i = 0; i < 10; ++i)
        entries += "ScanButtonWithALongName" + std::to_string(i) + "=%Scan%,{A6C5A715-8C6E-11D2-977A-0000F87A926F},%Apps%\n";
    return entries;
}

// Empty sections enough to push the event section past the 1040 bytes of section names the
// co-installer reads.
std::string ManySections() {
    std::string sections;
    for (int i = 0; i < 40; ++i) sections += "[An.Unrelated.Section.With.A.Long.Name." + std::to_string(i) + "]\n";
    return sections;
}

TEST(InfCheck, TheGoodInfAndThePackageInfPass) {
    EXPECT_EQ(Described(CheckInfFile(kFixtures / "coinstaller.inf")), std::vector<std::string>{});
    EXPECT_EQ(Described(CheckInfFile(TVX_PACKAGE_INF)), std::vector<std::string>{});
}

TEST(InfCheck, EachFaultIsFoundWhereItIsAndNothingElse) {
    const std::string good = ReadFile(kFixtures / "coinstaller.inf");
    const std::string f = "t.inf:";
    const FaultCase cases[] = {
        {"an AddReg section that is not there", {{"[Dev.AddReg]", "[Dev.AddRegs]"}},
         {f + "27: [Dev] AddReg names section 'Dev.AddReg', which is not in the file"}},
        {"the co-installer's copy section that is not there", {{"[Co.CopyFiles]", "[Co.Copy]"}},
         {f + "15: [DestinationDirs] DestinationDirs names section 'Co.CopyFiles', which is not in the file",
          f + "36: [Dev.CoInstallers] copies no TarvixQ920kCO.dll to the system folder: a CopyFiles section of it "
              "must list the DLL, with DestinationDirs 11",
          f + "38: [Dev.CoInstallers] CopyFiles names section 'Co.CopyFiles', which is not in the file"}},
        {"an install section that is not there", {{"[Dev]", "[Device]"}},
         {f + "21: [Models.NTamd64] names install section 'Dev', which is not in the file (nor Dev.NTamd64 or "
              "Dev.NT)"}},
        {"the decorated install section is the one installed, and its parts carry its name",
         {{"[Dev]", "[Dev.NTamd64]"}},
         {f + "23: [Dev.NTamd64] has no section [Dev.NTamd64.HW], which writes the model string "
              "(CoinstallerModel) that the co-installer reads from the device's hardware key",
          f + "23: [Dev.NTamd64] has no section [Dev.NTamd64.Services], which installs the device's driver "
              "service, which the device installer needs",
          f + "23: [Dev.NTamd64] has no section [Dev.NTamd64.CoInstallers], which registers TarvixQ920kCO.dll "
              "as the device's co-installer"}},
        {"a models section that is not there", {{"[Models.NTamd64]", "[Models]"}},
         {f + "18: [Manufacturer] names models section 'Models.NTamd64', which is not in the file"}},
        {"models for another platform only", {{"Models,NTamd64", "Models,NTx86"}, {"[Models.NTamd64]", "[Models.NTx86]"}},
         {f + "18: [Manufacturer] names no models section for 64-bit Windows (NTamd64): the device installer there "
              "finds no device in this INF"}},
        {"no .Services section", {{"[Dev.Services]", "[Dev.Service]"}},
         {f + "23: [Dev] has no section [Dev.Services], which installs the device's driver service, which the "
              "device installer needs"}},
        {"a Needs without the INF that holds it", {{"Include=sti.inf\nNeeds=STI.USBSection\n", "SubClass=StillImage\nNeeds=STI.USBSection\n"}},
         {f + "25: [Dev] Needs names section 'STI.USBSection', which is not in the file, and the section "
              "includes no other INF"}},
        {"an AddService whose service-install section is not there",
         {{"Needs=STI.USBSection.Services", "AddService=usbscan,0x2,Scanner.Service"}},
         {f + "34: [Dev.Services] AddService names section 'Scanner.Service', which is not in the file"}},
        {"a token [Strings] does not define", {{"Scan=\"Scan\"", "Scanning=\"Scan\""}},
         {f + "53: [Dev.Events] uses %Scan%, which [Strings] does not define"}},
        {"a token without its closing %", {{"FriendlyName,,%Desc%", "FriendlyName,,%Desc"}},
         {f + "41: [Dev.AddReg] has a '%' without its closing '%'"}},
        {"CoInstallers32 written as a plain string", {{"CoInstallers32,0x00010000", "CoInstallers32,0"}},
         {f + "36: [Dev.CoInstallers] registers no co-installer: an AddReg section of it must hold "
              "HKR,,CoInstallers32,0x00010000,\"TarvixQ920kCO.dll,TarvixScannerCoInstaller\"",
          f + "47: [Co.AddReg] writes CoInstallers32 with flags '0': it must be a list of strings (REG_MULTI_SZ, "
              "0x00010000)"}},
        {"CoInstallers32 without quotes: two strings",
         {{"\"TarvixQ920kCO.dll,TarvixScannerCoInstaller\"", "TarvixQ920kCO.dll,TarvixScannerCoInstaller"}},
         {f + "36: [Dev.CoInstallers] registers no co-installer: an AddReg section of it must hold "
              "HKR,,CoInstallers32,0x00010000,\"TarvixQ920kCO.dll,TarvixScannerCoInstaller\"",
          f + "47: [Co.AddReg] writes CoInstallers32 without the entry \"TarvixQ920kCO.dll,TarvixScannerCoInstaller\" "
              "(the DLL and its entry point in one quoted string)"}},
        {"an entry point in other letter case, which GetProcAddress does not find",
         {{"TarvixScannerCoInstaller\"", "tarvixscannercoinstaller\""}},
         {f + "36: [Dev.CoInstallers] registers no co-installer: an AddReg section of it must hold "
              "HKR,,CoInstallers32,0x00010000,\"TarvixQ920kCO.dll,TarvixScannerCoInstaller\"",
          f + "47: [Co.AddReg] writes CoInstallers32 without the entry \"TarvixQ920kCO.dll,TarvixScannerCoInstaller\" "
              "(the DLL and its entry point in one quoted string)"}},
        {"CoInstallers32 in a subkey", {{"HKR,,CoInstallers32", "HKR,Sub,CoInstallers32"}},
         {f + "36: [Dev.CoInstallers] registers no co-installer: an AddReg section of it must hold "
              "HKR,,CoInstallers32,0x00010000,\"TarvixQ920kCO.dll,TarvixScannerCoInstaller\"",
          f + "47: [Co.AddReg] writes CoInstallers32 in subkey 'Sub', not in the device's key itself"}},
        {"the co-installer copied to another folder", {{"Co.CopyFiles=11", "Co.CopyFiles=12"}},
         {f + "36: [Dev.CoInstallers] copies no TarvixQ920kCO.dll to the system folder: a CopyFiles section of it "
              "must list the DLL, with DestinationDirs 11",
          f + "50: [Co.CopyFiles] copies TarvixQ920kCO.dll to folder id 12, not to the system folder (11), where "
              "the device installer loads co-installers from"}},
        {"a copy section without a destination", {{"Co.CopyFiles=11", "DefaultDestDirs=11"}},
         {f + "15: [DestinationDirs] DestinationDirs names section 'DefaultDestDirs', which is not in the file",
          f + "36: [Dev.CoInstallers] copies no TarvixQ920kCO.dll to the system folder: a CopyFiles section of it "
              "must list the DLL, with DestinationDirs 11",
          f + "49: [Co.CopyFiles] is copied without a destination: [DestinationDirs] has no folder id for it and no "
              "DefaultDestDir"}},
        {"a copied file that no source disk holds", {{"TarvixQ920kCO.dll=1", "Other.dll=1"}},
         {f + "50: [Co.CopyFiles] copies file 'TarvixQ920kCO.dll', which [SourceDisksFiles] does not list"}},
        {"a source disk that is not defined", {{"TarvixQ920kCO.dll=1", "TarvixQ920kCO.dll=2"}},
         {f + "12: [SourceDisksFiles] lists 'TarvixQ920kCO.dll' on source disk '2', which [SourceDisksNames] does "
              "not define"}},
        {"an empty model string", {{"CoinstallerModel,,\"tvxQ920k\"", "CoinstallerModel,,\"\""}},
         {f + "44: [Hw.AddReg] writes an empty CoinstallerModel: it must name the model, \"tvxQ920k\""}},
        {"a model string longer than the co-installer reads",
         {{"\"tvxQ920k\"", "\"tvxQ920k-with-a-far-too-long-name\""}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel 'tvxQ920k-with-a-far-too-long-name' of 33 characters; the "
              "co-installer reads at most 31 and takes a longer value as no model string at all"}},
        {"a model string of 31 characters, the most the co-installer reads",
         {{"\"tvxQ920k\"", "\"tvxQ920k-with-a-long-model-name\""}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel 'tvxQ920k-with-a-long-model-name', which names another model "
              "than this package's, 'tvxQ920k': write HKR,,CoinstallerModel,,\"tvxQ920k\""}},
        {"another model's string", {{"\"tvxQ920k\"", "\"tvxQ910\""}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel 'tvxQ910', which names another model than this package's, "
              "'tvxQ920k': write HKR,,CoinstallerModel,,\"tvxQ920k\""}},
        {"the model string in other letter case", {{"\"tvxQ920k\"", "\"TVXQ920K\""}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel 'TVXQ920K', which differs from this package's model "
              "'tvxQ920k' in letter case: write HKR,,CoinstallerModel,,\"tvxQ920k\""}},
        {"another model's string through [Strings]",
         {{"\"tvxQ920k\"", "%Model%"}, {"Apps=\"*\"", "Apps=\"*\"\nModel=\"tvxQ930\""}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel 'tvxQ930', which names another model than this package's, "
              "'tvxQ920k': write HKR,,CoinstallerModel,,\"tvxQ920k\""}},
        {"the model string through [Strings]", {{"\"tvxQ920k\"", "%Model%"}, {"Apps=\"*\"", "Apps=\"*\"\nModel=\"tvxQ920k\""}},
         {}},
        {"the model string from a token [Strings] does not define: one problem", {{"\"tvxQ920k\"", "%Model%"}},
         {f + "44: [Hw.AddReg] uses %Model%, which [Strings] does not define"}},
        {"no model string at all", {{"HKR,,CoinstallerModel,,\"tvxQ920k\"", "HKR,,Other,,\"tvxQ920k\""}},
         {f + "29: [Dev.HW] writes no model string: an AddReg section of it must hold "
              "HKR,,CoinstallerModel,,\"tvxQ920k\""}},
        {"the model string written below another root key: one problem",
         {{"HKR,,CoinstallerModel", "HKLM,,CoinstallerModel"}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel below HKLM, not HKR (the device's own key)"}},
        {"the model string as a number: one problem", {{"CoinstallerModel,,", "CoinstallerModel,0x00010001,"}},
         {f + "44: [Hw.AddReg] writes CoinstallerModel with flags '0x00010001': it must be a plain string (REG_SZ, "
              "flags empty or 0)"}},
        {"a comment after an entry, which only the device installer drops",
         {{"AddReg=Dev.AddReg", "AddReg=Dev.AddReg ; the friendly name"}},
         {f + "27: [Dev] has a comment after the entry: the device installer drops it, the co-installer's "
              "profile reader keeps it as part of the entry; put the comment on a line of its own"}},
        {"a continued line", {{"Apps=\"*\"", "Apps=\"*\" \\"}},
         {f + "60: [Strings] ends in '\\', which continues the entry for the device installer but not for the "
              "co-installer's profile reader; write the entry on one line"}},
        {"a section twice", {{"", "\n[Strings]\nMore=\"x\"\n"}},
         {f + "62: [Strings] appears again (first at line 55): the device installer joins the two, the "
              "co-installer's profile reader sees only the first; merge them"}},
        {"an event section the co-installer does not find by its name",
         {{"Events=Dev.Events", "Events=Dev.Buttons"}, {"[Dev.Events]", "[Dev.Buttons]"}},
         {f + "26: [Dev] Events names section 'Dev.Buttons', whose name lacks \".Events\": the co-installer finds "
              "the scanner's button events by that part of the name"}},
        {"more button names than the co-installer reads", {{"ScanButton=", ManyButtons() + "ScanButton="}},
         {f + "52: [Dev.Events] has 262 bytes of button names; the co-installer reads 258, so the last buttons "
              "would not be found"}},
        {"an event section beyond the section names the co-installer reads",
         {{"[Dev.Events]", ManySections() + "[Dev.Events]"}},
         {f + "92: [Dev.Events] lies beyond the first 1040 bytes of section names, the part the co-installer "
              "reads: its button events would not be found; put it nearer the top"}},
        {"a wrong signature", {{"\"$Windows NT$\"", "\"$Windows 95$\""}},
         {f + "3: [Version] Signature is '$Windows 95$', expected \"$Windows NT$\""}},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.fault);
        EXPECT_EQ(Described(CheckInfText(Applied(good, c.edits), "t.inf")), c.problems);
    }
}

// Lines end as the profile reader ends them: CR, LF or CR LF, each one line.
TEST(InfCheck, LineNumbersCountEachKindOfLineEndOnce) {
    const std::string lf = ReadFile(kFixtures / "missing_section.inf");
    for (const char* end : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(end)));
        std::string text;
        for (char c : lf) text += c == '\n' ? std::string(end) : std::string(1, c);
        EXPECT_EQ(Described(CheckInfText(text, "t.inf")),
                  std::vector<std::string>{"t.inf:27: [Dev] AddReg names section 'Dev.AddReg', which is not in the file"});
    }
}

// ANSI (Windows-1252) text saved as UTF-16 little-endian with its byte-order mark, as Notepad saves
// "Unicode"; LF line ends become CR LF when asked.
std::string Utf16Le(const std::string& ansi, bool crlf = false) {
    std::string text;
    for (char c : ansi) text += c == '\n' && crlf ? std::string("\r\n") : std::string(1, c);
    return "\xFF\xFE" + plat::text::Utf16LeBytes(plat::text::AnsiToUtf16(text));
}

// The same text with one UTF-16 character in place of a marker byte ('~', which the INFs do not use).
std::string WithUnit(std::string utf16, char16_t unit) {
    const std::string marker = plat::text::Utf16LeBytes(u"~");
    const size_t at = utf16.find(marker);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) utf16.replace(at, 2, plat::text::Utf16LeBytes(std::u16string(1, unit)));
    return utf16;
}

std::string FriendlyNotFound(size_t line, const std::string& button, const std::string& token) {
    return "t.inf:" + std::to_string(line) + ": [Dev.EvtReg] the co-installer will not find the friendly-name token of " +
           "button '" + button + "' of [Dev.Events] ('" + token + "') in a UTF-16 INF (its friendly-name scan reads the " +
           "file's bytes as 8-bit text), so the button-string repair does not rewrite the button's FriendlyName; save " +
           "the INF as ANSI text to have it rewritten";
}

// The device installer reads a UTF-16 INF; the profile reader too, in the ANSI code page. Every
// check runs on that text, with the lines of the file; the co-installer's friendly-name scan reads
// the file's bytes and finds no button's token in them.
TEST(InfCheck, AUtf16InfIsCheckedAsItIsReadAndItsFriendlyNamesAreNotFound) {
    const std::string good = ReadFile(kFixtures / "buttons.inf");
    const std::string scan = FriendlyNotFound(59, "ScanButton", "Scan.Friendly");
    const std::string copy = FriendlyNotFound(60, "CopyButton", "Copy.Friendly");
    const std::string utf16 = Utf16Le(good);
    // Cut in the middle of [Strings]' second last line, half a character on: the token of the last
    // line is no longer defined.
    const std::string cut_in_strings = utf16.substr(0, utf16.find(plat::text::Utf16LeBytes(u"ton\"\nApps")) + 1);
    const struct {
        const char* form;
        std::string bytes;
        std::vector<std::string> problems;
    } cases[] = {
        {"ANSI text: the scan finds both buttons", good, {}},
        {"UTF-16LE", utf16, {scan, copy}},
        {"UTF-16LE with CR LF line ends", Utf16Le(good, true), {scan, copy}},
        {"UTF-16LE with a missing section",
         Utf16Le(Applied(good, {{"[Dev.AddReg]", "[Dev.AddRegs]"}})),
         {"t.inf:29: [Dev] AddReg names section 'Dev.AddReg', which is not in the file", scan, copy}},
        {"UTF-16LE with a comment after an entry, in CR LF lines",
         Utf16Le(Applied(good, {{"AddReg=Hw.AddReg", "AddReg=Hw.AddReg ; the model"}}), true),
         {"t.inf:32: [Dev.HW] has a comment after the entry: the device installer drops it, the co-installer's "
          "profile reader keeps it as part of the entry; put the comment on a line of its own",
          scan, copy}},
        {"UTF-16LE with characters beyond Windows-1252 in a string",
         WithUnit(WithUnit(Utf16Le(Applied(good, {{"Desc=\"Tarvix Q920k\"", "Desc=\"Tarvix ~ Q920k ~\""}})), u'\u0394'),
                  u'\u20AC'),
         {scan, copy}},
        {"UTF-16LE with a surrogate pair in a string",
         WithUnit(WithUnit(Utf16Le(Applied(good, {{"Desc=\"Tarvix Q920k\"", "Desc=\"Tarvix ~~\""}})), u'\xD83D'), u'\xDE00'),
         {scan, copy}},
        {"UTF-16LE whose last byte is half a character", utf16.substr(0, utf16.size() - 1),
         {scan, copy,
          "t.inf:70: [Strings] ends in half a UTF-16 character (the file has an odd number of bytes): it is cut "
          "short"}},
        {"UTF-16LE cut short in [Strings], at half a character", cut_in_strings,
         {"t.inf:55: [Dev.Events] uses %Apps%, which [Strings] does not define",
          "t.inf:56: [Dev.Events] uses %Apps%, which [Strings] does not define", scan, copy,
          "t.inf:69: [Strings] ends in half a UTF-16 character (the file has an odd number of bytes): it is cut "
          "short"}},
        {"UTF-16LE with nothing after the mark", "\xFF\xFE",
         {"t.inf: holds no INF text, only blanks, line ends or a byte-order mark"}},
        {"UTF-16BE", "\xFE\xFF" + std::string("\0[\0V", 4),
         {"t.inf: is UTF-16 big-endian text (it starts with FE FF): the device installer reads INFs as ANSI or "
          "UTF-16 little-endian (FF FE) text only; save it as one of those"}},
        {"UTF-8 with the byte-order mark, ASCII only: the scan reads the same tokens", "\xEF\xBB\xBF" + good,
         {"t.inf: is UTF-8 text (it starts with the UTF-8 byte-order mark): the device installer reads INFs as ANSI "
          "or UTF-16 little-endian text only; save it as one of those"}},
        {"UTF-8 with the byte-order mark and a token beyond ASCII",
         "\xEF\xBB\xBF" + Applied(good, {{"%Scan.Friendly%", "%Sc\xC3\xA4n%"}, {"Scan.Friendly=", "Sc\xC3\xA4n="}}),
         {"t.inf: is UTF-8 text (it starts with the UTF-8 byte-order mark): the device installer reads INFs as ANSI "
          "or UTF-16 little-endian text only; save it as one of those",
          "t.inf:59: [Dev.EvtReg] the co-installer reads the friendly-name token of button 'ScanButton' of "
          "[Dev.Events] as 'Sc\xC3\xA4n', not 'Sc\xE4n', in a UTF-8 INF (its friendly-name scan reads the file's "
          "bytes as 8-bit text), so the button-string repair writes another text as the button's FriendlyName"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        EXPECT_EQ(Described(CheckInfText(c.bytes, "t.inf")), c.problems);
    }
}

// The package's own INF saved as UTF-16LE: the device installer and the profile reader read the
// same INF, and it names no friendly-name line the co-installer would miss.
TEST(InfCheck, ThePackageInfSavedAsUtf16GivesTheSameAnswer) {
    const std::string ansi = ReadFile(TVX_PACKAGE_INF);
    EXPECT_EQ(Described(CheckInfText(Utf16Le(ansi), "p.inf")), Described(CheckInfText(ansi, "p.inf")));
}

// What is no INF to check is one problem that says what is wrong with it, never a crash.
TEST(InfCheck, WhatIsNoReadableInfIsOneProblem) {
    const fs::path folder = Scratch("unreadable");
    std::ofstream(folder / "empty.inf").flush();
    std::ofstream(folder / "blank.inf") << "\r\n  \r\n\t\r\n";
    fs::create_directories(folder / "folder.inf");
    const struct {
        const char* what;
        fs::path path;
        const char* problem;
    } cases[] = {
        {"no such file", folder / "none.inf", "cannot be read: there is no such file"},
        {"a folder", folder / "folder.inf",
         "is a folder, not an INF file (tvx-inf-check --package FOLDER checks a driver package folder)"},
        {"an empty file", folder / "empty.inf", "is empty (0 bytes): it holds no INF text"},
        {"blank lines only", folder / "blank.inf", "holds no INF text, only blanks, line ends or a byte-order mark"},
        // Linux refuses to read a process's memory at address 0: the read itself fails.
        {"a file whose read fails", "/proc/self/mem", "cannot be read: Input/output error"},
        {"a device that never ends", "/dev/zero", "is a device, not an INF file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Described(CheckInfFile(c.path)), std::vector<std::string>{c.path.string() + ": " + c.problem});
    }
}

// A package folder holds every file its INF lists, where Windows would find it: letter case aside.
TEST(InfCheck, APackageFolderHoldsTheFilesItsInfLists) {
    const struct {
        const char* situation;
        const char* dll_name;  // nullptr: no DLL in the folder
        bool passes;
    } cases[] = {
        {"the DLL beside the INF", "TarvixQ920kCO.dll", true},
        {"the DLL in other letter case", "tarvixq920kco.DLL", true},
        {"no DLL", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        const fs::path folder = Scratch("folder");
        fs::copy_file(kFixtures / "coinstaller.inf", folder / "TarvixQ920k.INF");
        if (c.dll_name) std::ofstream(folder / c.dll_name) << "MZ";
        const std::vector<std::string> problems = Described(CheckPackageFolder(folder));
        if (c.passes)
            EXPECT_EQ(problems, std::vector<std::string>{});
        else
            EXPECT_EQ(problems, std::vector<std::string>{(folder / "TarvixQ920k.INF").string() +
                                                         ":12: [SourceDisksFiles] lists 'TarvixQ920kCO.dll', which "
                                                         "is not in the package folder " +
                                                         folder.string()});
    }
    const fs::path empty = Scratch("empty");
    EXPECT_EQ(Described(CheckPackageFolder(empty)), std::vector<std::string>{empty.string() + ": holds no INF file"});
    EXPECT_EQ(Described(CheckPackageFolder(empty / "none")),
              std::vector<std::string>{(empty / "none").string() +
                                       ": is not a folder: no driver package there (make package lays it out)"});
}

// The scenarios install from a disc whose INF is the package's INF before the package added its
// own sections: every entry of the disc INF is in the package INF, in its section and in order.
TEST(PackageInf, KeepsEveryEntryOfTheDiscInfTheScenariosUse) {
    const plat::sim::IniFileText disc = plat::sim::ParseIniText(ReadFile(TVX_DISC_INF));
    const plat::sim::IniFileText package = plat::sim::ParseIniText(ReadFile(TVX_PACKAGE_INF));
    ASSERT_FALSE(disc.sections.empty());
    for (const plat::sim::IniSection& section : disc.sections) {
        SCOPED_TRACE(section.name);
        const plat::sim::IniSection* match = nullptr;
        for (const plat::sim::IniSection& s : package.sections)
            if (plat::text::EqualNames(s.name, section.name)) match = &s;
        ASSERT_NE(match, nullptr) << "the package INF has no [" << section.name << "]";
        std::vector<std::string> package_keys;
        for (const plat::sim::IniKey& k : match->keys)
            if (section.name != "Version" || k.name != "DriverVer") package_keys.push_back(k.name + "=" + k.value.value_or(""));
        size_t next = 0;
        for (const plat::sim::IniKey& k : section.keys) {
            if (section.name == "Version" && k.name == "DriverVer") continue;
            const std::string entry = k.name + "=" + k.value.value_or("");
            auto found = std::find(package_keys.begin() + static_cast<long>(next), package_keys.end(), entry);
            EXPECT_NE(found, package_keys.end()) << "missing or out of order: " << entry;
            if (found != package_keys.end()) next = static_cast<size_t>(found - package_keys.begin()) + 1;
        }
    }
}

}  // namespace
