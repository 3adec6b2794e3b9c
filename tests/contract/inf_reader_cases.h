// The INF reader's tables: small INF files and what CReadInf answers on them (the section walk, the
// key walk, the value fields, the friendly-name scan, the lists cut at their buffers, a file that
// is not there). These run on both machines: the host's GoogleTest cases (tests/logic/read_inf_*)
// run them on the simulated machine, the contract suite (inf_reader_contract.cpp) on the
// simulated machine and, built by the cross compiler, on the real calls under Wine. Each runner
// answers the empty text when CReadInf agrees with the table, else what differs.
//
// Every file has a UTF-16 form too (little-endian, with its byte-order mark, as Notepad saves
// "Unicode"): the profile reader reads it as it reads the ANSI form, so the walks and the fields
// answer the same; the friendly-name scan reads the file's bytes as 8-bit text and finds nothing.
// Written against plat:: and the standard library only.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "inf/read_inf.h"
#include "platform/text/ansi.h"
#include "platform/text/encoding.h"

namespace tvx::inf_reader_table {

// Which form of the files a table runs on.
enum class Form { Ansi, Utf16Le };

struct InfFile {
    std::string name;
    std::string bytes;
};

// The file name of a form: "x.inf" stays, its UTF-16 form is "x.u16.inf".
inline std::string FileOf(const std::string& name, Form form) {
    return form == Form::Ansi ? name : name.substr(0, name.size() - 4) + ".u16.inf";
}

inline std::string Utf16LeFile(const std::string& ansi) {
    return "\xFF\xFE" + plat::text::Utf16LeBytes(plat::text::AnsiToUtf16(ansi));
}

// 100 sections named S000.Events to S099.Events: 1,200 bytes of names, more than the walk reads.
inline std::string ManySections() {
    std::string text;
    for (int i = 0; i < 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "S%03d.Events", i);
        text += '[';
        text += name;
        text += "]\r\n";
    }
    return text;
}

// 30 keys Button000 to Button029: 300 bytes of names, more than the key walk reads.
inline std::string ManyKeys() {
    std::string text = "[Many.Events]\r\n";
    for (int i = 0; i < 30; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "Button%03d=%%t%%\r\n", i);
        text += line;
    }
    return text;
}

// The files in their ANSI form; Files() adds the UTF-16 forms.
inline std::vector<InfFile> AnsiFiles() {
    return {
        {"sections.inf",
         "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Scanner.Events]\r\nScanButton=%a%\r\n[Scanner.EvtReg]\r\n"
         "[Other.Events]\r\n"},
        {"matching.inf", "[X.Events]\r\n[Scanner.Events.NT]\r\n[Scanner.events]\r\n[Events]\r\n[Ev]\r\n[Events.Tail.Events]\r\n"},
        {"midwalk.inf", "[A.Events]\r\n[B.Other]\r\n[C.Events]\r\n"},
        {"many_sections.inf", ManySections()},
        {"keys.inf",
         "[Scanner.Events]\r\n"
         "ScanButton = %ScanButton.Desc%,{A6C5A715-8C6E-11D2-977A-0000F87A926F},%ScanApps%\r\n"
         "CopyButton = %CopyButton.Desc%,{B441F425-8C6E-11D2-977A-0000F87A926F},%CopyApps%\r\n"
         "; not a key\r\n"
         "NoEquals\r\n"
         "[Other.Events]\r\n"
         "EmailButton = %Email.Desc%\r\n"
         "[Empty.Events]\r\n"},
        {"many_keys.inf", ManyKeys()},
        {"fields.inf",
         "[Scanner.Events]\r\n"
         "Full = %ScanButton.Desc%,{A6C5A715-8C6E-11D2-977A-0000F87A926F},%ScanApps%\r\n"
         "TwoFields = %Desc%,,%Apps%\r\n"
         "LeadingCommas = ,,%Desc%,x,%Apps%,more\r\n"
         "OneCharacter = x,y,z\r\n"
         "TwoCharacters = %%,ab,%%\r\n"
         "Blank = %Desc%, {guid}, %App%\r\n"
         "Empty =\r\n"
         "Literal = Cannot find key in inf\r\n"
         "Quoted = \"%Q%,b,%R%\"\r\n"
         "Long = %" +
             std::string(300, 'L') + "%\r\n"},
        {"friendly.inf",
         "[Version]\r\n"
         "Signature=\"$Windows NT$\"\r\n"
         "[Scanner.EvtReg]\r\n"
         "HKR,Events\\ScanButton,,,%ScanButton.Desc%\r\n"
         "HKR,Events\\ScanButton,FriendlyName,,%ScanButton.FriendlyName%\r\n"
         "HKR,Events\\CopyButton,FriendlyName,,%CopyButton.FriendlyName\r\n"
         "HKR,Events\\NoToken,FriendlyName,,Plain text\r\n"
         " [Indented.EvtReg]\r\n"
         "HKR,Events\\AfterIndent,FriendlyName,,%AfterIndent.Name%\r\n"
         "[Other.EvtReg]\r\n"
         "HKR,Events\\EmailButton,FriendlyName,,%Email.Name%\r\n"
         " [Late.EvtReg]\r\n"
         "[Last.EvtReg]\r\n"
         "HKR,Events\\ScanButton,,,%Last.Desc%"},
        // LF alone ends a line too, a lone CR stays in the line, and Ctrl-Z ends the file.
        {"textmode.inf",
         "[A.EvtReg]\nX,FriendlyName,%Lf.Name%\n[B.EvtReg]\nY,FriendlyName,%Cr\rtail\n"
         "[C.EvtReg]\r\n\x1AZ,FriendlyName,%Hidden%\r\n"},
    };
}

