// The registry's contract: what Windows does with the ANSI registry calls the logic makes, checked
// on the simulated machine and on Windows (Wine) alike. Portable: written against plat:: only.
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/system.h"
#include "tests/contract/check.h"
#include "tests/contract/scratch_key.h"

namespace {

using contract::Bytes;
using contract::ScratchKey;
using contract::ScratchPath;

// A handle value no registry call hands out, to see that an output was written.
HKEY const kSentinelKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5EB7));

// The bytes of a value (as many as its size), or "<status N>" when the query fails.
std::string Stored(HKEY key, const char* name) {
    DWORD size = 0;
    LSTATUS status = plat::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS) return "<status " + std::to_string(status) + ">";
    std::string data(size + 1, '\0');
    status = plat::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_SUCCESS) return "<status " + std::to_string(status) + ">";
    return data.substr(0, size);
}

LSTATUS Create(HKEY parent, const char* path, DWORD* disposition = nullptr, REGSAM sam = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    LSTATUS status = plat::RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key,
                                           disposition);
    if (status == ERROR_SUCCESS) plat::RegCloseKey(key);
    return status;
}

bool Exists(HKEY root, const std::string& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (plat::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    plat::RegCloseKey(key);
    return true;
}

// Subkey names in enumeration order, comma-separated.
std::string SubkeyList(HKEY key) {
    std::string list;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD cch = sizeof name;
        if (plat::RegEnumKeyExA(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (!list.empty()) list += ',';
        list.append(name, cch);
    }
    return list;
}

std::string ValueList(HKEY key) {
    std::string list;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD cch = sizeof name;
        if (plat::RegEnumValueA(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (!list.empty()) list += ',';
        list.append(name, cch);
    }
    return list;
}

LSTATUS SetString(HKEY key, const char* name, const char* text) {
    return plat::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(std::strlen(text) + 1));
}

}  // namespace

// NT stores one byte more than a string's count when the count left out a terminator that
// follows the data; an unterminated string stays unterminated.
CONTRACT_CASE(Registry, SetValueStoresTheTerminatorLeftOut) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("SetValueTerminator"));
    struct Row {
        const char* what;
        DWORD type;
        const char* data;  // a literal: a NUL always follows it
        DWORD count;
        DWORD stored;
    };
    const Row rows[] = {
        {"REG_SZ, count without the NUL", REG_SZ, "abcd", 4, 5},
        {"REG_SZ, count with the NUL", REG_SZ, "abcd", 5, 5},
        {"REG_SZ, no NUL after the counted bytes", REG_SZ, "abcdef", 3, 3},
        {"REG_EXPAND_SZ, count without the NUL", REG_EXPAND_SZ, "%TEMP%", 6, 7},
        {"REG_MULTI_SZ, count without the last NUL", REG_MULTI_SZ, "ab\0cd", 5, 6},
        {"REG_BINARY is not a string", REG_BINARY, "abcd", 4, 4},
        {"REG_DWORD with three bytes", REG_DWORD, "abc", 3, 3},
        {"REG_SZ, empty", REG_SZ, "abcd", 0, 0},
    };
    int n = 0;
    for (const Row& row : rows) {
        CONTEXT(row.what);
        std::string name = "v";
        name += std::to_string(n++);
        CHECK_EQ(plat::RegSetValueExA(scratch.get(), name.c_str(), 0, row.type,
                                      reinterpret_cast<const BYTE*>(row.data), row.count),
                 ERROR_SUCCESS);
        DWORD type = 0xDEADBEEF;
        DWORD size = 0xDEADBEEF;
        CHECK_EQ(plat::RegQueryValueExA(scratch.get(), name.c_str(), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        CHECK_EQ(type, row.type);
        CHECK_EQ(size, row.stored);
        CHECK_EQ(Stored(scratch.get(), name.c_str()), Bytes(row.data, row.stored));
    }
    // Data left out with a count is an access fault, not a crash.
    CHECK_EQ(plat::RegSetValueExA(scratch.get(), "null", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
}

// A query hands out exactly the stored bytes; for an unterminated string it adds a NUL when the
// buffer has room for one, without counting it.
CONTRACT_CASE(Registry, QueryOfAnUnterminatedString) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("QueryUnterminated"));
    REQUIRE_EQ(plat::RegSetValueExA(scratch.get(), "u", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdef"), 3),
               ERROR_SUCCESS);
    struct Row {
        const char* what;
        DWORD capacity;
        const char* expected;  // the whole 8-byte buffer afterwards
    };
    const Row rows[] = {
        {"room for a NUL", 8, "abc\0xxxx"},
        {"exactly the data", 3, "abcxxxxx"},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        char buffer[8];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD size = row.capacity;
        CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "u", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
                 ERROR_SUCCESS);
        CHECK_EQ(size, 3u);
        CHECK_EQ(Bytes(buffer, sizeof buffer), Bytes(row.expected, 8));
    }

    // A string of no bytes at all reads back as no bytes, the buffer untouched.
    REQUIRE_EQ(plat::RegSetValueExA(scratch.get(), "empty", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 0),
               ERROR_SUCCESS);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD size = sizeof buffer;
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "empty", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
             ERROR_SUCCESS);
    CHECK_EQ(size, 0u);
    CHECK_EQ(Bytes(buffer, sizeof buffer), "xxxxxxxx");
}

