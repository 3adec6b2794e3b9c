// Named events. Simulated machine only.
#include "platform/sim/sync.h"

#include "platform/sim/system.h"

namespace plat::sim {
namespace {

// Names are compared with their case, as the object manager does; "Local\" names the session's
// own namespace, which unprefixed names use too, while "Global\" is a namespace of its own.
std::string NamespacedName(const std::string& name) {
    const std::string local = "Local\\";
    if (name.compare(0, local.size(), local) == 0) return name.substr(local.size());
    return name;
}

bool BadName(const std::string& name) {
    const std::string bare = NamespacedName(name);
    const std::string global = "Global\\";
    const std::string rest = bare.compare(0, global.size(), global) == 0 ? bare.substr(global.size()) : bare;
    return rest.find('\\') != std::string::npos;
}

}  // namespace

SimSync::SimSync(HandleTable& handles, SimSystem& system) : handles_(handles), system_(system) {}

std::shared_ptr<EventObject> SimSync::Find(const std::string& name) const {
    auto it = named_.find(NamespacedName(name));
    return it == named_.end() ? nullptr : it->second.lock();
}

bool SimSync::EventExists(const std::string& name) const { return Find(name) != nullptr; }

bool SimSync::EventSignalled(const std::string& name) const {
    auto event = Find(name);
    return event && event->signalled;
}

HANDLE SimSync::NewHandle(const std::shared_ptr<EventObject>& event) {
    const std::string what = event->name.empty() ? "unnamed event" : "event " + event->name;
    return reinterpret_cast<HANDLE>(handles_.Add(HandleKind::Event, event, what));
}

HANDLE SimSync::CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    const std::string name = lpName ? lpName : "";
    if (!name.empty()) {
        if (BadName(name)) {
            system_.SetLastError(ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        // An existing event opens as it is (its reset mode and state stay), through a new handle.
        if (auto existing = Find(name)) {
            HANDLE h = NewHandle(existing);
            system_.SetLastError(ERROR_ALREADY_EXISTS);
            return h;
        }
    }
    auto event = std::make_shared<EventObject>();
    event->name = NamespacedName(name);
    event->manual_reset = bManualReset != FALSE;
    event->signalled = bInitialState != FALSE;
    if (!name.empty()) named_[event->name] = event;
    HANDLE h = NewHandle(event);
    system_.SetLastError(ERROR_SUCCESS);
    return h;
}

HANDLE SimSync::OpenEventA(DWORD, BOOL, LPCSTR lpName) {
    if (!lpName) {
        system_.SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = lpName;
    if (name.empty()) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (BadName(name)) {
        system_.SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    auto event = Find(name);
    if (!event) {
        system_.SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return NewHandle(event);
}

BOOL SimSync::SetEvent(HANDLE hEvent) {
    auto event = handles_.Get<EventObject>(reinterpret_cast<uintptr_t>(hEvent), HandleKind::Event);
    if (!event) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->signalled = true;
    set_events_.push_back(event->name);
    return TRUE;
}

}  // namespace plat::sim
