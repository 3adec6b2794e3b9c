// ANSI (Windows-1252) text conversions. Portable.
#include "tools/scenario/text_codec.h"

#include <cstdint>

#include "platform/text/profile_text.h"

namespace tvx {
namespace {

// Windows-1252 bytes 0x80 to 0x9F. The five bytes the code page leaves unassigned map to the
// control character of the same number, as Windows' own conversion does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t UnitOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

std::optional<char> ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) out += UnitOf(static_cast<unsigned char>(c));
    return out;
}

std::optional<std::string> Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) {
        std::optional<char> byte = ByteOf(unit);
        if (!byte) return std::nullopt;
        out += *byte;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) plat::text::AppendUtf8(out, UnitOf(static_cast<unsigned char>(c)));
    return out;
}

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        size_t extra;
        if (lead < 0x80) {
            cp = lead;
            extra = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
        } else {
            return std::nullopt;
        }
        if (i + extra >= utf8.size()) return std::nullopt;
        for (size_t k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (next & 0x3F);
        }
        std::optional<char> byte = ByteOf(cp);
        if (!byte) return std::nullopt;
        out += *byte;
        i += extra + 1;
    }
    return out;
}

}  // namespace tvx
