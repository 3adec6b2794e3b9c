// CButtonEventFix: repairs the still-image event registrations of a device instance.
// Portable logic.
#pragma once

class CButtonEventFix {
public:
    CButtonEventFix() = default;
    virtual ~CButtonEventFix() = default;

    // Not yet built: answers 0 (nothing collected).
    int RepairDeviceEvents(const char* instanceNumber);
};
