// Cleanup when a device is removed. Portable logic.
#include "core/setup_extension.h"

// Not yet built: removing the instance's TWAIN data source and imaging keys.
int CSetupExtension::CleanupRemovedDevice(HDEVINFO, PSP_DEVINFO_DATA) { return 0; }

// Not yet built: taking back the hardware-first marker.
void CSetupExtension::RemovePnPFinishedMarker() {}
