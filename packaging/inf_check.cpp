// The driver package's INF check. Host tools only.
#include "packaging/inf_check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "entry/setup_extension_q920k.h"
#include "inf/fix_strings.h"
#include "inf/read_inf.h"
#include "platform/sim/ini.h"
#include "platform/text/ansi.h"
#include "platform/text/encoding.h"
#include "platform/text/names.h"
#include "platform/text/profile_text.h"

namespace tvx::packaging {
namespace {

using plat::sim::IniFileText;
using plat::sim::IniKey;
using plat::sim::IniSection;
using plat::text::EqualNames;

// The package serves 64-bit Windows; the device installer there prefers the sections decorated
// for it.
constexpr std::string_view kPlatform = "NTamd64";
constexpr std::string_view kSourcePlatform = "amd64";
constexpr std::string_view kCoInstallerDll = "TarvixQ920kCO.dll";
constexpr std::string_view kCoInstallerEntry = "TarvixScannerCoInstaller";
constexpr std::string_view kModelValue = "CoinstallerModel";
// The co-installer reads the model string into 32 bytes, its terminator included.
constexpr size_t kModelMax = 31;
// The model this package's co-installer is built for.
constexpr std::string_view kPackageModel = CSetupExtensionQ920k::kModelTag;
// The co-installer finds the scanner's button events in the sections whose names contain this.
constexpr std::string_view kEventsPart = ".Events";

// AddReg flags: the value type is the high word and the lowest bit.
constexpr unsigned long kTypeMask = 0xFFFF0001;
constexpr unsigned long kTypeSz = 0x00000000;
constexpr unsigned long kTypeMultiSz = 0x00010000;
constexpr unsigned long kAppend = 0x00000008;
constexpr unsigned long kSystemFolder = 11;

// Directives of install sections whose every field names a section of the INF.
constexpr std::string_view kSectionListDirectives[] = {
    "AddReg", "DelReg",      "BitReg", "CopyFiles", "DelFiles", "RenFiles", "UpdateInis", "UpdateIniFields",
    "Ini2Reg", "AddProperty", "DelProperty", "Events", "DeviceData"};

std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

// A field without its enclosing double quotes; a doubled quote inside stands for one.
std::string Unquote(std::string_view s) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return std::string(s);
    std::string out;
    for (size_t i = 1; i + 1 < s.size(); ++i) {
        out += s[i];
        if (s[i] == '"' && s[i + 1] == '"') ++i;
    }
    return out;
}

// An entry's fields as the device installer reads them: split at the commas outside double
// quotes, up to a comment (';' outside quotes), trimmed, quotes kept.
std::vector<std::string> RawFields(std::string_view text) {
    std::vector<std::string> fields;
    std::string current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) break;
        if (c == ',' && !quoted) {
            fields.push_back(Trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    fields.push_back(Trim(current));
    return fields;
}

std::vector<std::string> Fields(std::string_view text) {
    std::vector<std::string> fields = RawFields(text);
    for (std::string& f : fields) f = Unquote(f);
    return fields;
}

std::string FieldAt(const std::vector<std::string>& fields, size_t i) { return i < fields.size() ? fields[i] : ""; }

// The entry as the device installer sees it: the key's name and, when it has one, '=' and its value.
std::string EntryText(const IniKey& key) { return key.value ? key.name + "=" + *key.value : key.name; }

// A number as INF fields write them: decimal, or hexadecimal after 0x; an empty field is 0.
std::optional<unsigned long> Number(const std::string& text) {
    if (text.empty()) return 0ul;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const std::string_view allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of(allowed) != std::string::npos)
        return std::nullopt;
    return std::stoul(digits, nullptr, hex ? 16 : 10);
}

bool StartsWithName(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && EqualNames(name.substr(0, prefix.size()), prefix);
}

bool IsDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The file in a folder under its name or, as Windows finds it, under the name in other letter case.
bool FileInFolder(const std::filesystem::path& folder, const std::string& relative) {
    std::filesystem::path at = folder;
    for (const std::string& part : plat::text::SplitPath(relative, "\\/")) {
        std::error_code ec;
        if (std::filesystem::exists(at / part, ec)) {
            at /= part;
            continue;
        }
        bool found = false;
        for (std::filesystem::directory_iterator it(at, ec), end; !ec && it != end; it.increment(ec)) {
            if (EqualNames(it->path().filename().string(), part)) {
                at = it->path();
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    std::error_code ec;
    return std::filesystem::is_regular_file(at, ec);
}

// How an INF's bytes are text. The device installer reads ANSI text and UTF-16 little-endian text
// that starts with its byte-order mark (FF FE); the profile reader reads both and answers in the
// ANSI code page. The co-installer's friendly-name scan reads the bytes themselves as 8-bit text.
enum class Encoding { Ansi, Utf8WithMark, Utf16Le };

// The INF as the profile reader answers it: ANSI text (Windows-1252), one byte per character, so
// that its line ends, and with them its line numbers, are those of the file.
struct DecodedInf {
    Encoding encoding = Encoding::Ansi;
    std::string text;
    bool odd_byte = false;  // UTF-16 whose last byte is half a character
};

DecodedInf Decode(std::string_view bytes) {
    DecodedInf inf;
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        inf.encoding = Encoding::Utf16Le;
        bytes.remove_prefix(2);
        inf.odd_byte = bytes.size() % 2 != 0;
        // As the profile reader answers: in the ANSI code page, with Windows' best fit.
        inf.text = plat::text::Utf16ToAnsiBestFit(plat::text::Utf16LeUnits(bytes));
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        inf.encoding = Encoding::Utf8WithMark;
        inf.text = plat::text::Utf16ToAnsiBestFit(plat::text::Utf8ToUtf16(bytes.substr(3)));
    } else {
        inf.text = std::string(bytes);
    }
    return inf;
}

// One line as the co-installer's friendly-name scan reads it (C runtime text mode: CR LF is one
// line end, a lone CR is text, Ctrl-Z ends the file), with where it starts in the text.
struct ScanLine {
    std::string text;
    size_t offset;
};

std::vector<ScanLine> TextModeLines(std::string_view bytes) {
    std::vector<ScanLine> lines;
    size_t start = 0;
    size_t end = bytes.find('\x1A');
    if (end == std::string_view::npos) end = bytes.size();
    while (start < end) {
        size_t feed = bytes.find('\n', start);
        if (feed == std::string_view::npos || feed >= end) feed = end;
        size_t stop = feed;
        if (feed < end && stop > start && bytes[stop - 1] == '\r') --stop;
        lines.push_back({std::string(bytes.substr(start, stop - start)), start});
        start = feed + 1;
    }
    return lines;
}

// What the friendly-name scan finds for a button in a section: the line's start and its token.
struct ScanFind {
    size_t offset;
    std::string token;
};

std::optional<ScanFind> ScanForFriendlyName(const std::vector<ScanLine>& lines, const std::string& section,
                                            const std::string& button) {
    size_t i = 0;
    while (i < lines.size() && !CReadInf::IsScanSectionHeader(lines[i].text, section)) ++i;
    for (++i; i < lines.size(); ++i) {
        std::string token;
        if (CReadInf::FriendlyNameToken(lines[i].text, button, token)) return ScanFind{lines[i].offset, token};
        if (CReadInf::IsHeaderLine(lines[i].text)) break;
    }
    return std::nullopt;
}

// One entry of a section.
struct SectionEntry {
    const IniSection* section;
    const IniKey* key;
};

class Checker {
public:
    // text: the INF as the profile reader reads it; raw: the file's bytes, which the co-installer's
    // friendly-name scan reads.
    Checker(const DecodedInf& inf, std::string_view raw, const std::string& file, const InfCheckOptions& options)
        : text_(inf.text), raw_(raw), inf_(inf), file_(file), options_(options), ini_(plat::sim::ParseIniText(text_)) {
        line_starts_.push_back(0);
        for (size_t i = 0; i < text_.size(); ++i) {
            const bool crlf = text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n';
            if (crlf) ++i;
            if (text_[i] == '\r' || text_[i] == '\n') line_starts_.push_back(i + 1);
        }
    }

    std::vector<InfProblem> Run() {
        CheckEncoding();
        CheckFriendlyNameScan();
        CheckReadersAgree();
        CheckDuplicateSections();
        CheckVersion();
        for (const IniSection* install : InstallSections()) CheckInstallSection(*install);
        CheckEventSections();
        CheckDestinations();
        CheckSourceFiles();
        CheckTokens();
        std::stable_sort(problems_.begin(), problems_.end(),
                         [](const InfProblem& a, const InfProblem& b) { return a.line < b.line; });
        return std::move(problems_);
    }

private:
    void Report(size_t line, std::string_view section, std::string message) {
        problems_.push_back(InfProblem{file_, line, std::string(section), std::move(message)});
    }

    void ReportMissing(size_t line, std::string_view section, std::string_view directive, const std::string& name) {
        Report(line, section, std::string(directive) + " names section '" + name + "', which is not in the file");
    }

    const IniSection* Find(std::string_view name) const {
        for (const IniSection& s : ini_.sections)
            if (EqualNames(s.name, name)) return &s;
        return nullptr;
    }

    static const IniKey* FindKey(const IniSection& section, std::string_view name) {
        for (const IniKey& k : section.keys)
            if (EqualNames(k.name, name)) return &k;
        return nullptr;
    }

    // The sections named by every directive of this name in a section, those not in the file
    // left out (reported elsewhere).
    std::vector<const IniSection*> Named(const IniSection& section, std::string_view directive) const {
        std::vector<const IniSection*> named;
        for (const IniKey& key : section.keys) {
            if (!key.value || !EqualNames(key.name, directive)) continue;
            for (const std::string& name : Fields(*key.value))
                if (const IniSection* s = name.empty() ? nullptr : Find(name)) named.push_back(s);
        }
        return named;
    }

    // The profile reader keeps a comment after an entry, and a line continuation, as text of the
    // entry, while the device installer drops the one and joins the other: the co-installer would
    // read other values than the ones installed.
    void CheckReadersAgree() {
        size_t start = 0, line = 0;
        std::string section;
        while (start < text_.size()) {
            size_t end = text_.find_first_of("\r\n", start);
            if (end == std::string_view::npos) end = text_.size();
            const std::string entry = Trim(text_.substr(start, end - start));
            start = end + (text_.substr(end, 2) == "\r\n" ? 2 : 1);
            ++line;
            if (entry.empty() || entry.front() == ';') continue;
            if (entry.front() == '[' && entry.rfind(']') != std::string::npos) {
                section = Trim(std::string_view(entry).substr(1, entry.rfind(']') - 1));
                continue;
            }
            bool quoted = false;
            for (char c : entry) {
                if (c == '"') quoted = !quoted;
                if (c == ';' && !quoted) {
                    Report(line, section,
                           "has a comment after the entry: the device installer drops it, the co-installer's "
                           "profile reader keeps it as part of the entry; put the comment on a line of its own");
                    break;
                }
            }
            if (!quoted && entry.back() == '\\')
                Report(line, section,
                       "ends in '\\', which continues the entry for the device installer but not for the "
                       "co-installer's profile reader; write the entry on one line");
        }
    }

    // The device installer joins sections of the same name; the profile reader sees the first only.
    void CheckDuplicateSections() {
        for (const IniSection& s : ini_.sections) {
            const IniSection* first = Find(s.name);
            if (first != &s)
                Report(s.line, s.name,
                       "appears again (first at line " + std::to_string(first->line) +
                           "): the device installer joins the two, the co-installer's profile reader sees only "
                           "the first; merge them");
        }
    }

    void CheckVersion() {
        const IniSection* version = Find("Version");
        if (!version) {
            Report(0, "", "has no [Version] section");
            return;
        }
        const IniKey* signature = FindKey(*version, "Signature");
        if (!signature || !signature->value) {
            Report(version->line, version->name, "has no Signature entry");
            return;
        }
        const std::string text = Unquote(*signature->value);
        if (!EqualNames(text, "$Windows NT$") && !EqualNames(text, "$Chicago$"))
            Report(signature->line, version->name, "Signature is '" + text + "', expected \"$Windows NT$\"");
    }

    // The install sections that the models reach, each once, decorated for the platform where
    // the INF has such a section.
    std::vector<const IniSection*> InstallSections() {
        std::vector<const IniSection*> installs;
        const IniSection* manufacturer = Find("Manufacturer");
        if (!manufacturer) {
            Report(0, "", "has no [Manufacturer] section");
            return installs;
        }
        for (const IniKey& key : manufacturer->keys) {
            const std::vector<std::string> fields = Fields(key.value.value_or(""));
            const std::string models = fields[0];
            if (models.empty()) {
                Report(key.line, manufacturer->name, "entry '" + key.name + "' names no models section");
                continue;
            }
            std::vector<std::string> names;
            bool for_platform = fields.size() == 1;
            if (fields.size() == 1) names.push_back(models);
            for (size_t i = 1; i < fields.size(); ++i) {
                if (fields[i].empty()) continue;
                names.push_back(models + "." + fields[i]);
                if (EqualNames(std::string_view(fields[i]).substr(0, fields[i].find('.')), kPlatform)) for_platform = true;
            }
            if (!for_platform)
                Report(key.line, manufacturer->name,
                       "names no models section for 64-bit Windows (" + std::string(kPlatform) +
                           "): the device installer there finds no device in this INF");
            for (const std::string& name : names) {
                const IniSection* section = Find(name);
                if (!section) {
                    Report(key.line, manufacturer->name,
                           "names models section '" + name + "', which is not in the file");
                    continue;
                }
                for (const IniSection* install : ModelInstallSections(*section))
                    if (std::find(installs.begin(), installs.end(), install) == installs.end())
                        installs.push_back(install);
            }
        }
        return installs;
    }

    std::vector<const IniSection*> ModelInstallSections(const IniSection& models) {
        std::vector<const IniSection*> installs;
        for (const IniKey& key : models.keys) {
            const std::vector<std::string> fields = Fields(key.value.value_or(""));
            const std::string& name = fields[0];
            if (name.empty()) {
                Report(key.line, models.name, "entry '" + key.name + "' names no install section");
                continue;
            }
            if (FieldAt(fields, 1).empty())
                Report(key.line, models.name, "entry for install section '" + name + "' names no hardware ID");
            const IniSection* install = nullptr;
            for (const std::string& candidate : {name + "." + std::string(kPlatform), name + ".NT", name})
                if ((install = Find(candidate))) break;
            if (!install) {
                Report(key.line, models.name,
                       "names install section '" + name + "', which is not in the file (nor " + name + "." +
                           std::string(kPlatform) + " or " + name + ".NT)");
                continue;
            }
            installs.push_back(install);
        }
        return installs;
    }

    void CheckInstallSection(const IniSection& install) {
        CheckDirectives(install);
        struct Part {
            const char* suffix;
            const char* why;
        } parts[] = {
            {"HW", "writes the model string (CoinstallerModel) that the co-installer reads from the device's "
                   "hardware key"},
            {"Services", "installs the device's driver service, which the device installer needs"},
            {"CoInstallers", "registers TarvixQ920kCO.dll as the device's co-installer"},
        };
        for (const Part& part : parts) {
            const std::string name = install.name + "." + part.suffix;
            const IniSection* section = Find(name);
            if (!section) {
                Report(install.line, install.name, "has no section [" + name + "], which " + part.why);
                continue;
            }
            CheckDirectives(*section);
            if (part.suffix == std::string_view("HW")) CheckModelValue(*section);
            if (part.suffix == std::string_view("CoInstallers")) CheckCoInstallerRegistration(*section);
        }
        if (const IniSection* interfaces = Find(install.name + ".Interfaces")) CheckDirectives(*interfaces);
    }

    // Every section an install-like section names: through its directives, and on through the
    // service-install and interface-install sections it names. Each section once.
    void CheckDirectives(const IniSection& section) {
        if (!checked_.insert(&section).second) return;
        const bool includes_other_inf = FindKey(section, "Include") != nullptr;
        for (const IniKey& key : section.keys) {
            if (!key.value) continue;
            const std::vector<std::string> fields = Fields(*key.value);
            const bool lists_sections = std::any_of(std::begin(kSectionListDirectives), std::end(kSectionListDirectives),
                                                    [&](std::string_view d) { return EqualNames(d, key.name); });
            if (lists_sections) {
                for (const std::string& name : fields) {
                    if (name.empty()) continue;
                    if (EqualNames(key.name, "CopyFiles") && name.front() == '@') {
                        single_copies_.push_back({&section, &key});
                        continue;
                    }
                    const IniSection* target = Find(name);
                    if (!target) {
                        ReportMissing(key.line, section.name, key.name, name);
                        continue;
                    }
                    if (EqualNames(key.name, "CopyFiles") &&
                        std::find(copy_sections_.begin(), copy_sections_.end(), target) == copy_sections_.end())
                        copy_sections_.push_back(target);
                    if (EqualNames(key.name, "Events")) event_sections_.push_back({&section, &key, target});
                }
            } else if (EqualNames(key.name, "Needs")) {
                // A needed section may live in an INF that this section includes.
                for (const std::string& name : fields)
                    if (!name.empty() && !Find(name) && !includes_other_inf)
                        Report(key.line, section.name,
                               "Needs names section '" + name +
                                   "', which is not in the file, and the section includes no other INF");
            } else if (EqualNames(key.name, "AddService")) {
                if (FieldAt(fields, 2).empty())
                    Report(key.line, section.name,
                           "AddService for service '" + fields[0] + "' names no service-install section");
                else
                    CheckSubSection(section, key, fields[2]);
                if (!FieldAt(fields, 3).empty()) CheckSubSection(section, key, fields[3]);
            } else if (EqualNames(key.name, "AddInterface")) {
                if (!FieldAt(fields, 2).empty()) CheckSubSection(section, key, fields[2]);
            }
        }
    }

    void CheckSubSection(const IniSection& section, const IniKey& key, const std::string& name) {
        if (const IniSection* target = Find(name))
            CheckDirectives(*target);
        else
            ReportMissing(key.line, section.name, key.name, name);
    }

    // The AddReg entries of a section's AddReg sections that write the named value.
    std::vector<SectionEntry> AddRegEntries(const IniSection& section, std::string_view value_name) const {
        std::vector<SectionEntry> entries;
        for (const IniSection* addreg : Named(section, "AddReg"))
            for (const IniKey& key : addreg->keys)
                if (EqualNames(FieldAt(Fields(EntryText(key)), 2), value_name)) entries.push_back({addreg, &key});
        return entries;
    }

    // Where an AddReg entry writes: HKR itself, the key the section's kind gives HKR.
    bool WritesHkrItself(const SectionEntry& entry, std::string_view what) {
        const std::vector<std::string> fields = Fields(EntryText(*entry.key));
        if (!EqualNames(fields[0], "HKR")) {
            Report(entry.key->line, entry.section->name,
                   "writes " + std::string(what) + " below " + fields[0] + ", not HKR (the device's own key)");
            return false;
        }
        if (!FieldAt(fields, 1).empty()) {
            Report(entry.key->line, entry.section->name,
                   "writes " + std::string(what) + " in subkey '" + fields[1] + "', not in the device's key itself");
            return false;
        }
        return true;
    }

    // Each entry that writes the model string gets at most one problem; "writes no model string"
    // is for an HW section none of whose entries names the value at all.
    void CheckModelValue(const IniSection& hw) {
        const std::vector<SectionEntry> entries = AddRegEntries(hw, kModelValue);
        for (const SectionEntry& entry : entries) {
            if (!WritesHkrItself(entry, kModelValue)) continue;
            const std::vector<std::string> fields = Fields(EntryText(*entry.key));
            const std::optional<unsigned long> flags = Number(FieldAt(fields, 3));
            const std::string model = WithStrings(FieldAt(fields, 4));
            if (!flags || (*flags & kTypeMask) != kTypeSz) {
                Report(entry.key->line, entry.section->name,
                       "writes CoinstallerModel with flags '" + FieldAt(fields, 3) +
                           "': it must be a plain string (REG_SZ, flags empty or 0)");
            } else if (model.empty()) {
                Report(entry.key->line, entry.section->name,
                       "writes an empty CoinstallerModel: it must name the model, \"" + std::string(kPackageModel) +
                           "\"");
            } else if (model.size() > kModelMax) {
                Report(entry.key->line, entry.section->name,
                       "writes CoinstallerModel '" + model + "' of " + std::to_string(model.size()) +
                           " characters; the co-installer reads at most " + std::to_string(kModelMax) +
                           " and takes a longer value as no model string at all");
            } else if (model != kPackageModel && !HasUndefinedToken(FieldAt(fields, 4))) {
                // The co-installer takes whatever model string it finds: it logs it and installs
                // this package's software with it. Another model's string is a copy slip.
                Report(entry.key->line, entry.section->name,
                       "writes CoinstallerModel '" + model + "', " +
                           (EqualNames(model, kPackageModel)
                                ? "which differs from this package's model '" + std::string(kPackageModel) +
                                      "' in letter case"
                                : "which names another model than this package's, '" + std::string(kPackageModel) + "'") +
                           ": write HKR,,CoinstallerModel,,\"" + std::string(kPackageModel) + "\"");
            }
        }
        if (entries.empty())
            Report(hw.line, hw.name,
                   "writes no model string: an AddReg section of it must hold HKR,,CoinstallerModel,,\"" +
                       std::string(kPackageModel) + "\"");
    }

    // Whether the text uses a %token% that [Strings] does not define (reported with the tokens).
    bool HasUndefinedToken(const std::string& text) const {
        const IniSection* strings = Find("Strings");
        for (size_t open = text.find('%'); open != std::string::npos; open = text.find('%', open)) {
            const size_t close = text.find('%', open + 1);
            if (close == std::string::npos) return true;
            const std::string token = text.substr(open + 1, close - open - 1);
            if (!token.empty() && !(strings && FindKey(*strings, token))) return true;
            open = close + 1;
        }
        return false;
    }

    void CheckCoInstallerRegistration(const IniSection& coinstallers) {
        const std::string wanted = std::string(kCoInstallerDll) + "," + std::string(kCoInstallerEntry);
        bool registered = false;
        for (const SectionEntry& entry : AddRegEntries(coinstallers, "CoInstallers32")) {
            if (!WritesHkrItself(entry, "CoInstallers32")) continue;
            const std::vector<std::string> fields = Fields(EntryText(*entry.key));
            const std::optional<unsigned long> flags = Number(FieldAt(fields, 3));
            if (!flags || (*flags & kTypeMask) != kTypeMultiSz || (*flags & ~(kTypeMask | kAppend)) != 0) {
                Report(entry.key->line, entry.section->name,
                       "writes CoInstallers32 with flags '" + FieldAt(fields, 3) +
                           "': it must be a list of strings (REG_MULTI_SZ, 0x00010000)");
                continue;
            }
            bool listed = false;
            for (size_t i = 4; i < fields.size() && !listed; ++i) {
                const std::vector<std::string> parts = RawFields(fields[i]);
                listed = parts.size() == 2 && EqualNames(parts[0], kCoInstallerDll) && parts[1] == kCoInstallerEntry;
            }
            if (!listed) {
                Report(entry.key->line, entry.section->name,
                       "writes CoInstallers32 without the entry \"" + wanted +
                           "\" (the DLL and its entry point in one quoted string)");
                continue;
            }
            registered = true;
        }
        if (!registered)
            Report(coinstallers.line, coinstallers.name,
                   "registers no co-installer: an AddReg section of it must hold HKR,,CoInstallers32,0x00010000,\"" +
                       wanted + "\"");

        bool copied = false;
        auto copies_to_system = [&](size_t line, const std::string& section, std::optional<unsigned long> folder) {
            if (!folder) return false;  // reported with the destinations
            if (*folder == kSystemFolder) return true;
            Report(line, section,
                   "copies " + std::string(kCoInstallerDll) + " to folder id " + std::to_string(*folder) +
                       ", not to the system folder (11), where the device installer loads co-installers from");
            return false;
        };
        for (const IniSection* files : Named(coinstallers, "CopyFiles"))
            for (const IniKey& key : files->keys)
                if (EqualNames(Fields(EntryText(key))[0], kCoInstallerDll))
                    copied |= copies_to_system(key.line, files->name, Destination(files->name));
        for (const IniKey& key : coinstallers.keys)
            if (key.value && EqualNames(key.name, "CopyFiles"))
                for (const std::string& name : Fields(*key.value))
                    if (name.size() > 1 && name.front() == '@' && EqualNames(name.substr(1), kCoInstallerDll))
                        copied |= copies_to_system(key.line, coinstallers.name, Destination(""));
        if (!copied)
            Report(coinstallers.line, coinstallers.name,
                   "copies no " + std::string(kCoInstallerDll) +
                       " to the system folder: a CopyFiles section of it must list the DLL, with DestinationDirs 11");
    }

    // The folder id [DestinationDirs] gives a copy section ("" for a single file), or its default.
    std::optional<unsigned long> Destination(const std::string& copy_section) const {
        const IniSection* dirs = Find("DestinationDirs");
        if (!dirs) return std::nullopt;
        const IniKey* key = copy_section.empty() ? nullptr : FindKey(*dirs, copy_section);
        if (!key) key = FindKey(*dirs, "DefaultDestDir");
        if (!key || !key->value) return std::nullopt;
        return Number(Fields(*key->value)[0]);
    }

    void CheckDestinations() {
        for (const IniSection* files : copy_sections_)
            if (!Destination(files->name))
                Report(files->line, files->name,
                       "is copied without a destination: [DestinationDirs] has no folder id for it and no "
                       "DefaultDestDir");
        for (const SectionEntry& single : single_copies_)
            if (!Destination(""))
                Report(single.key->line, single.section->name,
                       "copies a single file without a destination: [DestinationDirs] has no DefaultDestDir");
        const IniSection* dirs = Find("DestinationDirs");
        if (!dirs) return;
        for (const IniKey& key : dirs->keys) {
            if (!key.value || !Number(Fields(*key.value)[0])) {
                Report(key.line, dirs->name, "gives no folder id for '" + key.name + "'");
                continue;
            }
            if (!EqualNames(key.name, "DefaultDestDir") && !Find(key.name))
                ReportMissing(key.line, dirs->name, "DestinationDirs", key.name);
        }
    }

    // A source table: the section decorated for the platform, then the plain one.
    std::vector<SectionEntry> SourceTable(std::string_view name, bool& present) const {
        std::vector<SectionEntry> entries;
        present = false;
        for (const std::string& section_name : {std::string(name) + "." + std::string(kSourcePlatform), std::string(name)})
            if (const IniSection* section = Find(section_name)) {
                present = true;
                for (const IniKey& key : section->keys) entries.push_back({section, &key});
            }
        return entries;
    }

    static const SectionEntry* FindEntry(const std::vector<SectionEntry>& table, std::string_view name) {
        for (const SectionEntry& entry : table)
            if (EqualNames(entry.key->name, name)) return &entry;
        return nullptr;
    }

    void CheckSourceFiles() {
        bool have_files = false, have_disks = false;
        const std::vector<SectionEntry> files = SourceTable("SourceDisksFiles", have_files);
        const std::vector<SectionEntry> disks = SourceTable("SourceDisksNames", have_disks);

        // Every file copied: its source name is the second field, or the first when none.
        std::vector<std::pair<SectionEntry, std::string>> copied;
        for (const IniSection* section : copy_sections_)
            for (const IniKey& key : section->keys) {
                const std::vector<std::string> fields = Fields(EntryText(key));
                copied.push_back({{section, &key}, FieldAt(fields, 1).empty() ? fields[0] : fields[1]});
            }
        for (const SectionEntry& single : single_copies_)
            for (const std::string& name : Fields(*single.key->value))
                if (name.size() > 1 && name.front() == '@') copied.push_back({single, name.substr(1)});
        if (!copied.empty() && !have_files) {
            Report(0, "", "has no [SourceDisksFiles] section: the device installer cannot find the files it copies");
            return;
        }
        for (const auto& [where, name] : copied)
            if (!FindEntry(files, name))
                Report(where.key->line, where.section->name,
                       "copies file '" + name + "', which [SourceDisksFiles] does not list");

        if (have_files && !have_disks) Report(0, "", "has no [SourceDisksNames] section for its [SourceDisksFiles]");
        for (const SectionEntry& file : files) {
            const std::vector<std::string> fields = Fields(file.key->value.value_or(""));
            const SectionEntry* disk = fields[0].empty() ? nullptr : FindEntry(disks, fields[0]);
            if (!disk) {
                if (have_disks)
                    Report(file.key->line, file.section->name,
                           "lists '" + file.key->name + "' on source disk '" + fields[0] +
                               "', which [SourceDisksNames] does not define");
                continue;
            }
            if (!options_.package_folder) continue;
            std::string relative = FieldAt(Fields(disk->key->value.value_or("")), 3);
            if (!FieldAt(fields, 1).empty()) relative += "\\" + fields[1];
            relative += "\\" + file.key->name;
            if (!FileInFolder(*options_.package_folder, relative))
                Report(file.key->line, file.section->name,
                       "lists '" + file.key->name + "', which is not in the package folder " +
                           options_.package_folder->string());
        }
    }

    // The text with its %token%s replaced from [Strings]; tokens it does not define stay.
    std::string WithStrings(const std::string& text) const {
        const IniSection* strings = Find("Strings");
        std::string out;
        size_t at = 0;
        while (at < text.size()) {
            size_t open = text.find('%', at);
            size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
            if (close == std::string::npos) break;
            out += text.substr(at, open - at);
            const std::string token = text.substr(open + 1, close - open - 1);
            const IniKey* key = strings ? FindKey(*strings, token) : nullptr;
            if (token.empty())
                out += '%';
            else if (key && key->value)
                out += Unquote(*key->value);
            else
                out += text.substr(open, close - open + 1);
            at = close + 1;
        }
        return out + text.substr(std::min(at, text.size()));
    }

    // Every %token% outside the string sections is defined in [Strings]; %% is a percent sign and
    // a number is one of the system's folder ids.
    void CheckTokens() {
        const IniSection* strings = Find("Strings");
        for (const IniSection& section : ini_.sections) {
            if (StartsWithName(section.name, "Strings")) continue;
            for (const IniKey& key : section.keys) {
                const std::string text = EntryText(key);
                for (size_t open = text.find('%'); open != std::string::npos; open = text.find('%', open)) {
                    const size_t close = text.find('%', open + 1);
                    if (close == std::string::npos) {
                        Report(key.line, section.name, "has a '%' without its closing '%'");
                        break;
                    }
                    const std::string token = text.substr(open + 1, close - open - 1);
                    if (!token.empty() && !IsDigits(token) && !(strings && FindKey(*strings, token)))
                        Report(key.line, section.name, "uses %" + token + "%, which [Strings] does not define");
                    open = close + 1;
                }
            }
        }
    }

    // The co-installer walks the section names (at most kSectionListSize bytes of them) for those
    // containing ".Events", and reads each one's key names (at most kKeyListSize bytes). A list
    // cut short comes with its last two bytes NUL, so only names ending before them are whole.
    void CheckEventSections() {
        size_t list_size = 1;
        for (const IniSection& s : ini_.sections)
            if (!s.name.empty()) list_size += s.name.size() + 1;
        for (const EventSection& events : event_sections_) {
            const IniSection& target = *events.target;
            if (target.name.find(kEventsPart) == std::string::npos) {
                Report(events.key->line, events.owner->name,
                       "Events names section '" + target.name + "', whose name lacks \"" + std::string(kEventsPart) +
                           "\": the co-installer finds the scanner's button events by that part of the name");
                continue;
            }
            size_t end = 0;
            for (const IniSection& s : ini_.sections) {
                if (s.name.empty()) continue;
                end += s.name.size() + 1;
                if (&s == &target) break;
            }
            if (list_size >= CReadInf::kSectionListSize && end - 1 > CReadInf::kSectionListSize - 2)
                Report(target.line, target.name,
                       "lies beyond the first " + std::to_string(CReadInf::kSectionListSize) +
                           " bytes of section names, the part the co-installer reads: its button events would "
                           "not be found; put it nearer the top");
            size_t keys_size = 1;
            for (const IniKey& key : target.keys)
                if (key.value) keys_size += key.name.size() + 1;
            if (keys_size >= CReadInf::kKeyListSize)
                Report(target.line, target.name,
                       "has " + std::to_string(keys_size) + " bytes of button names; the co-installer reads " +
                           std::to_string(CReadInf::kKeyListSize - 2) + ", so the last buttons would not be found");
        }
    }

    // The line (from 1, counted as the profile reader counts them) that holds a text offset.
    size_t LineAt(size_t offset) const {
        return static_cast<size_t>(std::upper_bound(line_starts_.begin(), line_starts_.end(), offset) -
                                   line_starts_.begin());
    }

    // The section a line stands in; empty above the first header.
    std::string SectionAt(size_t line) const {
        std::string name;
        for (const IniSection& s : ini_.sections)
            if (s.line <= line) name = s.name;
        return name;
    }

    void CheckEncoding() {
        if (inf_.encoding == Encoding::Utf8WithMark)
            Report(0, "",
                   "is UTF-8 text (it starts with the UTF-8 byte-order mark): the device installer reads INFs as "
                   "ANSI or UTF-16 little-endian text only; save it as one of those");
        if (inf_.odd_byte) {
            const size_t line = LineAt(text_.size());
            Report(line, SectionAt(line),
                   "ends in half a UTF-16 character (the file has an odd number of bytes): it is cut short");
        }
    }

    // The sections whose whole names are in the section-name list the co-installer reads.
    std::vector<const IniSection*> SectionsTheWalkReads() const {
        size_t list_size = 1;
        for (const IniSection& s : ini_.sections)
            if (!s.name.empty()) list_size += s.name.size() + 1;
        std::vector<const IniSection*> read;
        size_t end = 0;
        for (const IniSection& s : ini_.sections) {
            if (s.name.empty()) continue;
            end += s.name.size() + 1;
            if (list_size < CReadInf::kSectionListSize || end - 1 <= CReadInf::kSectionListSize - 2) read.push_back(&s);
        }
        return read;
    }

    // The co-installer reads the friendly-name token of each button of an Events section from the
    // file's own bytes, line by line, in the section whose name it derives from the Events
    // section's (X.Events gives X.EvtReg). Where those bytes are not the text the profile reader
    // reads (UTF-16, UTF-8) the scan does not find the line that the text holds, or reads another
    // token from it, and the button-string repair leaves the button's FriendlyName alone.
    void CheckFriendlyNameScan() {
        if (inf_.encoding == Encoding::Ansi) return;
        const std::vector<ScanLine> text_lines = TextModeLines(text_);
        const std::vector<ScanLine> raw_lines = TextModeLines(raw_);
        const std::string encoding = inf_.encoding == Encoding::Utf16Le ? "UTF-16" : "UTF-8";
        std::set<size_t> reported;
        for (const IniSection* listed : SectionsTheWalkReads()) {
            if (listed->name.find(kEventsPart) == std::string::npos) continue;
            const IniSection& events = *Find(listed->name);
            const std::string evtreg = CFixStrings::EvtRegSectionName(listed->name);
            size_t keys_end = 0;
            for (const IniKey& key : events.keys) {
                if (!key.value) continue;
                keys_end += key.name.size() + 1;
                if (keys_end > CReadInf::kKeyListSize - 2) break;
                const std::optional<ScanFind> meant = ScanForFriendlyName(text_lines, evtreg, key.name);
                if (!meant || !reported.insert(meant->offset).second) continue;
                const std::optional<ScanFind> read = ScanForFriendlyName(raw_lines, evtreg, key.name);
                if (read && read->token == meant->token) continue;
                const size_t line = LineAt(meant->offset);
                const std::string button = "button '" + key.name + "' of [" + listed->name + "]";
                Report(line, SectionAt(line),
                       read ? "the co-installer reads the friendly-name token of " + button + " as '" + read->token +
                                  "', not '" + meant->token + "', in a " + encoding +
                                  " INF (its friendly-name scan reads the file's bytes as 8-bit text), so the "
                                  "button-string repair writes another text as the button's FriendlyName"
                            : "the co-installer will not find the friendly-name token of " + button + " ('" +
                                  meant->token + "') in a " + encoding +
                                  " INF (its friendly-name scan reads the file's bytes as 8-bit text), so the "
                                  "button-string repair does not rewrite the button's FriendlyName; save the INF "
                                  "as ANSI text to have it rewritten");
            }
        }
    }

    struct EventSection {
        const IniSection* owner;
        const IniKey* key;
        const IniSection* target;
    };

    std::string_view text_;
    std::string_view raw_;
    const DecodedInf& inf_;
    std::vector<size_t> line_starts_;  // where each line of the text starts
    std::string file_;
    const InfCheckOptions& options_;
    IniFileText ini_;
    std::vector<InfProblem> problems_;
    std::set<const IniSection*> checked_;
    std::vector<const IniSection*> copy_sections_;
    std::vector<SectionEntry> single_copies_;  // CopyFiles=@file
    std::vector<EventSection> event_sections_;
};

}  // namespace

std::string Describe(const InfProblem& problem) {
    std::string text = problem.file;
    if (problem.line) text += ":" + std::to_string(problem.line);
    text += ": ";
    if (!problem.section.empty()) text += "[" + problem.section + "] ";
    return text + problem.message;
}

std::vector<InfProblem> CheckInfText(std::string_view text, const std::string& file_name,
                                     const InfCheckOptions& options) {
    if (text.substr(0, 2) == "\xFE\xFF")
        return {InfProblem{file_name, 0, "",
                           "is UTF-16 big-endian text (it starts with FE FF): the device installer reads INFs as "
                           "ANSI or UTF-16 little-endian (FF FE) text only; save it as one of those"}};
    const DecodedInf inf = Decode(text);
    if (inf.text.find_first_not_of(" \t\r\n\x1A") == std::string::npos)
        return {InfProblem{file_name, 0, "",
                           text.empty() ? "is empty (0 bytes): it holds no INF text"
                                        : "holds no INF text, only blanks, line ends or a byte-order mark"}};
    return Checker(inf, text, file_name, options).Run();
}

std::vector<InfProblem> CheckInfFile(const std::filesystem::path& path, const InfCheckOptions& options) {
    auto problem = [&](const std::string& what) { return std::vector<InfProblem>{InfProblem{path.string(), 0, "", what}}; };
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return problem("cannot be read: there is no such file");
    if (status.type() == std::filesystem::file_type::directory)
        return problem("is a folder, not an INF file (tvx-inf-check --package FOLDER checks a driver package folder)");
    // A device such as /dev/zero would be read without end.
    if (status.type() == std::filesystem::file_type::character || status.type() == std::filesystem::file_type::block)
        return problem("is a device, not an INF file");
    std::ifstream in(path, std::ios::binary);
    if (!in) return problem(std::string("cannot be read: ") + std::strerror(errno));
    std::string text;
    // The stream reports a failed read as an exception, whatever its exception mask.
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return problem(std::string("cannot be read: ") + std::strerror(errno ? errno : EIO));
    }
    if (in.bad()) return problem("cannot be read to its end");
    return CheckInfText(text, path.string(), options);
}

std::vector<InfProblem> CheckPackageFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return {InfProblem{folder.string(), 0, "", "is not a folder: no driver package there (make package lays it out)"}};
    std::vector<std::filesystem::path> infs;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return {InfProblem{folder.string(), 0, "", "cannot be read: " + ec.message()}};
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (it->is_regular_file(type_ec) && EqualNames(it->path().extension().string(), ".inf"))
            infs.push_back(it->path());
    }
    if (ec) return {InfProblem{folder.string(), 0, "", "cannot be read to its end: " + ec.message()}};
    if (infs.empty()) return {InfProblem{folder.string(), 0, "", "holds no INF file"}};
    std::sort(infs.begin(), infs.end());
    std::vector<InfProblem> problems;
    for (const std::filesystem::path& inf : infs) {
        std::vector<InfProblem> found = CheckInfFile(inf, InfCheckOptions{folder});
        problems.insert(problems.end(), found.begin(), found.end());
    }
    return problems;
}

}  // namespace tvx::packaging