// Every file in both forms.
inline std::vector<InfFile> Files() {
    std::vector<InfFile> files = AnsiFiles();
    for (const InfFile& f : AnsiFiles()) files.push_back({FileOf(f.name, Form::Utf16Le), Utf16LeFile(f.bytes)});
    return files;
}

using Names = std::vector<std::string>;

inline std::string Show(const Names& names) {
    std::string text = "{";
    for (const std::string& n : names) text += (text.size() > 1 ? ", \"" : "\"") + n + "\"";
    return text + "}";
}

inline std::string Show(bool ok, const std::string& text) { return (ok ? "true \"" : "false \"") + text + "\""; }

// ---- The section walk ------------------------------------------------------------------------

struct SectionWalkCase {
    const char* file;
    const char* search;
    Names names;  // every name the walk hands out until it answers false
};

inline std::vector<SectionWalkCase> SectionWalkCases() {
    // The 1,040-byte list keeps the first 1,038 bytes of names, 86 whole names of 12 bytes, and
    // the 87th cut to "S086.E", which no longer matches ".Events".
    Names many;
    for (int i = 0; i < 86; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "S%03d.Events", i);
        many.push_back(name);
    }
    Names all = many;
    all.push_back("S086.E");
    return {
        {"sections.inf", ".Events", {"Scanner.Events", "Other.Events"}},
        // By substring and by case.
        {"matching.inf", ".Events", {"X.Events", "Scanner.Events.NT", "Events.Tail.Events"}},
        {"matching.inf", "Events", {"X.Events", "Scanner.Events.NT", "Events", "Events.Tail.Events"}},
        {"matching.inf", ".events", {"Scanner.events"}},
        {"matching.inf", "", {"X.Events", "Scanner.Events.NT", "Scanner.events", "Events", "Ev", "Events.Tail.Events"}},
        {"matching.inf", "Nothing", {}},
        {"many_sections.inf", ".Events", many},
        {"many_sections.inf", "", all},
        {"missing.inf", ".Events", {}},
        {"missing.inf", "", {}},
    };
}

// Walks twice with one reader: the end leaves the caller's text alone, and the walk after the end
// reads the file again and hands out the same names.
inline std::string RunSectionWalk(const std::string& folder, const SectionWalkCase& c, Form form) {
    CReadInf inf(folder, FileOf(c.file, form));
    if (inf.GetFullPath() != folder + FileOf(c.file, form)) return "full path " + inf.GetFullPath();
    for (const char* pass : {"first walk", "second walk"}) {
        Names names;
        std::string text = c.search;
        while (names.size() <= c.names.size() + 1 && inf.FindNextSection(text)) {
            names.push_back(text);
            text = c.search;
        }
        if (names != c.names) return std::string(pass) + " gave " + Show(names) + ", expected " + Show(c.names);
        if (text != c.search) return std::string(pass) + " ended with the text changed to \"" + text + "\"";
    }
    return "";
}

// One call of a walk: the text given, and the answer with the text handed back.
struct WalkStep {
    const char* given;
    bool ok;
    const char* text;
};

struct SectionStepsCase {
    const char* what;
    const char* file;
    std::vector<WalkStep> steps;
};

inline std::vector<SectionStepsCase> SectionStepsCases() {
    return {
        {"a search text given mid-walk is only the output; after the end the new text is taken",
         "midwalk.inf",
         {{".Events", true, "A.Events"}, {".Other", true, "C.Events"}, {".Other", false, ".Other"}, {".Other", true, "B.Other"}}},
    };
}

