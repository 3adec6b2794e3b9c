// What kind of computer the simulated machine is, and its virtual clock.
// Simulated machine only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace plat::sim {

struct OsVersion {
    DWORD major = 5;
    DWORD minor = 2;
    DWORD build = 3790;
    DWORD platform_id = VER_PLATFORM_WIN32_NT;
    std::string csd;  // service-pack text
    BYTE product_type = 1;
};

struct MachineProfile {
    OsVersion os;
    bool is_64bit = true;
    bool admin = true;
};

// Virtual time: nothing really sleeps; waits and sleeps advance it.
class VirtualClock {
public:
    uint64_t now_ms() const { return now_ms_; }
    void Advance(uint64_t ms) { now_ms_ += ms; }
    // Local wall time of the virtual clock; it starts at 2026-12-10 09:30:00.
    SYSTEMTIME LocalTime() const;
    FILETIME FileTime() const;

private:
    uint64_t now_ms_ = 0;
};

}  // namespace plat::sim
