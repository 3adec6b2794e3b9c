// CButtonEventFix. Portable logic.
#include "stillimage/button_event_fix.h"

int CButtonEventFix::RepairDeviceEvents(const char*) { return 0; }
