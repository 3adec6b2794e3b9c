// The simulated INI-file queries over the simulated files, with Windows' rules: the three query
// forms (section names, key names of a section, one value), lists cut to the buffer and closed by
// two NULs, default texts with their trailing blanks removed, names trimmed and matched without
// regard to case, matched quotes removed, ';' comment lines, and a bare file name meaning the
// Windows directory. Simulated machine only.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini.h"
#include "platform/sim/files.h"
#include "platform/sim/system.h"

namespace plat::sim {

// One INI file as the profile reader sees it.
struct IniKey {
    std::string name;
    std::optional<std::string> value;  // none: a line without '='
    size_t line = 0;                   // where it stands in the file, from 1
};

struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
    size_t line = 0;  // the header's line, from 1
};

struct IniFileText {
    std::vector<IniSection> sections;  // in file order; duplicates kept, lookups use the first
};

// Reads INI text: lines end at CR, LF or CR LF (one line end, for the line numbers); blanks (and Ctrl-Z) around lines, names and values
// are dropped; keys above the first header belong to no section and cannot be reached.
IniFileText ParseIniText(std::string_view text);

class SimIni : public IniBackend {
public:
    SimIni(SimFiles& files, SimSystem& kernel) : files_(files), kernel_(kernel) {}

    DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                   DWORD nSize, LPCSTR lpFileName) override;

private:
    // The Windows path a file name stands for; none for a relative path, which the machine does
    // not model.
    std::optional<std::string> ResolvePath(const std::string& file_name) const;
    // The file's profile; a file that cannot be read is an empty profile, with the last error
    // saying why (2 or 3), as Windows does. Valid until the next call.
    const IniFileText& Load(const std::string& windows_path);

    // A file read before: its bytes then and their profile, which serves again while the file
    // holds the same bytes.
    struct Parsed {
        std::string bytes;
        IniFileText text;
    };

    SimFiles& files_;
    SimSystem& kernel_;
    std::map<std::string, Parsed> parsed_;  // by the Windows path asked for
};

}  // namespace plat::sim