// Sizes and statuses of RegQueryValueExA: 234 with the needed size and the buffer left alone,
// the existence test, 2 for a missing value, 87 for data without a count; the thread's last error
// is never touched.
CONTRACT_CASE(Registry, QueryValueSizesAndStatuses) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("QuerySizes"));
    REQUIRE_EQ(SetString(scratch.get(), "s", "hello"), ERROR_SUCCESS);

    struct Row {
        const char* what;
        DWORD capacity;
        LSTATUS status;
        const char* expected;  // the whole 8-byte buffer afterwards
    };
    const Row rows[] = {
        {"buffer of strlen bytes", 5, ERROR_MORE_DATA, "xxxxxxxx"},
        {"buffer of no bytes", 0, ERROR_MORE_DATA, "xxxxxxxx"},
        {"buffer of strlen + 1 bytes", 6, ERROR_SUCCESS, "hello\0xx"},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        char buffer[8];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD size = row.capacity;
        DWORD type = 0xDEADBEEF;
        plat::SetLastError(0xDEADBEEF);
        CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "s", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
                 row.status);
        CHECK_EQ(size, 6u);
        CHECK_EQ(Bytes(buffer, sizeof buffer), Bytes(row.expected, 8));
        CHECK_EQ(plat::GetLastError(), 0xDEADBEEFu);
    }

    DWORD size = 0;
    DWORD type = 0;
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "s", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    CHECK_EQ(size, 6u);
    CHECK_EQ(type, REG_SZ);
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "s", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "S", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

    plat::SetLastError(0xDEADBEEF);
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "missing", nullptr, nullptr, nullptr, nullptr),
             ERROR_FILE_NOT_FOUND);
    char buffer[8];
    size = sizeof buffer;
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "missing", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
             ERROR_FILE_NOT_FOUND);
    CHECK_EQ(plat::GetLastError(), 0xDEADBEEFu);
    CHECK_EQ(plat::RegQueryValueExA(scratch.get(), "s", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
             ERROR_INVALID_PARAMETER);
}

