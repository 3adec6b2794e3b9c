// Reads the version resource of TarvixQ920kCO.dll the way Windows' version API hands it out and
// checks every field: the fixed file and product versions against the build's version number,
// the file type and system, and each text of the string block that the Translation entry names.
// Win32 only; built by the cross compiler and run under Wine by the host build's tests.
//   tvx_version_check.exe DLL-PATH VERSION        (VERSION: major.minor.patch.tweak)
// Exit status 0 when every field is as expected, 1 when one is not, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/windows_sdk.h"

namespace {

int g_failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++g_failures;
}

// "a.b.c.d" as four numbers; false when the text is not of that form.
bool ParseVersion(const std::string& text, WORD parts[4]) {
    const char* p = text.c_str();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        unsigned long n = std::strtoul(p, &end, 10);
        if (end == p || n > 0xFFFF) return false;
        parts[i] = static_cast<WORD>(n);
        if (i < 3 && *end != '.') return false;
        if (i == 3 && *end != '\0') return false;
        p = end + 1;
    }
    return true;
}

std::string Hex(DWORD n) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(n));
    return text;
}

void CheckFixedInfo(const std::vector<char>& info, const WORD version[4]) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size) || !fixed ||
        size < sizeof *fixed) {
        Fail("no fixed file information (VerQueryValueA \"\\\")");
        return;
    }
    const DWORD ms = (static_cast<DWORD>(version[0]) << 16) | version[1];
    const DWORD ls = (static_cast<DWORD>(version[2]) << 16) | version[3];
    struct Field {
        const char* name;
        DWORD actual;
        DWORD expected;
    } fields[] = {
        {"signature", fixed->dwSignature, 0xFEEF04BD},
        {"file version (high)", fixed->dwFileVersionMS, ms},
        {"file version (low)", fixed->dwFileVersionLS, ls},
        {"product version (high)", fixed->dwProductVersionMS, ms},
        {"product version (low)", fixed->dwProductVersionLS, ls},
        {"file flags (debug, pre-release, patched...)", fixed->dwFileFlags & fixed->dwFileFlagsMask, 0},
        {"file system", fixed->dwFileOS, VOS_NT_WINDOWS32},
        {"file type", fixed->dwFileType, VFT_DLL},
    };
    for (const Field& f : fields)
        if (f.actual != f.expected) Fail(std::string(f.name) + " is " + Hex(f.actual) + ", expected " + Hex(f.expected));
}

// The string block's name ("040904b0") from the one language and code page the resource lists.
bool StringBlock(const std::vector<char>& info, std::string& block) {
    WORD* pair = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair), &size) || !pair) {
        Fail("no Translation entry (VerQueryValueA \"\\VarFileInfo\\Translation\")");
        return false;
    }
    if (size != 2 * sizeof(WORD)) Fail("the Translation entry lists " + std::to_string(size / 4) + " pairs, expected 1");
    if (pair[0] != 0x0409 || pair[1] != 1200)
        Fail("the Translation entry is " + Hex(pair[0]) + "/" + std::to_string(pair[1]) +
             ", expected U.S. English (0x0409) in Unicode (1200)");
    char name[16];
    std::snprintf(name, sizeof name, "%04x%04x", pair[0], pair[1]);
    block = name;
    return true;
}

void CheckTexts(const std::vector<char>& info, const std::string& block, const std::string& version) {
    struct Text {
        const char* name;
        std::string expected;
    } texts[] = {
        {"CompanyName", "Tarvix"},
        {"FileDescription", "Tarvix Q920k scanner device co-installer"},
        {"FileVersion", version},
        {"InternalName", "TarvixQ920kCO"},
        {"LegalCopyright", "Copyright (C) 2026 Tarvix"},
        {"OriginalFilename", "TarvixQ920kCO.dll"},
        {"ProductName", "Tarvix Q920k"},
        {"ProductVersion", version},
    };
    for (const Text& t : texts) {
        const std::string path = "\\StringFileInfo\\" + block + "\\" + t.name;
        char* value = nullptr;
        UINT size = 0;
        if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || !value) {
            Fail(std::string(t.name) + " is missing (" + path + ")");
            continue;
        }
        // The size counts the terminator when there is one.
        std::string actual(value, size);
        if (!actual.empty() && actual.back() == '\0') actual.pop_back();
        if (actual != t.expected) Fail(std::string(t.name) + " is \"" + actual + "\", expected \"" + t.expected + "\"");
    }
}

}  // namespace

int main(int argc, char** argv) {
    WORD version[4];
    if (argc != 3 || !ParseVersion(argv[2], version)) {
        std::fprintf(stderr, "usage: tvx_version_check DLL-PATH MAJOR.MINOR.PATCH.TWEAK\n");
        return 2;
    }
    const char* dll = argv[1];
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(dll, &ignored);
    if (size == 0) {
        std::fprintf(stderr, "FAILED: %s has no version resource (GetFileVersionInfoSizeA: error %lu)\n", dll,
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(dll, 0, size, info.data())) {
        std::fprintf(stderr, "FAILED: cannot read the version resource of %s (GetFileVersionInfoA: error %lu)\n", dll,
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    CheckFixedInfo(info, version);
    std::string block;
    if (StringBlock(info, block)) CheckTexts(info, block, argv[2]);
    if (g_failures) {
        std::fprintf(stderr, "%s: %d field(s) of the version resource differ\n", dll, g_failures);
        return 1;
    }
    std::printf("%s: version %s, every field as expected\n", dll, argv[2]);
    return 0;
}
