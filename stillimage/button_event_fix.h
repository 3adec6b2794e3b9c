// CButtonEventFix: copies the system's still-image event handlers into the event keys of a device
// instance, chooses the newest as each event's default handler and stamps the device key with
// its device ID. Writes no log lines. Portable logic.
#pragma once

#include <memory>
#include <vector>

#include "platform/all.h"

// One handler registered system-wide for a still-image event: a zeroed block whose text fields
// hold at most their capacity less one characters.
struct EventHandlerRecord {
    char szEventGuid[128];       // the event's "GUID", cut to 127 characters
    char szHandlerKeyName[128];  // the handler's subkey name, cut to 127 characters
    char szCmdLine[1024];        // "CmdLine", read with a limit of 1023 bytes
    char szDesc[512];            // "Desc", 511
    char szIcon[512];            // "Icon", 511
    char szName[256];            // "Name", 255
    FILETIME ftLastWrite;        // the handler key's last-write time
};

class CButtonEventFix {
public:
    // Reads the system's platform identifier and collects every handler of every still-image
    // event that has a command line; the repair works from this snapshot.
    CButtonEventFix();
    virtual ~CButtonEventFix();
    CButtonEventFix(const CButtonEventFix&) = delete;
    CButtonEventFix& operator=(const CButtonEventFix&) = delete;

    // 0 when nothing was collected, otherwise the result of RepairInstanceEvents (always 0).
    int RepairDeviceEvents(const char* instanceNumber);
    // Stores the device key's "DeviceID" and, below each of its event keys with a "GUID", a copy
    // of every handler collected for that GUID (compared without regard to case), the losers in
    // the order they lose and the newest last, with "DefaultHandler" naming the newest; among
    // equal times the handler collected first wins. A null or empty instance number does nothing.
    int RepairInstanceEvents(const char* instanceNumber);
    // true when the system's still-image Events key opened.
    bool CollectEventHandlers();
    // Opens or creates the record's subkey below the event key and stores "CmdLine", "Desc",
    // "Icon" and "Name", each with its length as byte count.
    void WriteHandlerKey(HKEY hEventKey, const EventHandlerRecord& record);
    // "DefaultHandler" = the record's key name (not on the Windows 9x platform), then its subkey;
    // when "DefaultHandler" cannot be stored the subkey is not written either.
    void WriteDefaultHandler(HKEY hEventKey, const EventHandlerRecord& record);

private:
    std::vector<std::unique_ptr<EventHandlerRecord>> m_Handlers;  // in collection order
    BOOL m_bCollected;
    OSVERSIONINFOA m_OsVersion;
};
