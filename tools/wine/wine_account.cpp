// A standard user's answers to the co-installer's calls under Wine. Win32 only.
#include "tools/wine/wine_account.h"

#include <cstring>

namespace tvx::wine {
namespace {

constexpr REGSAM kKeyWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC |
                                   WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// What the service control manager grants every authenticated user.
constexpr DWORD kManagerUserRights =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | GENERIC_READ | READ_CONTROL;

// Whether a key handle lies below HKEY_LOCAL_MACHINE: the predefined key, or a key whose kernel
// name starts with \REGISTRY\MACHINE.
bool BelowLocalMachine(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return true;
    if (reinterpret_cast<ULONG_PTR>(key) >= 0x80000000u && reinterpret_cast<ULONG_PTR>(key) <= 0x80000006u)
        return false;  // the other predefined keys
    using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const NtQueryKeyFn query = reinterpret_cast<NtQueryKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
    if (!query) return false;
    const int kKeyNameInformation = 3;
    union {
        ULONG length;
        BYTE bytes[2048];
    } info{};
    ULONG size = 0;
    if (query(key, kKeyNameInformation, &info, sizeof info, &size) != 0) return false;
    const WCHAR* name = reinterpret_cast<const WCHAR*>(info.bytes + sizeof(ULONG));
    const wchar_t prefix[] = L"\\REGISTRY\\MACHINE";
    const size_t n = sizeof prefix / sizeof prefix[0] - 1;
    if (info.length / sizeof(WCHAR) < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (towupper(name[i]) != static_cast<wint_t>(prefix[i])) return false;
    return true;
}

bool WantsWrite(REGSAM sam) { return (sam & kKeyWriteRights) != 0; }

SC_HANDLE WINAPI UserOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
    if (access & ~kManagerUserRights) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return OpenSCManagerA(machine, database, access);
}

LSTATUS WINAPI UserRegOpenKeyExA(HKEY key, LPCSTR sub, DWORD options, REGSAM sam, PHKEY result) {
    // A predefined key with no subkey answers itself, whatever access is asked for: Windows
    // refreshes the predefined handle (opened with the most the account may have) and hands it back.
    if (key == HKEY_LOCAL_MACHINE && (!sub || !*sub)) return RegOpenKeyExA(key, sub, options, KEY_READ, result);
    if (BelowLocalMachine(key) && WantsWrite(sam)) return ERROR_ACCESS_DENIED;
    if (BelowLocalMachine(key) && (sam & MAXIMUM_ALLOWED)) sam = (sam & ~MAXIMUM_ALLOWED) | KEY_READ;
    return RegOpenKeyExA(key, sub, options, sam, result);
}

// RegOpenKeyA asks for the most the account may have: reading, below HKEY_LOCAL_MACHINE.
LSTATUS WINAPI UserRegOpenKeyA(HKEY key, LPCSTR sub, PHKEY result) {
    if (!BelowLocalMachine(key) || !sub || !*sub) return RegOpenKeyA(key, sub, result);
    return RegOpenKeyExA(key, sub, 0, KEY_READ, result);
}

LSTATUS WINAPI UserRegCreateKeyExA(HKEY key, LPCSTR sub, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam,
                                   LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    if (!BelowLocalMachine(key))
        return RegCreateKeyExA(key, sub, reserved, cls, options, sam, security, result, disposition);
    if (WantsWrite(sam)) return ERROR_ACCESS_DENIED;
    // An existing key opens for reading; making a new one needs a write right on its parent.
    LSTATUS status = RegOpenKeyExA(key, sub, 0, (sam & MAXIMUM_ALLOWED) ? KEY_READ : sam, result);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_ACCESS_DENIED;
    if (status == ERROR_SUCCESS && disposition) *disposition = REG_OPENED_EXISTING_KEY;
    return status;
}

LSTATUS WINAPI UserRegCreateKeyA(HKEY key, LPCSTR sub, PHKEY result) {
    if (!BelowLocalMachine(key) || !sub || !*sub) return RegCreateKeyA(key, sub, result);
    LSTATUS status = RegOpenKeyExA(key, sub, 0, KEY_READ, result);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : status;
}

LSTATUS WINAPI UserRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    if (key == HKEY_LOCAL_MACHINE) return ERROR_ACCESS_DENIED;
    return RegSetValueExA(key, name, reserved, type, data, size);
}

LSTATUS WINAPI UserRegDeleteValueA(HKEY key, LPCSTR name) {
    if (key == HKEY_LOCAL_MACHINE) return ERROR_ACCESS_DENIED;
    return RegDeleteValueA(key, name);
}

LSTATUS WINAPI UserRegDeleteKeyA(HKEY key, LPCSTR sub) {
    if (BelowLocalMachine(key)) return ERROR_ACCESS_DENIED;
    return RegDeleteKeyA(key, sub);
}

LSTATUS WINAPI UserRegDeleteKeyExA(HKEY key, LPCSTR sub, REGSAM sam, DWORD reserved) {
    if (BelowLocalMachine(key)) return ERROR_ACCESS_DENIED;
    return RegDeleteKeyExA(key, sub, sam, reserved);
}

HKEY WINAPI UserSetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD scope, DWORD profile, DWORD type,
                                     REGSAM sam) {
    // Device keys lie below HKEY_LOCAL_MACHINE.
    if (WantsWrite(sam)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    return SetupDiOpenDevRegKey(set, data, scope, profile, type, sam);
}

HKEY WINAPI UserSetupDiCreateDevRegKeyA(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, HINF, PCSTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return static_cast<HKEY>(INVALID_HANDLE_VALUE);
}

struct Replacement {
    const char* dll;
    const char* name;
    void* function;
};

const Replacement kReplacements[] = {
    {"advapi32.dll", "OpenSCManagerA", reinterpret_cast<void*>(&UserOpenSCManagerA)},
    {"advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&UserRegOpenKeyExA)},
    {"advapi32.dll", "RegOpenKeyA", reinterpret_cast<void*>(&UserRegOpenKeyA)},
    {"advapi32.dll", "RegCreateKeyExA", reinterpret_cast<void*>(&UserRegCreateKeyExA)},
    {"advapi32.dll", "RegCreateKeyA", reinterpret_cast<void*>(&UserRegCreateKeyA)},
    {"advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&UserRegSetValueExA)},
    {"advapi32.dll", "RegDeleteValueA", reinterpret_cast<void*>(&UserRegDeleteValueA)},
    {"advapi32.dll", "RegDeleteKeyA", reinterpret_cast<void*>(&UserRegDeleteKeyA)},
    {"advapi32.dll", "RegDeleteKeyExA", reinterpret_cast<void*>(&UserRegDeleteKeyExA)},
    {"setupapi.dll", "SetupDiOpenDevRegKey", reinterpret_cast<void*>(&UserSetupDiOpenDevRegKey)},
    {"setupapi.dll", "SetupDiCreateDevRegKeyA", reinterpret_cast<void*>(&UserSetupDiCreateDevRegKeyA)},
};

}  // namespace

std::vector<std::string> ActAsStandardUser(HMODULE coinstaller) {
    std::vector<std::string> replaced;
    auto* base = reinterpret_cast<BYTE*>(coinstaller);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return replaced;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        const char* dll = reinterpret_cast<const char*>(base + desc->Name);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk
                                                                                            : desc->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (const Replacement& r : kReplacements) {
                if (lstrcmpiA(dll, r.dll) != 0 || std::strcmp(name, r.name) != 0) continue;
                DWORD old = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(r.function);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
                replaced.push_back(name);
            }
        }
    }
    return replaced;
}

}  // namespace tvx::wine
