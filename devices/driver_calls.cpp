// CDriverCalls. Portable logic.
#include "devices/driver_calls.h"

#include "core/image_class.h"

CDriverCalls::CDriverCalls() : m_idx(0) {
    // Asked for after m_OsInfo is built, so the version query comes first.
    m_hDevInfo.reset(plat::SetupDiGetClassDevsA(&kImageClass, nullptr, nullptr, 0));
}

CDriverCalls::~CDriverCalls() = default;

bool CDriverCalls::EnumImagingDevices(PSP_DEVINFO_DATA deviceData, bool log, CLogger* logger) {
    if (!m_hDevInfo) return false;
    // Logging needs a logger; without one the walk goes on unlogged.
    log = log && logger != nullptr;

    for (;;) {
        const BOOL found = plat::SetupDiEnumDeviceInfo(m_hDevInfo.get(), static_cast<DWORD>(m_idx), deviceData);
        // Taken before the log line, whose file calls may change it.
        const DWORD error = found ? ERROR_SUCCESS : plat::GetLastError();
        if (log) logger->Print("SetupDiEnumDeviceInfo returned %d, m_idx = %d", found ? 1 : 0, m_idx);
        if (found) {
            ++m_idx;
            return true;
        }
        if (error == ERROR_NO_MORE_ITEMS || m_idx > kMaxIndex) break;
        if (log) logger->Print(" EnumImagingDevices non-terminating error, GetLastError returned %d", static_cast<int>(error));
        ++m_idx;
    }
    if (log) logger->Print("EnumImagingDevices terminating condition, m_idx = %d", m_idx);
    m_idx = 0;
    return false;
}
