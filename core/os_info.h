// COsInfo: the system version, taken once, and the version and administrator tests.
// Portable logic.
#pragma once

#include "platform/all.h"

class COsInfo {
public:
    COsInfo();
    virtual ~COsInfo() = default;

    bool IsWin98() const;
    bool IsWin98SE() const;
    bool IsWin98Any() const;
    bool IsWinMe() const;
    bool IsWin2000() const;
    bool IsWinXP() const;
    bool IsWin2003() const;
    bool IsVista() const;
    bool IsLaterThanVista() const;
    // True on the 9x family; on NT when the service control manager opens with read, write and
    // execute access.
    bool IsAdmin() const;

    char m_szCSDVersion[64];  // service-pack text, kept on the 9x family only
    int m_NTVersion;          // major * 100 + minor on the NT family, else 0
    int m_9xVersion;          // major * 100 + minor on the 9x family, else 0
};
