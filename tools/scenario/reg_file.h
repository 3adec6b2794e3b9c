// .reg files as regedit and `reg export` write them: REGEDIT4 (ANSI) and "Windows Registry Editor
// Version 5.00" (UTF-16LE with a byte order mark). Both are read; version 5 is written, of a whole
// registry snapshot or of the difference between two.
// Strings are kept in the machine's ANSI code page; in a version-5 file the data of hex(1),
// hex(2) and hex(7) is UTF-16LE and is converted. Portable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/scenario/registry_snapshot.h"

namespace tvx {

enum class RegFileFormat { Regedit4, Version5 };

struct RegFileValue {
    std::string name;     // empty: the default value (@)
    bool remove = false;  // "name"=-
    uint32_t type = 0;
    std::vector<uint8_t> data;
    int line = 0;
};

struct RegFileKey {
    std::string path;     // canonical, hive name first
    bool remove = false;  // [-path]: the key and everything below it
    std::vector<RegFileValue> values;
    int line = 0;
};

struct RegFile {
    std::string file;  // as named in errors
    RegFileFormat format = RegFileFormat::Version5;
    std::vector<RegFileKey> keys;
};

// What applying a .reg file does to a registry, one call per entry in file order, paths canonical
// (hive name first). Each registry that takes .reg files (a snapshot, the simulated machine's,
// Wine's) provides its own.
class RegFileTarget {
public:
    virtual ~RegFileTarget() = default;
    // [-path]: the key and everything below it; a missing key is no error.
    virtual void RemoveTree(const std::string& path) = 0;
    // [path]: the key, and the keys on the way that are missing. Called before its values.
    virtual void EnsureKey(const std::string& path) = 0;
    // "name"=data: sets the value, made at the end of the key's values when new.
    virtual void SetValue(const std::string& path, const RegistryValue& value) = 0;
    // "name"=-: removes the value; a missing value is no error.
    virtual void DeleteValue(const std::string& path, const std::string& name) = 0;
};

// Applies a .reg file's additions and deletions to a registry in file order.
void ApplyRegFile(const RegFile& file, RegFileTarget& target);
void ApplyRegFile(const RegFile& file, RegistrySnapshot& snapshot);

// Parses the bytes of a .reg file; file_name is used in errors. Throws ScenarioError naming the
// file and line of the first problem.
RegFile ParseRegFile(std::string_view bytes, const std::string& file_name);
// Reads and parses a file; a file that cannot be read is a ScenarioError too.
RegFile ReadRegFile(const std::filesystem::path& path);

// A value's name as a .reg line starts: @ for the default value, else the quoted, escaped name.
std::string FormatRegName(std::string_view name);
// One value as a .reg line with version-5 meaning ("name"="text", dword:, hex(N):), long hex data
// continued over lines with a backslash and "\n  ".
std::string FormatRegValue(const RegistryValue& value);
// A readable rendering of string-typed data that a .reg line shows as hex: the text of
// REG_EXPAND_SZ, the items of REG_MULTI_SZ; empty when the .reg line already reads well.
std::string ReadableRegData(const RegistryValue& value);

// The whole snapshot as a version-5 file: UTF-16LE bytes with a byte order mark, CR LF line ends.
std::string WriteRegFile(const RegistrySnapshot& snapshot);
// The same text before encoding: ANSI, CR LF line ends.
std::string RegFileText(const RegistrySnapshot& snapshot);

// A registry difference as .reg text (version 5 meaning of the data, "\n" line ends), with comment
// lines saying what each entry is and what a changed or removed value was. Applied to the registry
// before, it gives the registry after.
std::string FormatRegistryDiff(const RegistryDiff& diff);

}  // namespace tvx
