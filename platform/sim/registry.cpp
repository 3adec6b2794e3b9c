// The simulated registry. Simulated machine only.
#include "platform/sim/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host/call_layer.h"
#include "platform/sim/registry_views.h"
#include "platform/text/hives.h"
#include "platform/text/names.h"

namespace plat::sim {

static_assert(text::kHiveCount == 5 && text::kHives[static_cast<size_t>(Hive::ClassesRoot)].handle == 0x80000000u &&
                  text::kHives[static_cast<size_t>(Hive::CurrentUser)].handle == 0x80000001u &&
                  text::kHives[static_cast<size_t>(Hive::LocalMachine)].handle == 0x80000002u &&
                  text::kHives[static_cast<size_t>(Hive::Users)].handle == 0x80000003u &&
                  text::kHives[static_cast<size_t>(Hive::CurrentConfig)].handle == 0x80000005u,
              "Hive numbers the hives as plat::text::kHives lists them");

namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool IsPredefinedValue(HKEY hKey) {
    auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey));
    return low >= 0x80000000u && low <= 0x80000006u;
}

}  // namespace

const char* HiveName(Hive hive) { return text::kHives[static_cast<size_t>(hive)].name; }

std::shared_ptr<RegKey> SubkeyList::Find(std::string_view name) const {
    auto it = tree_.find(std::string(name));
    return it == tree_.end() ? nullptr : it->second;
}

namespace {

// A name as the value index files it: upper-cased as names are compared.
std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = text::UpperAscii(c);
    return folded;
}

// The data length RegQueryInfoKey reports: Windows keeps strings in UTF-16 and reports that size,
// also to the ANSI call.
size_t ReportedDataLength(const RegValue& v) { return IsStringType(v.type) ? 2 * v.data.size() : v.data.size(); }

}  // namespace

void LengthTally::Remove(size_t length) {
    auto it = counts_.find(length);
    if (it == counts_.end()) return;
    if (--it->second == 0) counts_.erase(it);
}

RegValue* RegKey::FindValue(std::string_view n) {
    auto it = value_positions.find(Folded(n));
    return it == value_positions.end() ? nullptr : &values[it->second];
}

const RegValue* RegKey::FindValue(std::string_view n) const {
    auto it = value_positions.find(Folded(n));
    return it == value_positions.end() ? nullptr : &values[it->second];
}

std::string RegKey::Path() const {
    if (!parent) return "";
    std::string up = parent->Path();
    return up.empty() ? name : up + "\\" + name;
}

SimRegistry::SimRegistry(HandleTable& handles, const MachineProfile& profile, const VirtualClock& clock)
    : handles_(handles), profile_(profile), clock_(clock) {
    for (auto& root : roots_) root = std::make_shared<RegKey>();
}

std::shared_ptr<RegKey> SimRegistry::Root(Hive hive) const { return roots_[static_cast<int>(hive)]; }

// Keys, values and their changes: shared by the set-up API and the registry calls.

void SimRegistry::Touch(RegKey& key) const { key.last_write = clock_.FileTime(); }

std::shared_ptr<RegKey> SimRegistry::AddSubkey(RegKey& parent, const std::string& name) {
    auto key = std::make_shared<RegKey>();
    key->name = name;
    key->parent = &parent;
    Touch(*key);
    parent.subkeys.Insert(name, key);
    parent.subkey_name_lengths.Add(name.size());
    Touch(parent);
    return key;
}

namespace {
// A deleted key stays alive while handles refer to it; it no longer knows its parent.
void MarkDeleted(RegKey& key) {
    key.deleted = true;
    key.parent = nullptr;
    for (auto& sub : key.subkeys) MarkDeleted(*sub);
}
}  // namespace

void SimRegistry::Unlink(RegKey& key) {
    RegKey* parent = key.parent;
    parent->subkeys.Erase(key.name);
    parent->subkey_name_lengths.Remove(key.name.size());
    MarkDeleted(key);
    Touch(*parent);
}

void SimRegistry::StoreValue(RegKey& key, std::string_view name, DWORD type, std::vector<BYTE> data) {
    if (RegValue* v = key.FindValue(name)) {
        if (v->type == type && v->data == data) return;
        key.value_data_lengths.Remove(ReportedDataLength(*v));
        v->type = type;
        v->data = std::move(data);
        key.value_data_lengths.Add(ReportedDataLength(*v));
    } else {
        key.value_positions.emplace(Folded(name), key.values.size());
        key.values.push_back(RegValue{std::string(name), type, std::move(data)});
        key.value_name_lengths.Add(name.size());
        key.value_data_lengths.Add(ReportedDataLength(key.values.back()));
    }
    Touch(key);
}

