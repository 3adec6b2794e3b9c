// What the fuzz targets share: how a target reports a broken promise (a finding), so that libFuzzer
// keeps the input as a crash, the way it keeps one for a sanitizer report. Fuzz targets only.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tvx::fuzz {

[[noreturn]] inline void Finding(const std::string& what) {
    std::fprintf(stderr, "\nFINDING: %s\n", what.c_str());
    std::abort();
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// How many lines a text has as the readers count them (a last line without its line feed counts).
inline size_t LineCount(std::string_view text) {
    size_t lines = 1;
    for (char c : text)
        if (c == '\n') ++lines;
    return lines;
}

}  // namespace tvx::fuzz
