// The virtual clock. Simulated machine only.
#include "platform/sim/profile.h"

namespace plat::sim {
namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

constexpr int64_t kStartSeconds = 9 * 3600 + 30 * 60;

int64_t EpochMs(uint64_t now_ms) {
    return DaysFromCivil(2026, 12, 10) * 86400000LL + kStartSeconds * 1000 + static_cast<int64_t>(now_ms);
}

}  // namespace

SYSTEMTIME VirtualClock::LocalTime() const {
    int64_t ms = EpochMs(now_ms_);
    int64_t days = ms / 86400000LL;
    int64_t rest = ms % 86400000LL;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days, &y, &m, &d);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wDayOfWeek = static_cast<WORD>((days + 4) % 7);  // 1970-01-01 was a Thursday
    st.wHour = static_cast<WORD>(rest / 3600000);
    st.wMinute = static_cast<WORD>(rest / 60000 % 60);
    st.wSecond = static_cast<WORD>(rest / 1000 % 60);
    st.wMilliseconds = static_cast<WORD>(rest % 1000);
    return st;
}

FILETIME VirtualClock::FileTime() const {
    // 100 ns intervals since 1601-01-01.
    uint64_t t = static_cast<uint64_t>(EpochMs(now_ms_)) * 10000ULL + 116444736000000000ULL;
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

}  // namespace plat::sim