bool SimRegistry::RemoveValue(RegKey& key, std::string_view name) {
    auto found = key.value_positions.find(Folded(name));
    if (found == key.value_positions.end()) return false;
    const size_t position = found->second;
    key.value_positions.erase(found);
    const RegValue& gone = key.values[position];
    key.value_name_lengths.Remove(gone.name.size());
    key.value_data_lengths.Remove(ReportedDataLength(gone));
    key.values.erase(key.values.begin() + static_cast<long>(position));
    // The values after it moved up by one.
    for (auto& [folded, at] : key.value_positions)
        if (at > position) --at;
    Touch(key);
    return true;
}

// The set-up API.

namespace {

// Calls visit with each part of a registry path, empty parts left out (as SplitPath splits it);
// stops early when visit answers false.
template <class Visit>
void ForEachPart(std::string_view path, Visit visit) {
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start && !visit(path.substr(start, end - start))) return;
        start = end + 1;
    }
}

}  // namespace

std::shared_ptr<RegKey> SimRegistry::FindMutableKey(Hive hive, std::string_view path) const {
    std::shared_ptr<RegKey> key = Root(hive);
    ForEachPart(path, [&](std::string_view part) {
        key = key->FindSubkey(part);
        return key != nullptr;
    });
    return key;
}

std::shared_ptr<const RegKey> SimRegistry::FindKey(Hive hive, std::string_view path) const {
    return FindMutableKey(hive, path);
}

std::shared_ptr<RegKey> SimRegistry::EnsureMutableKey(Hive hive, std::string_view path) {
    std::shared_ptr<RegKey> key = Root(hive);
    ForEachPart(path, [&](std::string_view part) {
        std::shared_ptr<RegKey> next = key->FindSubkey(part);
        key = next ? std::move(next) : AddSubkey(*key, std::string(part));
        return true;
    });
    return key;
}

void SimRegistry::EnsureKey(Hive hive, std::string_view path) { EnsureMutableKey(hive, path); }

void SimRegistry::SetValue(Hive hive, std::string_view path, std::string_view name, DWORD type,
                           std::vector<BYTE> data) {
    StoreValue(*EnsureMutableKey(hive, path), name, type, std::move(data));
}

void SimRegistry::SetString(Hive hive, std::string_view path, std::string_view name, std::string_view text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    SetValue(hive, path, name, REG_SZ, std::move(bytes));
}

void SimRegistry::SetDword(Hive hive, std::string_view path, std::string_view name, DWORD value) {
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    SetValue(hive, path, name, REG_DWORD, std::move(bytes));
}

bool SimRegistry::DeleteValue(Hive hive, std::string_view path, std::string_view name) {
    std::shared_ptr<RegKey> key = FindMutableKey(hive, path);
    return key && RemoveValue(*key, name);
}

std::optional<RegValue> SimRegistry::GetValue(Hive hive, std::string_view path, std::string_view name) const {
    std::shared_ptr<const RegKey> key = FindKey(hive, path);
    if (!key) return std::nullopt;
    if (const RegValue* v = key->FindValue(name)) return *v;
    return std::nullopt;
}

bool SimRegistry::DeleteTree(Hive hive, std::string_view path) {
    std::shared_ptr<RegKey> key = FindMutableKey(hive, path);
    if (!key || !key->parent) return false;
    Unlink(*key);
    return true;
}

bool SimRegistry::SetLastWriteTime(Hive hive, std::string_view path, FILETIME time) {
    std::shared_ptr<RegKey> key = FindMutableKey(hive, path);
    if (!key) return false;
    key->last_write = time;
    return true;
}

void SimRegistry::Walk(Hive hive, const std::function<void(const RegKey&, const std::string&)>& visit) const {
    std::function<void(const RegKey&, const std::string&)> rec = [&](const RegKey& key, const std::string& path) {
        visit(key, path);
        for (const auto& sub : key.subkeys) rec(*sub, path.empty() ? sub->name : path + "\\" + sub->name);
    };
    rec(*Root(hive), "");
}

// The registry calls.

std::shared_ptr<SimRegistry::KeyHandle> SimRegistry::HandleOf(HKEY hKey) const {
    return handles_.Get<KeyHandle>(reinterpret_cast<uintptr_t>(hKey), HandleKind::RegistryKey);
}

std::optional<SimRegistry::Base> SimRegistry::ResolveBase(HKEY hKey) const {
    if (!hKey) return std::nullopt;
    if (IsPredefinedValue(hKey)) {
        const auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey));
        std::optional<size_t> index = text::FindHiveByHandle(low);
        if (!index) return std::nullopt;
        const auto hive = static_cast<Hive>(*index);
        static const std::vector<std::string> kRootPath;
        return Base{Root(hive), hive, &kRootPath, false, true, GrantedAccess(hive, MAXIMUM_ALLOWED)};
    }
    // The handle table keeps the handle's record alive while the handle is open.
    std::shared_ptr<KeyHandle> h = HandleOf(hKey);
    if (!h) return std::nullopt;
    return Base{h->key, h->hive, &h->logical, h->view32, false, h->access};
}

