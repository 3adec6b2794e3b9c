// Named events: one object per name, alive while a handle to it is open; a record of the events
// set. Simulated machine only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/handles.h"
#include "platform/sync.h"

namespace plat::sim {

class SimSystem;

// One event object; every handle to it shares it, and it goes with the last of them.
struct EventObject {
    std::string name;  // empty for an unnamed event
    bool manual_reset = false;
    bool signalled = false;
};

class SimSync : public SyncBackend {
public:
    SimSync(HandleTable& handles, SimSystem& system);

    // Names of the events set, in order (one entry per successful SetEvent).
    const std::vector<std::string>& set_events() const { return set_events_; }
    // Whether an event of that name exists (some handle to it is open), and whether it is set.
    bool EventExists(const std::string& name) const;
    bool EventSignalled(const std::string& name) const;

    HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                        LPCSTR lpName) override;
    HANDLE OpenEventA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName) override;
    BOOL SetEvent(HANDLE hEvent) override;

private:
    // The object a name refers to, "Local\\" removed (the session's own namespace); nothing when
    // no handle to it is open.
    std::shared_ptr<EventObject> Find(const std::string& name) const;
    HANDLE NewHandle(const std::shared_ptr<EventObject>& event);

    HandleTable& handles_;
    SimSystem& system_;
    std::vector<std::string> set_events_;
    std::map<std::string, std::weak_ptr<EventObject>> named_;
};

}  // namespace plat::sim
