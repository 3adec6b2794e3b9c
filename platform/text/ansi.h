// The ANSI code page of the machines the system is tested on, Windows-1252, and its conversion to
// and from UTF-16 units. Header-only, portable: no Windows and no simulated machine.
#pragma once

#include <string>
#include <string_view>

namespace plat::text {

inline constexpr unsigned kAnsiCodePage = 1252;

namespace ansi_detail {
// Bytes 0x80 to 0x9F; the rest of the code page is Latin-1. The five bytes the code page leaves
// unassigned map to the control character of the same number, as Windows' own table does.
inline constexpr char16_t kHighUnits[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
}  // namespace ansi_detail

// The UTF-16 unit of an ANSI byte; every byte has one.
constexpr char16_t AnsiUnit(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? ansi_detail::kHighUnits[byte - 0x80] : byte;
}

inline std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) out += AnsiUnit(static_cast<unsigned char>(c));
    return out;
}

// Units without a byte in the code page become '?', as Windows' conversion without a best fit does.
inline std::string Utf16ToAnsiLossy(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (char16_t unit : units) {
        char byte = '?';
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            byte = static_cast<char>(unit);
        } else {
            for (int i = 0; i < 32; ++i)
                if (ansi_detail::kHighUnits[i] == unit) byte = static_cast<char>(0x80 + i);
        }
        out += byte;
    }
    return out;
}

}  // namespace plat::text
