// The install disc: finding it, and starting or scheduling its setup program. Portable logic.
#include "core/setup_extension.h"

// Not yet built: the search over the optical drives; no disc is found.
char CSetupExtension::FindInstallMediaDrive() { return 0; }

// Not yet built: the disc test by software folder or volume label.
int CSetupExtension::IsInstallMedia(char) { return 0; }

// Not yet built: starting the disc's setup program. Answers 0, as for a missing disc.
DWORD CSetupExtension::LaunchSetupFromMedia() { return NO_ERROR; }

// Not yet built: the RunOnce registration of the disc's setup.
void CSetupExtension::ScheduleSetupFromMedia(char) {}
