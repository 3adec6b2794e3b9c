// CDriverCalls: the walk over every device instance of the imaging class that the device
// installer knows, present or not, one device per call, logged to the caller's logger.
// Portable logic.
#pragma once

#include "core/logger.h"
#include "core/os_info.h"
#include "platform/all.h"
#include "platform/scoped.h"

class CDriverCalls {
public:
    // Indexes above this end an enumeration whose steps keep failing.
    static constexpr int kMaxIndex = 1000;

    // Takes the device information set of the imaging class (no enumerator, no window, no flags:
    // devices that are not present are included). It is not refreshed later.
    CDriverCalls();
    virtual ~CDriverCalls();
    CDriverCalls(const CDriverCalls&) = delete;
    CDriverCalls& operator=(const CDriverCalls&) = delete;

    // Fills the record (whose size field the caller has set) with the next device and answers
    // true; a device that cannot be read is skipped. At the end answers false and starts the next
    // call again at the first device. With log set, each step is logged to the logger.
    bool EnumImagingDevices(PSP_DEVINFO_DATA deviceData, bool log, CLogger* logger);

    // The device information set, for the calls made on the device a walk stands on; the
    // invalid-handle value when it could not be built.
    HDEVINFO GetDeviceInfoSet() const { return m_hDevInfo.get(); }

private:
    plat::ScopedDevInfo m_hDevInfo;
    int m_idx;
    // Nothing reads it. It stays because its construction queries the system version before the
    // device set is taken, and that query is part of the object's fixed sequence of system calls,
    // which traces record and fault sweeps count call by call.
    COsInfo m_OsInfo;
};