inline std::string RunSectionSteps(const std::string& folder, const SectionStepsCase& c, Form form) {
    CReadInf inf(folder, FileOf(c.file, form));
    for (size_t i = 0; i < c.steps.size(); ++i) {
        std::string text = c.steps[i].given;
        const bool ok = inf.FindNextSection(text);
        if (ok != c.steps[i].ok || text != c.steps[i].text)
            return "call " + std::to_string(i + 1) + " gave " + Show(ok, text) + ", expected " +
                   Show(c.steps[i].ok, c.steps[i].text);
    }
    return "";
}

// ---- The key walk ----------------------------------------------------------------------------

// Each call starts with the out text "<unset>"; `given` is the section named.
struct KeyStepsCase {
    const char* what;
    const char* file;
    std::vector<WalkStep> steps;
};

inline std::vector<KeyStepsCase> KeyStepsCases() {
    std::vector<WalkStep> many;
    static const std::vector<std::string> names = [] {
        // 25 whole names of 10 bytes and the 26th cut to "Button02" fill the 260-byte list.
        std::vector<std::string> n;
        for (int i = 0; i < 25; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "Button%03d", i);
            n.push_back(name);
        }
        n.push_back("Button02");
        return n;
    }();
    for (const std::string& n : names) many.push_back({"Many.Events", true, n.c_str()});
    many.push_back({"Many.Events", false, "end"});
    return {
        {"the keys, then end, then a fresh read",
         "keys.inf",
         {{"Scanner.Events", true, "ScanButton"},
          {"Scanner.Events", true, "CopyButton"},
          {"Scanner.Events", false, "end"},
          {"Scanner.Events", true, "ScanButton"}}},
        {"another section named mid-walk continues the first list",
         "keys.inf",
         {{"Scanner.Events", true, "ScanButton"},
          {"Other.Events", true, "CopyButton"},
          {"Other.Events", false, "end"},
          {"Other.Events", true, "EmailButton"},
          {"Scanner.Events", false, "end"}}},
        // The query hands back its default, the section's own name, for a section that lists no
        // keys or is not there; only an empty name gives an empty list.
        {"a section without keys", "keys.inf", {{"Empty.Events", true, "Empty.Events"}, {"Empty.Events", false, "end"}}},
        {"a section that is not there",
         "keys.inf",
         {{"Missing.Events", true, "Missing.Events"}, {"Missing.Events", false, "end"}}},
        {"an empty section name", "keys.inf", {{"", false, "<unset>"}, {"", false, "end"}, {"", false, "<unset>"}}},
        {"key names beyond the 260-byte list are not seen", "many_keys.inf", many},
    };
}

inline std::string RunKeySteps(const std::string& folder, const KeyStepsCase& c, Form form) {
    CReadInf inf(folder, FileOf(c.file, form));
    for (size_t i = 0; i < c.steps.size(); ++i) {
        std::string name = "<unset>";
        const bool ok = inf.GetNextKeyName(c.steps[i].given, name);
        if (ok != c.steps[i].ok || name != c.steps[i].text)
            return "call " + std::to_string(i + 1) + " (" + c.steps[i].given + ") gave " + Show(ok, name) +
                   ", expected " + Show(c.steps[i].ok, c.steps[i].text);
    }
    return "";
}

// ---- The value fields ------------------------------------------------------------------------

struct FieldsCase {
    const char* key;
    bool ok1;
    std::string field1;
    bool ok3;
    std::string field3;
};

inline std::vector<FieldsCase> FieldsCases() {
    return {
        {"Full", true, "ScanButton.Desc", true, "ScanApps"},
        {"TwoFields", true, "Desc", false, ""},
        {"LeadingCommas", true, "Desc", true, "Apps"},
        {"OneCharacter", true, "", true, ""},
        {"TwoCharacters", true, "", true, ""},
        {"Blank", true, "Desc", true, "%App"},
        {"Empty", false, "", false, ""},
        {"Missing", false, "Cannot find key in inf", false, "Cannot find key in inf"},
        {"Literal", false, "Cannot find key in inf", false, "Cannot find key in inf"},
        {"Quoted", true, "Q", true, "R"},
        // The value is cut at 259 characters, so the closing '%' is gone: the last kept 'L' goes.
        {"Long", true, std::string(257, 'L'), false, ""},
    };
}

// The first and third fields of a key of [Scanner.Events] in fields.inf.
inline std::string RunFields(const std::string& folder, const FieldsCase& c, Form form) {
    CReadInf inf(folder, FileOf("fields.inf", form));
    std::string token = "<unset>";
    bool ok = inf.GetStringValueName("Scanner.Events", c.key, token);
    if (ok != c.ok1 || token != c.field1) return "field 1 gave " + Show(ok, token) + ", expected " + Show(c.ok1, c.field1);
    token = "<unset>";
    ok = inf.GetAppValueName("Scanner.Events", c.key, token);
    if (ok != c.ok3 || token != c.field3) return "field 3 gave " + Show(ok, token) + ", expected " + Show(c.ok3, c.field3);
    return "";
}

