// Names as Windows compares them (registry keys and values, file names, device ids, INI sections)
// and paths split at their backslashes. Header-only, portable: no Windows and no simulated machine;
// the logic, the simulated machine, the tools and the Wine harness share it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat::text {

// The byte with an ASCII letter upper-cased; every other byte as it is.
constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows' order of names: byte by byte (as unsigned) after upper-casing, a name before every
// longer name it begins. Negative, zero or positive as a sorts before, with or after b.
// (Written over raw characters: every registry and file lookup of the simulated machine runs it,
// also in builds without optimisation.)
constexpr int CompareNames(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const char* pa = a.data();
    const char* pb = b.data();
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(pa[i]);
        auto cb = static_cast<unsigned char>(pb[i]);
        if (ca >= 'a' && ca <= 'z') ca = static_cast<unsigned char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z') cb = static_cast<unsigned char>(cb - 'a' + 'A');
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// The same name without regard to letter case.
constexpr bool EqualNames(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNames(a, b) == 0;
}

// The parts of a path split at any of the separators (registry paths: backslashes only; file
// paths: "\\/"), empty parts dropped: "\A\\B\" gives {"A", "B"}, "" gives {}.
inline std::vector<std::string> SplitPath(std::string_view path, std::string_view separators = "\\") {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(separators, start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace plat::text
