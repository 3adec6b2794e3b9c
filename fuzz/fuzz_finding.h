// What the fuzz targets share: how a target reports a broken promise (a finding), so that libFuzzer
// keeps the input as a crash, the way it keeps one for a sanitizer report; and, for the targets on
// the simulated machine, a platform layer that keeps nothing from one run to the next and a folder
// for the run's drives in memory. Fuzz targets only.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <string>
#include <string_view>

#include "platform/host/call_layer.h"
#include "platform/host/scratch_folder.h"

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

// A fresh folder for one run's drives (the machine's C: and discs go below it), removed with all
// in it when the run ends: in memory where the host has it (ScratchFolder::DefaultBelow, as tvx-sim
// makes its machines), so that making and removing a machine's files costs no disk work. (No
// folder kept by a static: libFuzzer may end the process without destroying it.)
inline plat::host::ScratchFolder MakeRunFolder(std::string_view prefix) {
    std::optional<plat::host::ScratchFolder> made =
        plat::host::ScratchFolder::Make(plat::host::ScratchFolder::DefaultBelow(), prefix);
    if (!made) Finding("cannot make a folder for the run");
    return std::move(*made);
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
