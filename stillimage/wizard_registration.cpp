// CButtonRegWizard. Portable logic.
#include "stillimage/wizard_registration.h"

CButtonRegWizard::CButtonRegWizard(CLogger* pLogger) : m_pLogger(pLogger) {}

void CButtonRegWizard::RegisterWizardForDeviceEvents(const char*) { (void)m_pLogger; }