// RegOpenKeyA with an empty or missing subkey name answers the handle it was given, so closing
// the result closes the caller's key; RegOpenKeyExA answers a new handle for an ordinary key and
// the key itself for a predefined one.
CONTRACT_CASE(Registry, OpenWithAnEmptySubkeyName) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("OpenEmpty"));
    REQUIRE_EQ(Create(scratch.get(), "child"), ERROR_SUCCESS);

    for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
        CONTEXT(empty ? "\"\"" : "NULL");
        HKEY same = kSentinelKey;
        CHECK_EQ(plat::RegOpenKeyA(scratch.get(), empty, &same), ERROR_SUCCESS);
        CHECK_EQ(same, scratch.get());
    }

    HKEY child = nullptr;
    REQUIRE_EQ(plat::RegOpenKeyExA(scratch.get(), "child", 0, KEY_READ, &child), ERROR_SUCCESS);
    HKEY fresh = kSentinelKey;
    CHECK_EQ(plat::RegOpenKeyExA(child, "", 0, KEY_READ, &fresh), ERROR_SUCCESS);
    CHECK(fresh != child && fresh != kSentinelKey && fresh != nullptr);
    if (fresh != child && fresh != kSentinelKey && fresh != nullptr) CHECK_EQ(plat::RegCloseKey(fresh), ERROR_SUCCESS);

    HKEY alias = kSentinelKey;
    CHECK_EQ(plat::RegOpenKeyA(child, "", &alias), ERROR_SUCCESS);
    CHECK_EQ(alias, child);
    CHECK_EQ(plat::RegCloseKey(alias), ERROR_SUCCESS);
    CHECK_EQ(plat::RegCloseKey(child), ERROR_INVALID_HANDLE);  // closed through its alias

    HKEY root = kSentinelKey;
    CHECK_EQ(plat::RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &root), ERROR_SUCCESS);
    CHECK_EQ(root, HKEY_CURRENT_USER);
    // Not closed: closing a predefined key would close the handle the process keeps for it under
    // every other thread. The simulated machine reports such a close as a finding.
}

