// The registry's root keys (hives): their full names, the short names .reg files, scenarios and
// traces use, and the values of their predefined handles, listed once. Header-only, portable: no
// Windows and no simulated machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/text/names.h"

namespace plat::text {

struct HiveInfo {
    const char* name;          // "HKEY_LOCAL_MACHINE"
    const char* abbreviation;  // "HKLM"
    uint32_t handle;           // the low 32 bits of the predefined handle HKEY_LOCAL_MACHINE
};

// The simulated machine numbers its hives in this order.
inline constexpr HiveInfo kHives[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", 0x80000000u}, {"HKEY_CURRENT_USER", "HKCU", 0x80000001u},
    {"HKEY_LOCAL_MACHINE", "HKLM", 0x80000002u}, {"HKEY_USERS", "HKU", 0x80000003u},
    {"HKEY_CURRENT_CONFIG", "HKCC", 0x80000005u},
};
inline constexpr size_t kHiveCount = sizeof kHives / sizeof kHives[0];

// The index in kHives of the hive a name stands for, full or short, in any letter case; nothing
// for any other name.
constexpr std::optional<size_t> FindHive(std::string_view name) {
    for (size_t i = 0; i < kHiveCount; ++i)
        if (EqualNames(name, kHives[i].name) || EqualNames(name, kHives[i].abbreviation)) return i;
    return std::nullopt;
}

// The index of the hive whose predefined handle has these low 32 bits; nothing for other values
// (HKEY_PERFORMANCE_DATA among them).
constexpr std::optional<size_t> FindHiveByHandle(uint32_t handle) {
    for (size_t i = 0; i < kHiveCount; ++i)
        if (kHives[i].handle == handle) return i;
    return std::nullopt;
}

struct HivePath {
    size_t hive;            // index in kHives
    std::string_view rest;  // the path below the hive, as written; empty for the hive itself
};

// A path cut at its first backslash into its hive and the rest: "HKLM\SOFTWARE\X" gives
// HKEY_LOCAL_MACHINE and "SOFTWARE\X". Nothing when the first part names no hive. The rest views
// the caller's text.
constexpr std::optional<HivePath> SplitHivePath(std::string_view path) {
    const size_t slash = path.find('\\');
    const std::optional<size_t> hive = FindHive(path.substr(0, slash));
    if (!hive) return std::nullopt;
    return HivePath{*hive, slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1)};
}

}  // namespace plat::text
