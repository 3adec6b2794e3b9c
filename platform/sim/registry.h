// The simulated registry: hives of keys with case-insensitive names, subkeys in Windows' order,
// values in creation order with their exact bytes, the two views of a 64-bit machine, access
// checks on handles, and Windows' statuses. Simulated machine only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/handles.h"
#include "platform/sim/profile.h"

namespace plat::sim {

struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKey {
    std::string name;
    RegKey* parent = nullptr;
    std::vector<std::shared_ptr<RegKey>> subkeys;  // sorted as Windows sorts them
    std::vector<RegValue> values;                  // in creation order
    FILETIME last_write{};
    bool deleted = false;

    std::shared_ptr<RegKey> FindSubkey(std::string_view name) const;
    size_t SubkeyInsertPosition(std::string_view name) const;
    RegValue* FindValue(std::string_view name);
    std::string Path() const;  // from the hive root, without the hive name
};

// The hives, numbered as plat::text::kHives lists them.
enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
const char* HiveName(Hive hive);  // "HKEY_LOCAL_MACHINE"

class SimRegistry : public RegistryBackend {
public:
    SimRegistry(HandleTable& handles, const MachineProfile& profile, const VirtualClock& clock);

    // Machine set-up, reports and tests: physical paths, no views, no access checks, no trace.
    std::shared_ptr<RegKey> Root(Hive hive) const;
    std::shared_ptr<RegKey> FindKey(Hive hive, std::string_view path) const;
    std::shared_ptr<RegKey> EnsureKey(Hive hive, std::string_view path);
    void SetValue(Hive hive, std::string_view path, std::string_view name, DWORD type, std::vector<BYTE> data);
    void SetString(Hive hive, std::string_view path, std::string_view name, std::string_view text);  // with NUL
    void SetDword(Hive hive, std::string_view path, std::string_view name, DWORD value);
    std::optional<RegValue> GetValue(Hive hive, std::string_view path, std::string_view name) const;
    bool DeleteTree(Hive hive, std::string_view path);
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

    // The path a view maps a logical path to: on a 64-bit machine the 32-bit view sends
    // SOFTWARE below Wow6432Node, except the keys Windows 7 shares between the views.
    std::vector<std::string> PhysicalPath(Hive hive, const std::vector<std::string>& logical, bool view32) const;

private:
    struct KeyHandle {
        std::shared_ptr<RegKey> key;
        Hive hive;
        std::vector<std::string> logical;
        bool view32 = false;
        REGSAM access = 0;
    };
    struct Base {
        std::shared_ptr<RegKey> key;
        Hive hive;
        std::vector<std::string> logical;
        bool view32 = false;
        bool predefined = false;
    };

    std::optional<Base> ResolveBase(HKEY hKey) const;
    std::shared_ptr<KeyHandle> HandleOf(HKEY hKey) const;
    REGSAM GrantedAccess(Hive hive, REGSAM requested) const;
    bool WriteDenied(Hive hive) const;
    LSTATUS Open(HKEY hKey, LPCSTR lpSubKey, REGSAM sam, bool create, PHKEY result, LPDWORD disposition);
    HKEY NewHandle(std::shared_ptr<RegKey> key, Hive hive, std::vector<std::string> logical, bool view32,
                   REGSAM access);
    void Touch(RegKey& key) const;
    LSTATUS DeleteKey(HKEY hKey, LPCSTR lpSubKey, REGSAM view);

    HandleTable& handles_;
    const MachineProfile& profile_;
    const VirtualClock& clock_;
    std::shared_ptr<RegKey> roots_[5];
};

}  // namespace plat::sim
