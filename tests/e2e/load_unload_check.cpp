// Loads and unloads TarvixQ920kCO.dll many times in one process, each time over a "_coInst.log"
// large enough to be cut back, as a host process such as the device installer's may, and checks
// that the loads leave no thread-local storage slot behind: a runtime whose thread-safe static
// initialisation takes a slot per load would use up the host's slots. Also checks that every load
// did cut the log back, so the rotation's code ran each time.
// Win32 only; built by the cross compiler and run under Wine by the host build's tests.
//   tvx_load_unload_check.exe DLL-PATH LOADS
// Exit status 0 when nothing is left behind, 1 when something is, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/windows_sdk.h"

namespace {

constexpr DWORD kLogLimit = 51200;
constexpr DWORD kGrownLog = kLogLimit + 8192;

// The slot TlsAlloc hands out next: the lowest free one, so it grows when slots are left taken.
DWORD NextTlsSlot() {
    const DWORD slot = TlsAlloc();
    if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
    return slot;
}

bool WriteLog(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text;
    while (text.size() < kGrownLog) text += "an earlier line of the log\r\n";
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

DWORD FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0xFFFFFFFF;
    return data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tvx_load_unload_check DLL-PATH LOADS\n");
        return 2;
    }
    const char* dll = argv[1];
    const int loads = std::atoi(argv[2]);
    if (loads < 1) return 2;
    // A temporary folder of its own (GetTempPath reads TMP first), so that other programs in the
    // same prefix that log meanwhile neither see nor change this log.
    char temp[MAX_PATH] = {};
    if (!GetTempPathA(MAX_PATH, temp)) return 2;
    const std::string folder = std::string(temp) + "tvx_load_unload\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    if (!SetEnvironmentVariableA("TMP", folder.c_str()) || !SetEnvironmentVariableA("TEMP", folder.c_str())) return 2;
    const std::string log = folder + "_coInst.log";

    // The first load outside the figures: whatever the process sets up once may stay.
    if (!WriteLog(log)) return 2;
    HMODULE first = LoadLibraryA(dll);
    if (!first) {
        std::fprintf(stderr, "FAILED: cannot load %s: error %lu\n", dll, GetLastError());
        return 1;
    }
    FreeLibrary(first);

    int failures = 0;
    const DWORD slotBefore = NextTlsSlot();
    for (int i = 0; i < loads; ++i) {
        if (!WriteLog(log)) return 2;
        HMODULE module = LoadLibraryA(dll);
        if (!module) {
            std::fprintf(stderr, "FAILED: load %d: error %lu\n", i + 1, GetLastError());
            return 1;
        }
        FreeLibrary(module);
        const DWORD size = FileSize(log);
        if (size > kLogLimit + 4096) {
            std::fprintf(stderr, "FAILED: load %d left _coInst.log at %lu bytes: it was not cut back\n", i + 1, size);
            ++failures;
        }
    }
    const DWORD slotAfter = NextTlsSlot();
    if (slotAfter != slotBefore) {
        std::fprintf(stderr, "FAILED: %d loads moved the next free TLS slot from %lu to %lu\n", loads, slotBefore,
                     slotAfter);
        ++failures;
    }
    DeleteFileA(log.c_str());
    RemoveDirectoryA(folder.c_str());
    std::printf("%d loads, each over a log to cut back: next free TLS slot %lu before and %lu after\n", loads,
                slotBefore, slotAfter);
    return failures ? 1 : 0;
}
