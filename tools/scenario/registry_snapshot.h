// A machine's registry as plain data: keys by full path ("HKEY_LOCAL_MACHINE\SOFTWARE\X") with
// their values as exact bytes in the machine's ANSI view, and the difference between two
// snapshots as a list of added, changed and removed keys and values (reg_file.h reads .reg files
// into a snapshot and writes a snapshot or a difference as .reg text). Both machines (the
// simulated one and Wine) fill a snapshot in their own way; everything after that is shared.
// Portable.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

struct RegistryValue {
    std::string name;  // empty: the key's default value
    uint32_t type = 0;
    std::vector<uint8_t> data;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

struct RegistryKeyState {
    std::string path;                   // full path, hive name first
    std::vector<RegistryValue> values;  // in the key's order

    const RegistryValue* FindValue(std::string_view name) const;
};

// The full hive name for a path's first part ("HKLM" and "HKEY_LOCAL_MACHINE" both give
// "HKEY_LOCAL_MACHINE"), the rest with single backslashes. Nothing for an unknown hive.
std::optional<std::string> CanonicalRegistryPath(std::string_view path);

class RegistrySnapshot {
public:
    // Keys in Windows' order: parents before children, siblings sorted without regard to case.
    using KeyMap = std::map<std::string, RegistryKeyState>;

    const KeyMap& keys() const { return keys_; }
    const RegistryKeyState* Find(std::string_view path) const;
    // Creates the key and its missing parents (below the hive).
    RegistryKeyState& Ensure(std::string_view path);
    void SetValue(std::string_view path, RegistryValue value);
    bool DeleteValue(std::string_view path, std::string_view name);
    // Removes the key and everything below it.
    void RemoveTree(std::string_view path);

private:
    static std::string OrderKey(std::string_view path);
    KeyMap keys_;
};

struct ValueChange {
    std::string name;
    std::optional<RegistryValue> before;  // nothing: the value was added
    std::optional<RegistryValue> after;   // nothing: the value was removed
};

struct KeyChange {
    enum class Kind { Added, Removed, Changed };
    Kind kind = Kind::Changed;
    std::string path;
    std::vector<RegistryValue> values;  // Added: the new key's values
    std::vector<ValueChange> changes;   // Changed: its value changes
};

struct RegistryDiff {
    // Sorted by path, parents first. A removed key is listed once, for its whole subtree.
    std::vector<KeyChange> keys;
    bool empty() const { return keys.empty(); }
};

RegistryDiff DiffRegistry(const RegistrySnapshot& before, const RegistrySnapshot& after);

}  // namespace tvx
