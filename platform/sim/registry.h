// The simulated registry: hives of keys with case-insensitive names, subkeys in Windows' order,
// values in creation order with their exact bytes, handles in either view of a 64-bit machine
// (registry_views.h maps them), access checks on handles, and Windows' statuses; beside the
// registry calls, a small set-up API for scenarios and tests. Simulated machine only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include "platform/registry.h"
#include "platform/sim/handles.h"
#include "platform/sim/profile.h"
#include "platform/text/names.h"

namespace plat::sim {

struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// How many of a key's names or data have each length, so that the longest is known at once
// however names and data come and go.
class LengthTally {
public:
    void Add(size_t length) { ++counts_[length]; }
    void Remove(size_t length);
    size_t Max() const { return counts_.empty() ? 0 : counts_.rbegin()->first; }

private:
    std::map<size_t, size_t> counts_;
};

struct RegKey;

// A key's subkeys in Windows' order (names compared as Windows compares them). Found by name, read
// by position (as RegEnumKeyEx reads them), added and removed, each at a cost that grows with the
// logarithm of their number: a key may hold thousands of subkeys that a walk deletes one by one.
// Iterating gives each subkey's shared pointer.
class SubkeyList {
    struct NameLess {
        bool operator()(const std::string& a, const std::string& b) const { return text::CompareNames(a, b) < 0; }
    };
    using Tree = __gnu_pbds::tree<std::string, std::shared_ptr<RegKey>, NameLess, __gnu_pbds::rb_tree_tag,
                                  __gnu_pbds::tree_order_statistics_node_update>;

public:
    class const_iterator {
    public:
        explicit const_iterator(Tree::const_iterator it) : it_(it) {}
        const std::shared_ptr<RegKey>& operator*() const { return it_->second; }
        const std::shared_ptr<RegKey>* operator->() const { return &it_->second; }
        const_iterator& operator++() {
            ++it_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return it_ == other.it_; }
        bool operator!=(const const_iterator& other) const { return it_ != other.it_; }

    private:
        Tree::const_iterator it_;
    };

    size_t size() const { return tree_.size(); }
    bool empty() const { return tree_.empty(); }
    const_iterator begin() const { return const_iterator(tree_.begin()); }
    const_iterator end() const { return const_iterator(tree_.end()); }
    // The subkey at a position (below size()).
    const std::shared_ptr<RegKey>& operator[](size_t position) const { return tree_.find_by_order(position)->second; }
    // The subkey of that name; null when there is none.
    std::shared_ptr<RegKey> Find(std::string_view name) const;
    // Adds a subkey under its name, which no subkey has yet.
    void Insert(const std::string& name, std::shared_ptr<RegKey> key) { tree_.insert({name, std::move(key)}); }
    void Erase(const std::string& name) { tree_.erase(name); }

private:
    Tree tree_;
};

// A key. Only SimRegistry changes keys (their subkeys, values and the indexes beside them); what
// it hands out is read-only.
struct RegKey {
    std::string name;
    RegKey* parent = nullptr;
    SubkeyList subkeys;                            // sorted as Windows sorts them
    std::vector<RegValue> values;                  // in creation order
    FILETIME last_write{};
    bool deleted = false;

    // Beside the lists: each value's position by its name upper-cased, and the lengths of the
    // subkeys' names, the values' names and the values' data as RegQueryInfoKey reports them.
    std::unordered_map<std::string, size_t> value_positions;
    LengthTally subkey_name_lengths;
    LengthTally value_name_lengths;
    LengthTally value_data_lengths;

    std::shared_ptr<RegKey> FindSubkey(std::string_view name) const { return subkeys.Find(name); }
    RegValue* FindValue(std::string_view name);
    const RegValue* FindValue(std::string_view name) const;
    std::string Path() const;  // from the hive root, without the hive name
};

// The hives, numbered as plat::text::kHives lists them.
enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
const char* HiveName(Hive hive);  // "HKEY_LOCAL_MACHINE"

class SimRegistry : public RegistryBackend {
public:
    SimRegistry(HandleTable& handles, const MachineProfile& profile, const VirtualClock& clock);