bool SimRegistry::WriteDenied(Hive hive) const { return hive == Hive::LocalMachine && !profile_.admin; }

REGSAM SimRegistry::GrantedAccess(Hive hive, REGSAM requested) const {
    REGSAM rights = requested & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (rights & MAXIMUM_ALLOWED) rights = WriteDenied(hive) ? KEY_READ : KEY_ALL_ACCESS;
    if (rights & GENERIC_READ) rights = (rights & ~GENERIC_READ) | KEY_READ;
    if (rights & GENERIC_WRITE) rights = (rights & ~GENERIC_WRITE) | KEY_WRITE;
    if (rights & GENERIC_EXECUTE) rights = (rights & ~GENERIC_EXECUTE) | KEY_EXECUTE;
    if (rights & GENERIC_ALL) rights = (rights & ~GENERIC_ALL) | KEY_ALL_ACCESS;
    return rights;
}

LSTATUS SimRegistry::CheckAccess(const Base& base, REGSAM rights) {
    return (base.access & rights) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS SimRegistry::CheckNotDeleted(const RegKey& key) { return key.deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS; }

HKEY SimRegistry::NewHandle(std::shared_ptr<RegKey> key, Hive hive, std::vector<std::string> logical, bool view32,
                            REGSAM access, const std::string& what) {
    auto h = std::make_shared<KeyHandle>(KeyHandle{std::move(key), hive, std::move(logical), view32, access});
    return reinterpret_cast<HKEY>(
        handles_.Add(HandleKind::RegistryKey, h, std::string(HiveName(hive)) + "\\" + what));
}

LSTATUS SimRegistry::Open(HKEY hKey, LPCSTR lpSubKey, REGSAM sam, bool create, PHKEY result,
                          LPDWORD disposition) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    std::string_view sub = lpSubKey ? lpSubKey : "";
    if (!sub.empty() && sub[0] == '\\') return ERROR_BAD_PATHNAME;
    std::vector<std::string> parts = text::SplitPath(sub);
    for (const std::string& p : parts)
        if (p.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;

    REGSAM access = GrantedAccess(base->hive, sam);
    const REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
    if (WriteDenied(base->hive) && (access & kWriteRights)) return ERROR_ACCESS_DENIED;

    bool view32 = InView32(profile_.is_64bit, base->view32, sam);
    std::vector<std::string> logical;
    logical.reserve(base->logical->size() + parts.size());
    logical = *base->logical;
    logical.insert(logical.end(), std::make_move_iterator(parts.begin()), std::make_move_iterator(parts.end()));
    std::vector<std::string> physical = PhysicalPath(base->hive, logical, view32);

    std::shared_ptr<RegKey> key = Root(base->hive);
    std::string path;  // the key's path as its names are stored
    bool created = false;
    for (const std::string& part : physical) {
        std::shared_ptr<RegKey> next = key->FindSubkey(part);
        created = !next;
        if (!next) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (WriteDenied(base->hive)) return ERROR_ACCESS_DENIED;
            next = AddSubkey(*key, part);
        }
        key = std::move(next);
        if (!path.empty()) path += '\\';
        path += key->name;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(std::move(key), base->hive, std::move(logical), view32, access, path);
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (!lpSubKey || !*lpSubKey) {
        *phkResult = hKey;  // the same handle, not a new one, and not even looked at
        return ERROR_SUCCESS;
    }
    return Open(hKey, lpSubKey, MAXIMUM_ALLOWED, false, phkResult, nullptr);
}

LSTATUS SimRegistry::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if ((!lpSubKey || !*lpSubKey) && IsPredefinedValue(hKey) && ResolveBase(hKey)) {
        if (!phkResult) return ERROR_INVALID_PARAMETER;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return Open(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LSTATUS SimRegistry::RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                                     LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return Open(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LSTATUS SimRegistry::RegCloseKey(HKEY hKey) {
    if (hKey && IsPredefinedValue(hKey)) {
        // Windows answers success and, in a process that has used the key, closes the handle it
        // keeps cached for it under every other thread of the host. No part of the system may do
        // that, so the machine reports it as a finding while it answers as Windows does.
        const auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey));
        std::optional<size_t> index = text::FindHiveByHandle(low);
        char number[16];
        std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(low));
        std::string what = "RegCloseKey of a predefined key (";
        what += index ? text::kHives[*index].name : number;
        what += ")";
        plat::host::Layer().NoteNotModelled(what.c_str());
        return ERROR_SUCCESS;
    }
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(hKey), HandleKind::RegistryKey)) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

