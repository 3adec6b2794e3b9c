// Windows-1252 on the simulated machine. Simulated machine only.
#include "platform/sim/ansi.h"

namespace plat::sim {
namespace {

// Bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char16_t kHighUnits[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t AnsiUnit(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighUnits[byte - 0x80];
    return byte;
}

std::u16string AnsiToWide(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) out += AnsiUnit(static_cast<unsigned char>(c));
    return out;
}

std::string WideToAnsi(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (char16_t unit : wide) {
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out += static_cast<char>(unit);
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i)
            if (kHighUnits[i] == unit) byte = static_cast<char>(0x80 + i);
        out += byte;
    }
    return out;
}

}  // namespace plat::sim
