// CButtonRegWizard: registers the scanner-and-camera wizard as handler of a device's still-image
// button events. Portable logic.
#pragma once

#include "core/logger.h"
#include "platform/scoped.h"

class CButtonRegWizard {
public:
    // Initialises COM on the calling thread, creates the WIA device manager and reads the
    // wizard's name, description and icon from its registration for the system's ScanButton
    // event. Without a device manager nothing is registered, as without handler info.
    explicit CButtonRegWizard(CLogger* pLogger);
    // Releases the device manager and the COM strings, then gives back this object's COM
    // initialisation when it had one.
    virtual ~CButtonRegWizard();
    CButtonRegWizard(const CButtonRegWizard&) = delete;
    CButtonRegWizard& operator=(const CButtonRegWizard&) = delete;

    // For each subkey of the instance's "Events" key below the imaging class key that has a
    // "GUID" value: the still-image event key and the wizard's registration for that event, in
    // enumeration order. A null or empty instance number does nothing.
    void RegisterWizardForDeviceEvents(const char* instanceNumber);
    // 1 when the event is registered, or when there is no handler info to register; 0 after a
    // log line when its GUID text is no GUID, its event key cannot be made or the registration
    // fails.
    int RegisterEventHandler(const char* szEventKeyName, const char* szGuid);
    // Opens or creates "GUID"'s event key below the system's still-image Events key (which must
    // exist) and stores the GUID text without its terminator; true when that store succeeded.
    bool CreateStillImageEventKey(const char* szEventKeyName, const char* szGuid);
    // Reads "Name", "Desc" and "Icon" of the wizard's ScanButton registration into COM strings
    // and parses the wizard's CLSID; true when all of that succeeded.
    bool ReadWizardHandlerInfo();

private:
    CLogger* m_pLogger;  // borrowed from the setup extension; may be null
    plat::ScopedWiaDevMgr m_pDevMgr;
    BOOL m_bHandlerInfoRead;
    plat::ScopedBstr m_bstrName;
    plat::ScopedBstr m_bstrDescription;
    plat::ScopedBstr m_bstrIcon;
    CLSID m_WizardClsid;
    bool m_bUninitializeCom;  // CoInitialize answered S_OK or S_FALSE
};
