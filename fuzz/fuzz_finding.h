// What the fuzz targets share: how a target reports a broken promise (a finding), so that libFuzzer
// keeps the input as a crash, the way it keeps one for a sanitizer report; and, for the targets on
// the simulated machine, a platform layer that keeps nothing from one run to the next. Fuzz
// targets only.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/host/call_layer.h"

namespace tvx::fuzz {

[[noreturn]] inline void Finding(const std::string& what) {
    std::fprintf(stderr, "\nFINDING: %s\n", what.c_str());
    std::abort();
}

// Gives back, when a run ends, what the platform layer kept of it (its trace, its list of calls
// the machine does not model), so that a run frees all it took: libFuzzer takes a run that keeps
// memory for a possible leak and checks it again, which slows every run down.
struct QuietLayer {
    ~QuietLayer() { plat::host::Layer().Reset(); }
};

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
