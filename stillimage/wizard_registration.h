// CButtonRegWizard: registers the scanner-and-camera wizard as handler of a device's still-image
// button events. Portable logic.
#pragma once

#include "core/logger.h"

class CButtonRegWizard {
public:
    explicit CButtonRegWizard(CLogger* pLogger);
    virtual ~CButtonRegWizard() = default;

    // Not yet built: registration for every event of the device's "Events" key.
    void RegisterWizardForDeviceEvents(const char* instanceNumber);

private:
    CLogger* m_pLogger;  // borrowed from the setup extension
};
