// Byte layouts of Windows text: UTF-16 in little-endian bytes (version-5 .reg files, Unicode INI
// files) and REG_MULTI_SZ string lists. Header-only, portable: no Windows and no simulated machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat::text {

// UTF-16 units as bytes, two per unit, low byte first. No byte order mark is added.
inline std::string Utf16LeBytes(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// Bytes, low byte first, as UTF-16 units. A last odd byte is dropped: callers that must refuse
// an odd count check it first. A byte order mark is kept as a unit.
inline std::u16string Utf16LeUnits(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

// A REG_MULTI_SZ value's bytes: every item with its NUL, then one more NUL ending the list
// ({"a", "bc"} gives "a\0bc\0\0"; no items give a single NUL).
inline std::string PackMultiSz(const std::vector<std::string>& items) {
    std::string bytes;
    for (const std::string& item : items) {
        bytes += item;
        bytes += '\0';
    }
    bytes += '\0';
    return bytes;
}

}  // namespace plat::text
