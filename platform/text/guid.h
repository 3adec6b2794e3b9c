// GUIDs as Windows writes them, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", read into and written
// from any GUID record with Windows' fields (Data1, Data2, Data3, Data4[8]), and the device
// classes the system deals with. Header-only, portable: only constants and text helpers, so the
// logic, the simulated machine, the tools and the Wine harness all use it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace plat::text {

// The imaging device class (GUID_DEVCLASS_IMAGE): scanners and cameras.
inline constexpr const char* kImageClassGuid = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";

namespace guid_detail {
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
// The number in text[from, from + digits); false when a character is not a hex digit.
constexpr bool Hex(std::string_view text, size_t from, size_t digits, uint32_t* value) {
    uint32_t n = 0;
    for (size_t i = from; i < from + digits; ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0) return false;
        n = n * 16 + static_cast<uint32_t>(d);
    }
    *value = n;
    return true;
}
}  // namespace guid_detail

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either case, braces and hyphens
// where Windows puts them, nothing around it). False, with *guid untouched, for anything else.
template <class Guid>
constexpr bool ParseGuid(std::string_view text, Guid* guid) {
    if (text.size() != 38 || text[0] != '{' || text[37] != '}') return false;
    if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return false;
    uint32_t d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    if (!guid_detail::Hex(text, 1, 8, &d1) || !guid_detail::Hex(text, 10, 4, &d2) ||
        !guid_detail::Hex(text, 15, 4, &d3))
        return false;
    constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (size_t i = 0; i < 8; ++i)
        if (!guid_detail::Hex(text, kByteAt[i], 2, &b[i])) return false;
    guid->Data1 = d1;
    guid->Data2 = static_cast<uint16_t>(d2);
    guid->Data3 = static_cast<uint16_t>(d3);
    for (size_t i = 0; i < 8; ++i) guid->Data4[i] = static_cast<uint8_t>(b[i]);
    return true;
}

// Whether text is a GUID as ParseGuid reads it.
constexpr bool IsGuidText(std::string_view text) {
    struct {
        uint32_t Data1;
        uint16_t Data2, Data3;
        uint8_t Data4[8];
    } guid{};
    return ParseGuid(text, &guid);
}

// A GUID record from its text, usable for constants; a malformed text gives the all-zero GUID.
template <class Guid>
constexpr Guid GuidFromText(std::string_view text) {
    Guid guid{};
    if (!ParseGuid(text, &guid)) return Guid{};
    return guid;
}

// The GUID as Windows writes it: braces, upper-case hex digits.
template <class Guid>
std::string FormatGuid(const Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3),
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

}  // namespace plat::text