// ---- The friendly-name scan ------------------------------------------------------------------

struct FriendlyCase {
    const char* file;
    const char* section;
    const char* button;
    bool ok;
    const char* token;  // "<unset>": left alone
};

inline std::vector<FriendlyCase> FriendlyCases() {
    return {
        {"friendly.inf", "Scanner.EvtReg", "ScanButton", true, "ScanButton.FriendlyName"},
        // Without a closing '%' the token runs to the end of the line (its CR LF is no part of it).
        {"friendly.inf", "Scanner.EvtReg", "CopyButton", true, "CopyButton.FriendlyName"},
        // A line without '%' is passed over; the section ends before another match.
        {"friendly.inf", "Scanner.EvtReg", "NoToken", false, "<unset>"},
        // An empty button name takes the first FriendlyName line with a token.
        {"friendly.inf", "Scanner.EvtReg", "", true, "ScanButton.FriendlyName"},
        // A header is found by substring.
        {"friendly.inf", "EvtReg", "ScanButton", true, "ScanButton.FriendlyName"},
        // The next header ends the section: the later section's line is not found.
        {"friendly.inf", "Scanner.EvtReg", "EmailButton", false, "<unset>"},
        // An indented header is no header: it does not end the section above it...
        {"friendly.inf", "Scanner.EvtReg", "AfterIndent", true, "AfterIndent.Name"},
        // ...and is not found as a section.
        {"friendly.inf", "Late.EvtReg", "", false, "<unset>"},
        {"friendly.inf", "Indented.EvtReg", "AfterIndent", false, "<unset>"},
        // The last section holds no matching line: the end of the file ends the search.
        {"friendly.inf", "Last.EvtReg", "ScanButton", false, "<unset>"},
        {"friendly.inf", "Missing.EvtReg", "ScanButton", false, "<unset>"},
        // Names and headers are compared by case.
        {"friendly.inf", "scanner.evtreg", "ScanButton", false, "<unset>"},
        {"friendly.inf", "Scanner.EvtReg", "scanbutton", false, "<unset>"},
        // Text mode: LF alone ends a line, a lone CR stays in the line, Ctrl-Z ends the file.
        {"textmode.inf", "A.EvtReg", "X", true, "Lf.Name"},
        {"textmode.inf", "B.EvtReg", "", true, "Cr\rtail"},
        {"textmode.inf", "C.EvtReg", "Z", false, "<unset>"},
        // A file that is not there.
        {"missing.inf", "Scanner.EvtReg", "ScanButton", false, "<unset>"},
    };
}

// In the UTF-16 form every scan finds nothing: the file's bytes hold no line that starts with '['
// after the first, whose first bytes are the byte-order mark.
inline std::string RunFriendly(const std::string& folder, const FriendlyCase& c, Form form) {
    CReadInf inf(folder, FileOf(c.file, form));
    std::string token = "<unset>";
    const bool ok = inf.GetButLocValueName(c.section, c.button, token);
    const bool want_ok = form == Form::Ansi && c.ok;
    const std::string want_token = form == Form::Ansi ? c.token : "<unset>";
    if (ok != want_ok || token != want_token) return "gave " + Show(ok, token) + ", expected " + Show(want_ok, want_token);
    return "";
}

// Reader paths that name no readable file: a folder that is not there, no path at all, and a
// folder named as the file (the folder given without its trailing backslash, the name empty).
struct UnreadableCase {
    const char* what;
    std::string folder_suffix;  // appended to the case's folder
    std::string name;
    bool empty_path;
};

inline std::vector<UnreadableCase> UnreadableCases() {
    return {
        {"a file that is not there", "", "missing.inf", false},
        {"a folder that is not there", "NoFolder\\", "friendly.inf", false},
        {"no path at all", "", "", true},
    };
}

inline std::string RunUnreadable(const std::string& folder, const UnreadableCase& c) {
    CReadInf inf(c.empty_path ? "" : folder + c.folder_suffix, c.empty_path ? "" : c.name);
    std::string token = "<unset>";
    const bool ok = inf.GetButLocValueName("Scanner.EvtReg", "ScanButton", token);
    if (ok || token != "<unset>") return "gave " + Show(ok, token) + ", expected " + Show(false, "<unset>");
    std::string text = ".Events";
    if (inf.FindNextSection(text)) return "the section walk found " + text;
    return "";
}

}  // namespace tvx::inf_reader_table
