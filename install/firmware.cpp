// The firmware update tool on the install disc. Portable logic.
#include "core/setup_extension.h"

// Not yet built: finding and running the firmware tool.
void CSetupExtension::RunFirmwareUpdate() {}
