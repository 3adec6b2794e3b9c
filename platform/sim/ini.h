// The simulated INI-file queries over the simulated files, with Windows' rules: the three query
// forms (section names, key names of a section, one value), lists cut to the buffer and closed by
// two NULs, default texts with their trailing blanks removed, names trimmed and matched without
// regard to case, matched quotes removed, ';' comment lines, and a bare file name meaning the
// Windows directory. Files in UTF-8 or UTF-16 (either byte order) with a byte-order mark are read
// as Unicode: names given in ANSI are matched in UTF-16, and answers come back in the ANSI code page
// with Windows' best fit ('?' for what has none). Simulated machine only.
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

// One INI file as the profile reader sees it, in 8-bit text (ParseIniText) or in the UTF-16 units
// the reader works in (ParseIniUnits).
template <class Text>
struct BasicIniKey {
    Text name;
    std::optional<Text> value;  // none: a line without '='
    size_t line = 0;            // where it stands in the file, from 1
};

template <class Text>
struct BasicIniSection {
    Text name;
    std::vector<BasicIniKey<Text>> keys;
    size_t line = 0;  // the header's line, from 1
};

template <class Text>
struct BasicIniFileText {
    std::vector<BasicIniSection<Text>> sections;  // in file order; duplicates kept, lookups use the first
};

using IniKey = BasicIniKey<std::string>;
using IniSection = BasicIniSection<std::string>;
using IniFileText = BasicIniFileText<std::string>;
using IniFileUnits = BasicIniFileText<std::u16string>;

// Reads INI text: lines end at CR, LF or CR LF (one line end, for the line numbers); blanks (and
// Ctrl-Z) around lines, names and values are dropped; keys above the first header belong to no
// section and cannot be reached; a name or value ends at a NUL, as the reader's C strings do.
// ParseIniText reads 8-bit text as it is; ParseIniUnits reads UTF-16 units (a file's text as
// plat::text::ProfileTextUnits gives it, whatever its encoding).
IniFileText ParseIniText(std::string_view text);
IniFileUnits ParseIniUnits(std::u16string_view units);

class SimIni : public IniBackend {
public:
    SimIni(SimFiles& files, SimSystem& kernel) : files_(files), kernel_(kernel) {}

    DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                   DWORD nSize, LPCSTR lpFileName) override;

private:
    // The Windows path a file name stands for; none for a relative path, which the machine does
    // not model.
    std::optional<std::string> ResolvePath(const std::string& file_name) const;
    // The file's profile in UTF-16 units, whatever the file's encoding (ANSI, or UTF-8 or UTF-16
    // with a byte-order mark); a file that cannot be read is an empty profile, with the last error
    // saying why (2 or 3), as Windows does. Valid until the next call.
    const IniFileUnits& Load(const std::string& windows_path);

    // A file read before: its bytes then and their profile, which serves again while the file
    // holds the same bytes.
    struct Parsed {
        std::string bytes;
        IniFileUnits text;
    };

    SimFiles& files_;
    SimSystem& kernel_;
    std::map<std::string, Parsed> parsed_;  // by the Windows path asked for
    std::string read_;                      // the bytes read last, its room kept for the next read
};

}  // namespace plat::sim
