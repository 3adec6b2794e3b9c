// The Wine harness's registry access. Win32 only.
#include "tools/wine/wine_registry.h"

#include <optional>

#include "platform/text/hives.h"
#include "platform/text/names.h"

namespace tvx::wine {
namespace {

constexpr DWORD kOpenLink = 0x00000008;  // REG_OPTION_OPEN_LINK: open a symbolic link itself

// What the snapshot walks, and what it leaves out below that.
struct WalkRoot {
    const char* label;  // as the report names it
    HKEY root;
    const char* path;
};
const WalkRoot kWalkRoots[] = {
    {"HKEY_LOCAL_MACHINE\\SOFTWARE", HKEY_LOCAL_MACHINE, "SOFTWARE"},
    {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet"},
    {"HKEY_CURRENT_USER\\Software", HKEY_CURRENT_USER, "Software"},
    // Where the co-installer looks for stale USB entries; Wine has no such key unless a scenario
    // makes it.
    {"HKEY_LOCAL_MACHINE\\Enum", HKEY_LOCAL_MACHINE, "Enum"},
};
const char* const kLeftOut[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",              // thousands of class registrations
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Classes",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wine",                 // Wine's own configuration
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Wine",
    "HKEY_CURRENT_USER\\Software\\Wine",
    "HKEY_CURRENT_USER\\Software\\Classes",
    // The service control manager's count of the service processes it started, which it raises
    // with every start (Windows too); the simulated machine's manager keeps no such count.
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ServiceCurrent",
};

bool LeftOut(const std::string& label) {
    for (const char* left : kLeftOut)
        if (plat::text::EqualNames(label, left)) return true;
    return false;
}

bool IsLink(HKEY parent, const char* name) {
    HKEY link = nullptr;
    if (RegOpenKeyExA(parent, name, kOpenLink, KEY_QUERY_VALUE, &link) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    LSTATUS status = RegQueryValueExA(link, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    RegCloseKey(link);
    return status == ERROR_SUCCESS && type == REG_LINK;
}

void Walk(HKEY key, const std::string& label, RegistrySnapshot& snapshot) {
    RegistryKeyState& state = snapshot.Ensure(label);
    DWORD maxName = 0, maxData = 0, maxSubkey = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &maxSubkey, nullptr, nullptr, &maxName, &maxData,
                     nullptr, nullptr);
    std::vector<char> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD cchName = static_cast<DWORD>(name.size());
        DWORD cbData = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LSTATUS status = RegEnumValueA(key, i, name.data(), &cchName, nullptr, &type, data.data(), &cbData);
        if (status == ERROR_MORE_DATA) {  // grew since the count was taken
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        state.values.push_back(RegistryValue{std::string(name.data(), cchName), static_cast<uint32_t>(type),
                                             std::vector<uint8_t>(data.begin(), data.begin() + cbData)});
    }
    std::vector<std::string> subkeys;
    std::vector<char> sub(maxSubkey + 2 > 256 ? maxSubkey + 2 : 256);
    for (DWORD i = 0;; ++i) {
        DWORD cch = static_cast<DWORD>(sub.size());
        if (RegEnumKeyExA(key, i, sub.data(), &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(sub.data(), cch);
    }
    for (const std::string& s : subkeys) {
        const std::string child = label + "\\" + s;
        if (LeftOut(child) || IsLink(key, s.c_str())) continue;
        HKEY h = nullptr;
        if (RegOpenKeyExA(key, s.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) continue;
        Walk(h, child, snapshot);
        RegCloseKey(h);
    }
}

}  // namespace

bool SplitRoot(const std::string& canonical, HKEY* root, std::string* rest) {
    const std::optional<plat::text::HivePath> split = plat::text::SplitHivePath(canonical);
    if (!split) return false;
    // The predefined handle as the SDK spells it: the 32-bit value, sign-extended.
    *root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(plat::text::kHives[split->hive].handle)));
    *rest = std::string(split->rest);
    return true;
}

LSTATUS WriteValue(HKEY key, const RegistryValue& value) {
    // RegSetValueExA stores one byte more for a string whose count leaves out a terminator that
    // follows it; a non-NUL byte behind the data keeps the stored bytes exactly as given.
    std::vector<BYTE> bytes(value.data.begin(), value.data.end());
    bytes.push_back(0xFF);
    return RegSetValueExA(key, value.name.c_str(), 0, value.type, bytes.data(), static_cast<DWORD>(value.data.size()));
}

LSTATUS DeleteTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) return status;
    for (;;) {
        char name[256];
        DWORD cch = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(root, path + "\\" + std::string(name, cch)) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, path.c_str());
}

RegistrySnapshot SnapshotRegistry() {
    RegistrySnapshot snapshot;
    for (const WalkRoot& r : kWalkRoots) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(r.root, r.path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        Walk(key, r.label, snapshot);
        RegCloseKey(key);
    }
    return snapshot;
}

RegistryLookup LiveRegistryLookup() {
    RegistryLookup lookup;
    lookup.key_exists = [](const std::string& path) {
        HKEY root = nullptr;
        std::string rest;
        if (!SplitRoot(path, &root, &rest)) return false;
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, rest.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    };
    lookup.value = [](const std::string& path, const std::string& name) -> std::optional<RegistryValue> {
        HKEY root = nullptr;
        std::string rest;
        if (!SplitRoot(path, &root, &rest)) return std::nullopt;
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, rest.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
        DWORD type = 0, size = 0;
        std::optional<RegistryValue> result;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<BYTE> data(size + 1);
            if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
                result = RegistryValue{name, static_cast<uint32_t>(type), std::vector<uint8_t>(data.begin(), data.begin() + size)};
        }
        RegCloseKey(key);
        return result;
    };
    return lookup;
}

}  // namespace tvx::wine
