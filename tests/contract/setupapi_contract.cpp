// The device installer's contract for the calls that need no device: the class keys. Checked on the
// simulated machine and on Windows (Wine) alike. Portable: written against plat:: only.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/setupapi.h"
#include "platform/system.h"
#include "platform/text/guid.h"
#include "platform/text/profile_text.h"
#include "tests/contract/check.h"
#include "tests/contract/world.h"

namespace {

HKEY const kInvalidKey = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);

CONTRACT_CASE(SetupApi, ClassRegKeyOpensTheClassKeyOrTheKeyOfAllClasses) {
    GUID image{};
    REQUIRE(plat::text::ParseGuid(plat::text::kImageClassGuid, &image));
    plat::SetLastError(0xDEADBEEF);
    HKEY key = plat::SetupDiOpenClassRegKey(&image, KEY_READ);
    REQUIRE(key != kInvalidKey);
    CHECK(key != nullptr);
    CHECK_EQ(plat::GetLastError(), 0xDEADBEEFu);  // success leaves the last error alone
    HKEY events = nullptr;
    CHECK_EQ(plat::RegOpenKeyExA(key, "", 0, KEY_READ, &events), ERROR_SUCCESS);
    if (events) plat::RegCloseKey(events);
    CHECK_EQ(plat::RegCloseKey(key), ERROR_SUCCESS);

    // Without a class: the key that holds every class, the imaging class among its subkeys.
    HKEY all = plat::SetupDiOpenClassRegKey(nullptr, KEY_READ);
    REQUIRE(all != kInvalidKey);
    HKEY sub = nullptr;
    CHECK_EQ(plat::RegOpenKeyExA(all, plat::text::kImageClassGuid, 0, KEY_READ, &sub), ERROR_SUCCESS);
    if (sub) plat::RegCloseKey(sub);
    plat::RegCloseKey(all);

    GUID missing = image;
    missing.Data1 ^= 0x00FF00FF;
    CHECK(plat::SetupDiOpenClassRegKey(&missing, KEY_READ) == kInvalidKey);
    CHECK_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// A device's instance ID: a buffer too small gets 122 and the size needed, terminator included;
// one that fits gets the ID, with at least one backslash. The manufacturer property is a
// terminated text, or, where a device has none, fails with 13. An invalid set fails with 6.
CONTRACT_CASE(SetupApi, DeviceInstanceIdAndManufacturer) {
    contract::EnsurePresentDevice();
    HDEVINFO set = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    REQUIRE(set != INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    const bool found = plat::SetupDiEnumDeviceInfo(set, 0, &data) != FALSE;
    CHECK(found);
    if (found) {
        DWORD required = 0;
        char small[2] = {'x', 'x'};
        plat::SetLastError(0);
        CHECK_EQ(plat::SetupDiGetDeviceInstanceIdA(set, &data, small, sizeof small, &required), FALSE);
        CHECK_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        CHECK(required > 2);

        char id[MAX_PATH + 1] = {0};
        DWORD again = 0;
        CHECK_EQ(plat::SetupDiGetDeviceInstanceIdA(set, &data, id, MAX_PATH, &again), TRUE);
        CHECK_EQ(std::strlen(id) + 1, size_t(required));
        CHECK(std::strchr(id, '\\') != nullptr);

        char mfg[MAX_PATH + 1] = {0};
        plat::SetLastError(0);
        if (plat::SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_MFG, nullptr, reinterpret_cast<BYTE*>(mfg),
                                                    MAX_PATH, nullptr)) {
            CHECK(std::strlen(mfg) < MAX_PATH);
        } else {
            CHECK_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_DATA));
        }
    }
    plat::SetupDiDestroyDeviceInfoList(set);

    char id[MAX_PATH];
    plat::SetLastError(0);
    CHECK_EQ(plat::SetupDiGetDeviceInstanceIdA(INVALID_HANDLE_VALUE, &data, id, sizeof id, nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// An INF's bytes in the encodings its byte-order mark tells.
std::string InfBytes(std::u16string_view units, const char* mark, bool big_endian) {
    std::string out = mark;
    for (char16_t u : units) {
        const char low = static_cast<char>(u & 0xFF);
        const char high = static_cast<char>(u >> 8);
        out += big_endian ? high : low;
        out += big_endian ? low : high;
    }
    return out;
}

std::string Utf8Bytes(std::u16string_view units) {  // for the text below: no surrogates
    std::string out = "\xEF\xBB\xBF";
    for (char16_t c : units) plat::text::AppendUtf8(out, c);
    return out;
}

constexpr std::u16string_view kInfText =
    u"; a driver INF saved as Unicode\r\n"
    u"[Version]\r\n"
    u"Signature=\"$Windows NT$\"\r\n"
    u"Class=Image\r\n"
    u"\r\n"
    u"[Q920k.Install.NTamd64]\r\n"
    u"CopyFiles=Q920k.Files\r\n"
    u"[Q920k.Install.NT]\r\n"
    u"CopyFiles=Q920k.Files\r\n"
    u"[Q920k.Install]\r\n"
    u"CopyFiles=Q920k.Files\r\n"
    u"[Caf\u00E9.NTamd64]\r\n"
    u"[\u0100.NTamd64]\r\n"
    u"[Other]\r\n";

bool WriteInf(const char* path, const std::string& bytes) {
    FILE* out = plat::_fsopen(path, "wb", _SH_DENYNO);
    if (!out) return false;
    plat::fwrite(bytes.data(), 1, bytes.size(), out);
    plat::fclose(out);
    return true;
}

// The actual section for a section name: the name and its decoration, the extension pointer and the
// last error.
std::string ActualSection(HINF inf, const char* name) {
    char buffer[100] = {0};
    DWORD required = 0;
    char* extension = nullptr;
    plat::SetLastError(0xDEADBEEF);
    if (!plat::SetupDiGetActualSectionToInstallA(inf, name, buffer, sizeof buffer, &required, &extension))
        return "failed " + std::to_string(plat::GetLastError());
    return std::string(buffer) + " required " + std::to_string(required) + " extension " +
           (extension ? std::string(extension) : "none") + " error " + std::to_string(plat::GetLastError());
}

// A driver INF saved as UTF-16 (little-endian, with its mark) or as UTF-8 with its mark opens as
// the 8-bit INF does, and its sections, their decorations included, are found by the ANSI names
// given (matched in Unicode: the best fit of a name is not the name).
CONTRACT_CASE(SetupApi, UnicodeInfOpensAndFindsTheDecoratedSection) {
    const char* path = "C:\\Windows\\Temp\\tvx_contract_unicode.inf";
    const std::string forms[] = {InfBytes(kInfText, "\xFF\xFE", false), Utf8Bytes(kInfText)};
    const std::string decorated = "Q920k.Install.NTamd64 required 22 extension .NTamd64 error 0";
    for (const std::string& bytes : forms) {
        CONTEXT(bytes.substr(0, 2) == "\xFF\xFE" ? "utf-16le" : "utf-8");
        REQUIRE(WriteInf(path, bytes));
        UINT line = 77;
        plat::SetLastError(0xDEADBEEF);
        HINF inf = plat::SetupOpenInfFileA(path, nullptr, INF_STYLE_WIN4, &line);
        REQUIRE(inf != reinterpret_cast<HINF>(INVALID_HANDLE_VALUE));
        CHECK_EQ(plat::GetLastError(), 0u);
        CHECK_EQ(line, 77u);
        CHECK_EQ(ActualSection(inf, "Q920k.Install"), decorated);
        CHECK_EQ(ActualSection(inf, "q920K.INSTALL"), "q920K.INSTALL.NTamd64 required 22 extension .NTamd64 error 0");
        CHECK_EQ(ActualSection(inf, "Caf\xE9"), "Caf\xE9.NTamd64 required 13 extension .NTamd64 error 0");
        CHECK_EQ(ActualSection(inf, "A"), "A required 2 extension none error " + std::to_string(ERROR_SECTION_NOT_FOUND));
        CHECK_EQ(ActualSection(inf, "Other"),
                 "Other required 6 extension none error " + std::to_string(ERROR_SECTION_NOT_FOUND));
        plat::SetupCloseInfFile(inf);
    }
    plat::DeleteFileA(path);
}

// What the INF parser refuses: a line before the first section header (Windows names its line),
// and so a UTF-16 file in big-endian order or of an odd byte count, which it reads as 8-bit text.
CONTRACT_CASE(SetupApi, TextBeforeTheFirstSectionIsRefusedWithItsLine) {
    const char* path = "C:\\Windows\\Temp\\tvx_contract_refused.inf";
    struct Refused {
        const char* name;
        std::string bytes;
        UINT line;
    };
    const Refused cases[] = {
        {"utf-16be", InfBytes(kInfText, "\xFE\xFF", true), 1},
        {"utf-16le of an odd byte count", InfBytes(kInfText, "\xFF\xFE", false) + "X", 1},
        {"text after comments", "; comment\r\n\r\nstray=1\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n", 3},
    };
    for (const Refused& c : cases) {
        CONTEXT(c.name);
        REQUIRE(WriteInf(path, c.bytes));
        UINT line = 77;
        plat::SetLastError(0xDEADBEEF);
        HINF inf = plat::SetupOpenInfFileA(path, nullptr, INF_STYLE_WIN4, &line);
        CHECK(inf == reinterpret_cast<HINF>(INVALID_HANDLE_VALUE));
        CHECK_EQ(plat::GetLastError(), DWORD(ERROR_EXPECTED_SECTION_NAME));
        CHECK_EQ(line, c.line);
        if (inf != reinterpret_cast<HINF>(INVALID_HANDLE_VALUE)) plat::SetupCloseInfFile(inf);
    }
    plat::DeleteFileA(path);
}

}  // namespace
