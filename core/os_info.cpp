// COsInfo. Portable logic.
#include "core/os_info.h"

#include <cstring>

#include "platform/scoped.h"

namespace {
// Windows 98 Second Edition carries " A " as its service-pack text.
const char kSecondEdition[4] = {' ', 'A', ' ', '\0'};
}  // namespace

COsInfo::COsInfo() : m_szCSDVersion{}, m_NTVersion(0), m_9xVersion(0) {
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    auto* basic = reinterpret_cast<OSVERSIONINFOA*>(&info);
    if (!plat::GetVersionExA(basic)) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        plat::GetVersionExA(basic);
    }
    const int version = static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        m_9xVersion = version;
        // The record's text may be longer than this member: keep what fits, terminated.
        // (The member starts zeroed, so the copy stays terminated.)
        for (size_t i = 0; i + 1 < sizeof m_szCSDVersion && info.szCSDVersion[i] != '\0'; ++i)
            m_szCSDVersion[i] = info.szCSDVersion[i];
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        m_NTVersion = version;
    }
}

bool COsInfo::IsWin98() const { return m_9xVersion == 410 && std::memcmp(m_szCSDVersion, kSecondEdition, 4) != 0; }
bool COsInfo::IsWin98SE() const { return m_9xVersion == 410 && std::memcmp(m_szCSDVersion, kSecondEdition, 4) == 0; }
bool COsInfo::IsWin98Any() const { return IsWin98() || IsWin98SE(); }
bool COsInfo::IsWinMe() const { return m_9xVersion == 490; }
bool COsInfo::IsWin2000() const { return m_NTVersion == 500; }
bool COsInfo::IsWinXP() const { return m_NTVersion == 501; }
bool COsInfo::IsWin2003() const { return m_NTVersion == 502; }
bool COsInfo::IsVista() const { return m_NTVersion == 600; }
bool COsInfo::IsLaterThanVista() const { return m_NTVersion > 600; }

bool COsInfo::IsAdmin() const {
    if (IsWinMe() || IsWin98Any()) return true;
    plat::ScopedService manager(plat::OpenSCManagerA(nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE));
    return static_cast<bool>(manager);
}