namespace {

// Copies a value's data out as Windows does: a string stored without its terminator gets one
// appended when the buffer has room for it, but the count does not include it.
void CopyData(const RegValue& v, LPBYTE data, DWORD capacity) {
    if (!v.data.empty()) std::memcpy(data, v.data.data(), v.data.size());
    // A value of no bytes leaves the buffer untouched.
    if (IsStringType(v.type) && capacity > v.data.size() && !v.data.empty() && v.data.back() != 0)
        data[v.data.size()] = 0;
}

}  // namespace

LSTATUS SimRegistry::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                      LPDWORD lpcbData) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    if (LSTATUS status = CheckAccess(*base, KEY_QUERY_VALUE)) return status;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    RegValue* v = base->key->FindValue(lpValueName ? lpValueName : "");
    if (!v) return ERROR_FILE_NOT_FOUND;
    auto size = static_cast<DWORD>(v->data.size());
    if (lpType) *lpType = v->type;
    if (!lpData) {
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    CopyData(*v, lpData, *lpcbData);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                                    DWORD cbData) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (LSTATUS status = CheckAccess(*base, KEY_SET_VALUE)) return status;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    std::string_view name = lpValueName ? lpValueName : "";
    if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    if (!lpData && cbData > 0) return ERROR_NOACCESS;
    std::vector<BYTE> bytes;
    if (cbData > 0) {
        bytes.assign(lpData, lpData + cbData);
        // NT stores the terminator that a string's byte count left out, when it follows the data.
        if (IsStringType(dwType) && lpData[cbData - 1] != 0 && lpData[cbData] == 0) bytes.push_back(0);
    }
    StoreValue(*base->key, name, dwType, std::move(bytes));
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (LSTATUS status = CheckAccess(*base, KEY_SET_VALUE)) return status;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    return RemoveValue(*base->key, lpValueName ? lpValueName : "") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LSTATUS SimRegistry::DeleteKey(HKEY hKey, LPCSTR lpSubKey, REGSAM view) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    HKEY target = nullptr;
    LSTATUS status = Open(hKey, lpSubKey, (view & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)), false, &target, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::shared_ptr<KeyHandle> h = HandleOf(target);
    std::shared_ptr<RegKey> key = h->key;
    Hive hive = h->hive;
    handles_.Remove(reinterpret_cast<uintptr_t>(target), HandleKind::RegistryKey);
    if (WriteDenied(hive)) return ERROR_ACCESS_DENIED;
    if (!key->parent) return ERROR_ACCESS_DENIED;  // a hive root
    if (!key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    Unlink(*key);
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) { return DeleteKey(hKey, lpSubKey, 0); }

LSTATUS SimRegistry::RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD) {
    return DeleteKey(hKey, lpSubKey, samDesired);
}

LSTATUS SimRegistry::RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                                   LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    if (LSTATUS status = CheckAccess(*base, KEY_ENUMERATE_SUB_KEYS)) return status;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    if (dwIndex >= base->key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegKey& sub = *base->key->subkeys[dwIndex];
    if (sub.name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    std::memcpy(lpName, sub.name.c_str(), sub.name.size() + 1);
    *lpcchName = static_cast<DWORD>(sub.name.size());
    if (lpClass && lpcchClass && *lpcchClass > 0) {
        lpClass[0] = 0;
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = sub.last_write;
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (!lpValueName || !lpcchValueName) return ERROR_INVALID_PARAMETER;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    if (LSTATUS status = CheckAccess(*base, KEY_QUERY_VALUE)) return status;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    if (dwIndex >= base->key->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = base->key->values[dwIndex];
    auto size = static_cast<DWORD>(v.data.size());
    if (v.name.size() + 1 > *lpcchValueName) return ERROR_MORE_DATA;
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(v.name.size());
    if (lpType) *lpType = v.type;
    if (lpData) CopyData(v, lpData, *lpcbData);
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    std::optional<Base> base = ResolveBase(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
    if (LSTATUS status = CheckAccess(*base, KEY_QUERY_VALUE)) return status;
    if (LSTATUS status = CheckNotDeleted(*base->key)) return status;
    const RegKey& key = *base->key;
    const auto maxSub = static_cast<DWORD>(key.subkey_name_lengths.Max());
    const auto maxName = static_cast<DWORD>(key.value_name_lengths.Max());
    const auto maxData = static_cast<DWORD>(key.value_data_lengths.Max());
    if (lpClass && *lpcchClass > 0) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = key.last_write;
    return ERROR_SUCCESS;
}

}  // namespace plat::sim