// A key with subkeys cannot be deleted (5, access denied); a missing one gives 2; an empty subkey
// name deletes the key the handle refers to.
CONTRACT_CASE(Registry, DeleteKey) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("DeleteKey"));
    REQUIRE_EQ(Create(scratch.get(), "parent\\child"), ERROR_SUCCESS);

    CHECK_EQ(plat::RegDeleteKeyA(scratch.get(), "parent"), ERROR_ACCESS_DENIED);
    CHECK_EQ(plat::RegDeleteKeyExA(scratch.get(), "parent", 0, 0), ERROR_ACCESS_DENIED);
    CHECK(Exists(scratch.get(), "parent\\child"));
    CHECK_EQ(plat::RegDeleteKeyA(scratch.get(), "parent\\child"), ERROR_SUCCESS);
    CHECK_EQ(plat::RegDeleteKeyA(scratch.get(), "PARENT"), ERROR_SUCCESS);
    CHECK(!Exists(scratch.get(), "parent"));
    CHECK_EQ(plat::RegDeleteKeyA(scratch.get(), "parent"), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(plat::RegDeleteKeyExA(scratch.get(), "parent", 0, 0), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(plat::RegDeleteKeyA(scratch.get(), nullptr), ERROR_INVALID_PARAMETER);

    REQUIRE_EQ(Create(scratch.get(), "self"), ERROR_SUCCESS);
    HKEY self = nullptr;
    REQUIRE_EQ(plat::RegOpenKeyExA(scratch.get(), "self", 0, KEY_ALL_ACCESS, &self), ERROR_SUCCESS);
    CHECK_EQ(plat::RegDeleteKeyA(self, ""), ERROR_SUCCESS);
    CHECK(!Exists(scratch.get(), "self"));
    CHECK_EQ(plat::RegCloseKey(self), ERROR_SUCCESS);
}

// A key opened for a deleted key still closes, but every other use answers 1018.
CONTRACT_CASE(Registry, HandleOfADeletedKey) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("DeletedKey"));
    REQUIRE_EQ(Create(scratch.get(), "gone"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    REQUIRE_EQ(plat::RegOpenKeyExA(scratch.get(), "gone", 0, KEY_ALL_ACCESS, &gone), ERROR_SUCCESS);
    REQUIRE_EQ(plat::RegDeleteKeyA(scratch.get(), "gone"), ERROR_SUCCESS);

    CHECK_EQ(SetString(gone, "v", "x"), ERROR_KEY_DELETED);
    CHECK_EQ(plat::RegQueryValueExA(gone, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    CHECK_EQ(Create(gone, "child"), ERROR_KEY_DELETED);
    CHECK_EQ(plat::RegCloseKey(gone), ERROR_SUCCESS);
    CHECK(!Exists(scratch.get(), "gone"));
}

// Statuses of opening and closing: 2 with the output cleared, 6 for a null or closed handle (the
// output left alone), 87 for a missing output, 161 for a leading backslash; access is checked on the handle, not on the
// parent a key is created under.
CONTRACT_CASE(Registry, OpenAndCloseStatuses) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("OpenStatuses"));
    REQUIRE_EQ(Create(scratch.get(), "a\\b"), ERROR_SUCCESS);

    HKEY key = kSentinelKey;
    plat::SetLastError(0xDEADBEEF);
    CHECK_EQ(plat::RegOpenKeyExA(scratch.get(), "missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(key, static_cast<HKEY>(nullptr));
    CHECK_EQ(plat::GetLastError(), 0xDEADBEEFu);
    key = kSentinelKey;
    CHECK_EQ(plat::RegOpenKeyA(scratch.get(), "missing", &key), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(key, static_cast<HKEY>(nullptr));

    key = kSentinelKey;
    CHECK_EQ(plat::RegOpenKeyExA(nullptr, "a", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    CHECK_EQ(plat::RegOpenKeyExA(nullptr, "", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    CHECK_EQ(key, kSentinelKey);
    CHECK_EQ(plat::RegOpenKeyA(scratch.get(), "a", nullptr), ERROR_INVALID_PARAMETER);
    CHECK_EQ(plat::RegOpenKeyA(scratch.get(), nullptr, nullptr), ERROR_INVALID_PARAMETER);
    CHECK_EQ(plat::RegOpenKeyA(nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    // RegOpenKeyA hands back whatever it was given for an empty name, even no key at all.
    CHECK_EQ(plat::RegOpenKeyA(nullptr, nullptr, &key), ERROR_SUCCESS);
    CHECK_EQ(key, static_cast<HKEY>(nullptr));
    CHECK_EQ(plat::RegOpenKeyExA(scratch.get(), "\\a", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);

    struct Row {
        const char* path;
    };
    const Row tolerated[] = {{"a\\"}, {"a\\\\b"}, {"A\\B"}};
    for (const Row& row : tolerated) {
        CONTEXT(row.path);
        CHECK(Exists(scratch.get(), row.path));
    }

    HKEY readOnly = nullptr;
    REQUIRE_EQ(plat::RegOpenKeyExA(scratch.get(), "a", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    CHECK_EQ(SetString(readOnly, "v", "x"), ERROR_ACCESS_DENIED);
    CHECK_EQ(Create(readOnly, "made under a read-only handle"), ERROR_SUCCESS);
    CHECK(Exists(scratch.get(), "a\\made under a read-only handle"));
    CHECK_EQ(plat::RegCloseKey(readOnly), ERROR_SUCCESS);
    CHECK_EQ(plat::RegCloseKey(readOnly), ERROR_INVALID_HANDLE);
    CHECK_EQ(plat::RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

// Names are case-insensitive and case-preserving; "/" is an ordinary character; one create makes
// every missing level, and its disposition describes the last one.
CONTRACT_CASE(Registry, NamesAndDispositions) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("Names"));
    struct Row {
        const char* path;
        DWORD disposition;
    };
    const Row rows[] = {
        {"Mixed", REG_CREATED_NEW_KEY},  {"MIXED", REG_OPENED_EXISTING_KEY}, {"x/y", REG_CREATED_NEW_KEY},
        {"p\\q\\r", REG_CREATED_NEW_KEY}, {"P\\Q\\R", REG_OPENED_EXISTING_KEY}, {"p\\Q\\s", REG_CREATED_NEW_KEY},
    };
    for (const Row& row : rows) {
        CONTEXT(row.path);
        DWORD disposition = 0xDEADBEEF;
        CHECK_EQ(Create(scratch.get(), row.path, &disposition), ERROR_SUCCESS);
        CHECK_EQ(disposition, row.disposition);
    }
    CHECK_EQ(SubkeyList(scratch.get()), "Mixed,p,x/y");

    REQUIRE_EQ(SetString(scratch.get(), "Name", "v"), ERROR_SUCCESS);
    CHECK_EQ(Stored(scratch.get(), "NAME"), Bytes("v", 2));
    CHECK_EQ(plat::RegDeleteValueA(scratch.get(), "nAmE"), ERROR_SUCCESS);
    CHECK_EQ(plat::RegDeleteValueA(scratch.get(), "Name"), ERROR_FILE_NOT_FOUND);
}

// Enumeration by index: names with their length, 234 when the name and its NUL do not fit, 259
// at and past the end; RegQueryInfoKeyA's counts and longest lengths (data sizes as Windows
// stores them, strings in UTF-16, even through the ANSI call).
CONTRACT_CASE(Registry, Enumeration) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("Enumeration"));
    for (const char* name : {"beta", "Alpha", "0010", "zeta", "0002"}) REQUIRE_EQ(Create(scratch.get(), name), ERROR_SUCCESS);
    CHECK_EQ(SubkeyList(scratch.get()), "0002,0010,Alpha,beta,zeta");

    char name[256];
    DWORD cch = 5;
    CHECK_EQ(plat::RegEnumKeyExA(scratch.get(), 2, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    cch = 6;
    CHECK_EQ(plat::RegEnumKeyExA(scratch.get(), 2, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    CHECK_EQ(cch, 5u);
    CHECK_EQ(std::string(name), "Alpha");
    for (DWORD index : {5u, 6u, 1000u}) {
        CONTEXT("subkey index " + std::to_string(index));
        cch = sizeof name;
        CHECK_EQ(plat::RegEnumKeyExA(scratch.get(), index, name, &cch, nullptr, nullptr, nullptr, nullptr),
                 ERROR_NO_MORE_ITEMS);
    }

    const DWORD number = 7;
    REQUIRE_EQ(plat::RegSetValueExA(scratch.get(), "one", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
               ERROR_SUCCESS);
    REQUIRE_EQ(SetString(scratch.get(), "longer", "text"), ERROR_SUCCESS);
    cch = 3;
    CHECK_EQ(plat::RegEnumValueA(scratch.get(), 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    CHECK_EQ(plat::RegEnumValueA(scratch.get(), 0, nullptr, &cch, nullptr, nullptr, nullptr, nullptr),
             ERROR_INVALID_PARAMETER);
    cch = sizeof name;
    CHECK_EQ(plat::RegEnumValueA(scratch.get(), 2, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxData = 0;
    CHECK_EQ(plat::RegQueryInfoKeyA(scratch.get(), nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                    &maxValueName, &maxData, nullptr, nullptr),
             ERROR_SUCCESS);
    CHECK_EQ(subkeys, 5u);
    CHECK_EQ(maxSubkey, 5u);
    CHECK_EQ(values, 2u);
    CHECK_EQ(maxValueName, 6u);
    CHECK_EQ(maxData, 10u);  // "text" and its NUL as Windows keeps them: five UTF-16 characters
}

// Windows keeps subkeys sorted by their upper-cased names, so "[" and "_" come after letters.
CONTRACT_CASE(Registry, SubkeyOrderAroundPunctuation) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("SubkeyOrder"));
    for (const char* name : {"_under", "beta", "[br", "Alpha"}) REQUIRE_EQ(Create(scratch.get(), name), ERROR_SUCCESS);
    KNOWN_DIFFERENCE(Wine, "Wine sorts subkeys by lower-cased name, which puts [ \\ ] ^ _ ` before letters") {
        CHECK_EQ(SubkeyList(scratch.get()), "Alpha,beta,[br,_under");
    }
}

// Windows keeps values in creation order: a value deleted and set again moves to the end.
CONTRACT_CASE(Registry, ValueOrder) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("ValueOrder"));
    for (const char* name : {"zeta", "alpha", "mid"}) REQUIRE_EQ(SetString(scratch.get(), name, "x"), ERROR_SUCCESS);
    KNOWN_DIFFERENCE(Wine, "Wine keeps values sorted by name") { CHECK_EQ(ValueList(scratch.get()), "zeta,alpha,mid"); }
    REQUIRE_EQ(plat::RegDeleteValueA(scratch.get(), "alpha"), ERROR_SUCCESS);
    REQUIRE_EQ(SetString(scratch.get(), "alpha", "y"), ERROR_SUCCESS);
    KNOWN_DIFFERENCE(Wine, "Wine keeps values sorted by name") { CHECK_EQ(ValueList(scratch.get()), "zeta,mid,alpha"); }
}

// The two views of a 64-bit machine: KEY_WOW64_32KEY sends HKLM\Software below Wow6432Node,
// also for keys opened relative to a 32-bit handle; HKLM\SYSTEM and the keys Windows shares
// (CurrentVersion\Setup among them) are one key in both views.
CONTRACT_CASE(Registry, Wow64Views) {
    const std::string software = ScratchPath("Wow64Software");
    const std::string wowSoftware = "Software\\Wow6432Node\\TvxContract\\Wow64Software";
    {
        ScratchKey view32(HKEY_LOCAL_MACHINE, software, KEY_WOW64_32KEY);
        CHECK(Exists(HKEY_LOCAL_MACHINE, software, KEY_WOW64_32KEY));
        CHECK(Exists(HKEY_LOCAL_MACHINE, wowSoftware));
        CHECK(!Exists(HKEY_LOCAL_MACHINE, software));
        CHECK(!Exists(HKEY_LOCAL_MACHINE, software, KEY_WOW64_64KEY));
        CHECK_EQ(plat::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, software.c_str(), 0, 0), ERROR_FILE_NOT_FOUND);
        CHECK_EQ(plat::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, software.c_str(), KEY_WOW64_32KEY, 0), ERROR_SUCCESS);
        CHECK(!Exists(HKEY_LOCAL_MACHINE, wowSoftware));
    }
    {
        ScratchKey view64(HKEY_LOCAL_MACHINE, software, KEY_WOW64_64KEY);
        CHECK(Exists(HKEY_LOCAL_MACHINE, software));
        CHECK(!Exists(HKEY_LOCAL_MACHINE, wowSoftware));
    }
    {
        HKEY software32 = nullptr;
        REQUIRE_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software32),
                   ERROR_SUCCESS);
        CHECK_EQ(Create(software32, "TvxContract\\Wow64Relative"), ERROR_SUCCESS);
        CHECK_EQ(plat::RegCloseKey(software32), ERROR_SUCCESS);
        CHECK(Exists(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\TvxContract\\Wow64Relative"));
        CHECK(!Exists(HKEY_LOCAL_MACHINE, ScratchPath("Wow64Relative")));
        contract::DeleteTree(HKEY_LOCAL_MACHINE, ScratchPath("Wow64Relative"), KEY_WOW64_32KEY);
        plat::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\TvxContract", KEY_WOW64_32KEY, 0);
    }
    struct Row {
        const char* path;
    };
    const Row shared[] = {
        {"SYSTEM\\TvxContract\\Wow64Shared"},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\TvxContract\\Wow64Shared"},
    };
    for (const Row& row : shared) {
        CONTEXT(row.path);
        ScratchKey view32(HKEY_LOCAL_MACHINE, row.path, KEY_WOW64_32KEY);
        CHECK(Exists(HKEY_LOCAL_MACHINE, row.path));
        CHECK(Exists(HKEY_LOCAL_MACHINE, row.path, KEY_WOW64_32KEY));
    }
    CHECK(Exists(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node"));
}

namespace {

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// A key's last-write time as RegQueryInfoKeyA reports it; 0 when the query fails.
uint64_t LastWrite(HKEY key) {
    FILETIME t{};
    if (plat::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, &t) != ERROR_SUCCESS)
        return 0;
    return Ticks(t);
}

// A subkey's last-write time as RegEnumKeyExA reports it; 0 when the enumeration fails.
uint64_t EnumeratedLastWrite(HKEY parent, DWORD index) {
    char name[256];
    DWORD cch = sizeof name;
    FILETIME t{};
    if (plat::RegEnumKeyExA(parent, index, name, &cch, nullptr, nullptr, nullptr, &t) != ERROR_SUCCESS) return 0;
    return Ticks(t);
}

}  // namespace

CONTRACT_CASE(Registry, LastWriteTimesFollowChangesOfTheKeyItself) {
    ScratchKey scratch(HKEY_CURRENT_USER, ScratchPath("LastWriteTimes"));
    HKEY first = nullptr, second = nullptr;
    REQUIRE_EQ(plat::RegCreateKeyExA(scratch.get(), "First", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &first, nullptr),
               ERROR_SUCCESS);
    const uint64_t created = LastWrite(first);
    CHECK(created != 0);
    // Times advance with the clock: a pause makes every later change visibly later.
    auto pause = [] { plat::Sleep(30); };
    pause();
    const uint64_t parent_before = LastWrite(scratch.get());
    REQUIRE_EQ(plat::RegCreateKeyExA(scratch.get(), "Second", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &second, nullptr),
               ERROR_SUCCESS);
    CHECK(LastWrite(second) > created);
    CHECK(LastWrite(scratch.get()) > parent_before);  // a new subkey changes its parent
    CHECK_EQ(EnumeratedLastWrite(scratch.get(), 0), LastWrite(first));
    CHECK_EQ(EnumeratedLastWrite(scratch.get(), 1), LastWrite(second));

    const BYTE data[] = "x";
    enum Effect { Later, Same };
    struct Step {
        const char* what;
        HKEY* watched;
        Effect effect;
        void (*change)(HKEY scratch, HKEY first, HKEY second, const BYTE* data);
    } steps[] = {
        {"value set", &first, Later,
         [](HKEY, HKEY f, HKEY, const BYTE* d) { plat::RegSetValueExA(f, "v", 0, REG_SZ, d, 2); }},
        {"the same value set again", &first, Same,
         [](HKEY, HKEY f, HKEY, const BYTE* d) { plat::RegSetValueExA(f, "v", 0, REG_SZ, d, 2); }},
        {"a subkey's value set, seen from the parent", nullptr, Same,
         [](HKEY, HKEY, HKEY s, const BYTE* d) { plat::RegSetValueExA(s, "v", 0, REG_SZ, d, 2); }},
        {"value read", &first, Same,
         [](HKEY, HKEY f, HKEY, const BYTE*) { plat::RegQueryValueExA(f, "v", nullptr, nullptr, nullptr, nullptr); }},
        {"existing subkey opened by create", nullptr, Same,
         [](HKEY sc, HKEY, HKEY, const BYTE*) {
             HKEY again = nullptr;
             if (plat::RegCreateKeyExA(sc, "First", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, nullptr) ==
                 ERROR_SUCCESS)
                 plat::RegCloseKey(again);
         }},
        {"missing value deleted", &first, Same,
         [](HKEY, HKEY f, HKEY, const BYTE*) { plat::RegDeleteValueA(f, "missing"); }},
        {"value deleted", &first, Later, [](HKEY, HKEY f, HKEY, const BYTE*) { plat::RegDeleteValueA(f, "v"); }},
        {"subkey deleted, seen from the parent", nullptr, Later,
         [](HKEY sc, HKEY, HKEY, const BYTE*) { plat::RegDeleteKeyA(sc, "Second"); }},
    };
    for (const Step& step : steps) {
        CONTEXT(step.what);
        HKEY watched = step.watched ? *step.watched : scratch.get();
        const uint64_t before = LastWrite(watched);
        pause();
        step.change(scratch.get(), first, second, data);
        const uint64_t after = LastWrite(watched);
        if (step.effect == Later) {
            CHECK(after > before);
        } else {
            CHECK_EQ(after, before);
        }
    }
    plat::RegCloseKey(second);
    plat::RegCloseKey(first);
}