    // Machine set-up, reports and tests: physical paths, no views, no access checks, no trace.
    // Keys and values change only through these calls and the registry calls below; what they
    // hand out is read-only.
    // The key at a path; null when a key on the way is missing.
    std::shared_ptr<const RegKey> FindKey(Hive hive, std::string_view path) const;
    // Makes the key and the keys on the way that are missing.
    void EnsureKey(Hive hive, std::string_view path);
    // Sets a value (made at the end of the key's values when new), making the key when missing.
    void SetValue(Hive hive, std::string_view path, std::string_view name, DWORD type, std::vector<BYTE> data);
    void SetString(Hive hive, std::string_view path, std::string_view name, std::string_view text);  // with NUL
    void SetDword(Hive hive, std::string_view path, std::string_view name, DWORD value);
    // Removes a value; false when the key or the value does not exist.
    bool DeleteValue(Hive hive, std::string_view path, std::string_view name);
    std::optional<RegValue> GetValue(Hive hive, std::string_view path, std::string_view name) const;
    // Removes a key with everything below it; false for a missing key or a hive's root.
    bool DeleteTree(Hive hive, std::string_view path);
    // Gives a key the last-write time that the registry calls report for it (a .reg file carries
    // none); false when the key does not exist.
    bool SetLastWriteTime(Hive hive, std::string_view path, FILETIME time);
    // Visits every key of a hive depth first, parents before children, subkeys in order.
    void Walk(Hive hive, const std::function<void(const RegKey& key, const std::string& path)>& visit) const;

    // The registry calls.
    LSTATUS RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) override;
    LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) override;
    LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) override;
    LSTATUS RegCloseKey(HKEY hKey) override;
    LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) override;
    LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) override;
    LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) override;
    LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) override;
    LSTATUS RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved) override;
    LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) override;
    LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) override;
    LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) override;

private:
    struct KeyHandle {
        std::shared_ptr<RegKey> key;
        Hive hive;
        std::vector<std::string> logical;
        bool view32 = false;
        REGSAM access = 0;
    };
    // What a handle a call is given stands for: an open key, or a predefined key (a hive's root).
    // Valid while the handle stays open.
    struct Base {
        std::shared_ptr<RegKey> key;
        Hive hive;
        const std::vector<std::string>* logical;  // the handle's own; empty for a predefined key
        bool view32 = false;
        bool predefined = false;
        REGSAM access = 0;  // what the handle may do; for a predefined key, the user's rights on its hive
    };

    std::shared_ptr<RegKey> Root(Hive hive) const;
    std::shared_ptr<RegKey> FindMutableKey(Hive hive, std::string_view path) const;
    std::shared_ptr<RegKey> EnsureMutableKey(Hive hive, std::string_view path);
    std::optional<Base> ResolveBase(HKEY hKey) const;
    std::shared_ptr<KeyHandle> HandleOf(HKEY hKey) const;
    REGSAM GrantedAccess(Hive hive, REGSAM requested) const;
    bool WriteDenied(Hive hive) const;
    // ERROR_ACCESS_DENIED unless the handle holds one of the rights; ERROR_SUCCESS otherwise.
    static LSTATUS CheckAccess(const Base& base, REGSAM rights);
    // ERROR_KEY_DELETED for a key deleted while a handle still refers to it; ERROR_SUCCESS otherwise.
    static LSTATUS CheckNotDeleted(const RegKey& key);
    LSTATUS Open(HKEY hKey, LPCSTR lpSubKey, REGSAM sam, bool create, PHKEY result, LPDWORD disposition);
    // what: the key's path below the hive, as the keys' names are stored.
    HKEY NewHandle(std::shared_ptr<RegKey> key, Hive hive, std::vector<std::string> logical, bool view32,
                   REGSAM access, const std::string& what);
    void Touch(RegKey& key) const;
    // The one way a key comes to be: made below parent, in Windows' order, both stamped with the time.
    std::shared_ptr<RegKey> AddSubkey(RegKey& parent, const std::string& name);
    // The one way a key goes: out of its parent's subkeys, marked deleted with everything below it.
    void Unlink(RegKey& key);
    // Sets a value's type and bytes, appending it when new, and stamps the key; a value given the
    // type and bytes it already has changes nothing, not even the time (as on Windows and Wine).
    void StoreValue(RegKey& key, std::string_view name, DWORD type, std::vector<BYTE> data);
    // Removes a value and stamps the key; false when there is no such value.
    bool RemoveValue(RegKey& key, std::string_view name);
    LSTATUS DeleteKey(HKEY hKey, LPCSTR lpSubKey, REGSAM view);

    HandleTable& handles_;
    const MachineProfile& profile_;
    const VirtualClock& clock_;
    std::shared_ptr<RegKey> roots_[5];
};

}  // namespace plat::sim
