// The simulated service control manager. Simulated machine only.
#include "platform/sim/services.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "platform/text/names.h"

namespace plat::sim {
namespace {

struct ManagerHandle {
    DWORD access = 0;
};

struct ServiceHandle {
    std::string name;  // the service's key name
    DWORD access = 0;
};

// What a service handle's generic rights stand for.
DWORD MapServiceRights(DWORD access) {
    DWORD rights = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (access & GENERIC_READ)
        rights |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                  SERVICE_ENUMERATE_DEPENDENTS;
    if (access & GENERIC_WRITE) rights |= READ_CONTROL | SERVICE_CHANGE_CONFIG;
    if (access & GENERIC_EXECUTE)
        rights |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL;
    if (access & GENERIC_ALL) rights |= SERVICE_ALL_ACCESS;
    return rights;
}

// What an account that is not an administrator may do with a system service: look at it.
constexpr DWORD kUserServiceRights = READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                     SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
                                     SERVICE_USER_DEFINED_CONTROL;

// The right a control needs; 0 for a control no program may send (87).
DWORD RightForControl(DWORD control) {
    switch (control) {
        case SERVICE_CONTROL_STOP: return SERVICE_STOP;
        case SERVICE_CONTROL_INTERROGATE: return SERVICE_INTERROGATE;
        case SERVICE_CONTROL_PAUSE:
        case SERVICE_CONTROL_CONTINUE:
        case SERVICE_CONTROL_PARAMCHANGE:
        case SERVICE_CONTROL_NETBINDADD:
        case SERVICE_CONTROL_NETBINDADD + 1:
        case SERVICE_CONTROL_NETBINDADD + 2:
        case SERVICE_CONTROL_NETBINDDISABLE: return SERVICE_PAUSE_CONTINUE;
        default: break;
    }
    return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
}

bool IsPending(DWORD state) { return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING; }

}  // namespace

SimServices::SimServices(HandleTable& handles, const MachineProfile& profile, SimSystem& system, VirtualClock& clock)
    : handles_(handles), profile_(profile), system_(system), clock_(clock) {}

void SimServices::AddService(ServiceSetup given) {
    Service service;
    service.given = std::move(given);
    const DWORD state = service.given.state;
    service.settled = state == SERVICE_RUNNING || state == SERVICE_STOP_PENDING ? SERVICE_RUNNING : SERVICE_STOPPED;
    if (state != SERVICE_STOPPED) service.exit_code = ERROR_SUCCESS;
    // A service may be set up half-way through a change, which then completes in its own time.
    if (IsPending(state)) {
        service.pending = state;
        service.pending_until = clock_.now_ms() + service.given.transition_ms;
        service.pending_forever = state == SERVICE_STOP_PENDING && service.given.never_stops;
    }
    if (Service* known = Find(service.given.name)) {
        *known = std::move(service);
        return;
    }
    services_.push_back(std::move(service));
}

SimServices::Service* SimServices::Find(const std::string& name) {
    for (Service& s : services_)
        if (text::EqualNames(s.given.name, name)) return &s;
    return nullptr;
}

const SimServices::Service* SimServices::Find(const std::string& name) const {
    for (const Service& s : services_)
        if (text::EqualNames(s.given.name, name)) return &s;
    return nullptr;
}

DWORD SimServices::StateNow(const Service& service) const {
    if (!service.pending) return service.settled;
    if (service.pending_forever || clock_.now_ms() < service.pending_until) return service.pending;
    return service.pending == SERVICE_STOP_PENDING ? SERVICE_STOPPED : SERVICE_RUNNING;
}

std::optional<DWORD> SimServices::StateOf(const std::string& name) const {
    const Service* service = Find(name);
    if (!service) return std::nullopt;
    return StateNow(*service);
}

void SimServices::Record(uint64_t at_ms, const Service& service, const char* what) const {
    events_.push_back(ServiceEvent{at_ms, service.given.name, what});
}

void SimServices::Settle() const {
    std::vector<Service*> done;
    for (Service& s : services_)
        if (s.pending && !s.pending_forever && clock_.now_ms() >= s.pending_until) done.push_back(&s);
    std::stable_sort(done.begin(), done.end(),
                     [](const Service* a, const Service* b) { return a->pending_until < b->pending_until; });
    for (Service* s : done) {
        const bool stopped = s->pending == SERVICE_STOP_PENDING;
        s->settled = stopped ? SERVICE_STOPPED : SERVICE_RUNNING;
        s->pending = 0;
        Record(s->pending_until, *s, stopped ? "stopped" : "running");
    }
}

const std::vector<ServiceEvent>& SimServices::events() const {
    Settle();
    return events_;
}

void SimServices::Begin(Service& service, DWORD pending, const char* requested) {
    Record(clock_.now_ms(), service, requested);
    service.pending = pending;
    service.pending_until = clock_.now_ms() + service.given.transition_ms;
    service.pending_forever = pending == SERVICE_STOP_PENDING && service.given.never_stops;
    service.exit_code = ERROR_SUCCESS;
    Settle();  // a change that takes no time is complete at once
}

void SimServices::FillStatus(const Service& service, LPSERVICE_STATUS status) const {
    const DWORD state = StateNow(service);
    status->dwServiceType = service.given.type;
    status->dwCurrentState = state;
    status->dwControlsAccepted = state == SERVICE_RUNNING && !service.given.refuses_stop ? SERVICE_ACCEPT_STOP : 0;
    status->dwWin32ExitCode = service.exit_code;
    status->dwServiceSpecificExitCode = 0;
    status->dwCheckPoint = IsPending(state) ? 1 : 0;
    status->dwWaitHint = IsPending(state) ? static_cast<DWORD>(std::min<uint64_t>(service.given.transition_ms, 0xFFFFFFFFu)) : 0;
}

SimServices::Service* SimServices::Open(SC_HANDLE handle, DWORD needed) {
    auto h = handles_.Get<ServiceHandle>(reinterpret_cast<uintptr_t>(handle), HandleKind::Service);
    Service* service = h ? Find(h->name) : nullptr;
    if (!service) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((h->access & needed) != needed) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return service;
}

SC_HANDLE SimServices::OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (lpMachineName && *lpMachineName) {
        system_.SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    // Only the active database opens; the failed database's name is known but it does not exist.
    if (lpDatabaseName && std::string_view(lpDatabaseName) != "ServicesActive") {
        const DWORD kDatabaseDoesNotExist = 1065;
        system_.SetLastError(std::string_view(lpDatabaseName) == "ServicesFailed" ? kDatabaseDoesNotExist
                                                                                   : ERROR_INVALID_NAME);
        return nullptr;
    }
    // Connecting and enumerating are everyone's; anything that can change the database needs an
    // administrator.
    const DWORD kUserRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | 0x10 /* QUERY_LOCK_STATUS */ |
                              GENERIC_READ | READ_CONTROL;
    if ((dwDesiredAccess & ~kUserRights) && !profile_.admin) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto manager = std::make_shared<ManagerHandle>();
    manager->access = dwDesiredAccess | SC_MANAGER_CONNECT;
    auto value = handles_.Add(HandleKind::ServiceManager, manager, "service control manager");
    return reinterpret_cast<SC_HANDLE>(value);
}

SC_HANDLE SimServices::OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
    Settle();
    if (!handles_.Contains(reinterpret_cast<uintptr_t>(hSCManager), HandleKind::ServiceManager)) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lpServiceName) {
        system_.SetLastError(ERROR_INVALID_ADDRESS);
        return nullptr;
    }
    const std::string name = lpServiceName;
    if (name.empty() || name.find_first_of("\\/") != std::string::npos) {
        system_.SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    // The key name only, without regard to case; a display name finds nothing.
    const Service* service = Find(name);
    if (!service) {
        system_.SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    DWORD rights = MapServiceRights(dwDesiredAccess);
    const DWORD allowed = profile_.admin ? DWORD{SERVICE_ALL_ACCESS} : kUserServiceRights;
    if (dwDesiredAccess & MAXIMUM_ALLOWED) rights |= allowed;
    if (rights & ~allowed) {
        system_.SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto handle = std::make_shared<ServiceHandle>();
    handle->name = service->given.name;
    handle->access = rights;
    auto value = handles_.Add(HandleKind::Service, handle, "service " + service->given.name);
    return reinterpret_cast<SC_HANDLE>(value);
}

BOOL SimServices::QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    Settle();
    Service* service = Open(hService, SERVICE_QUERY_STATUS);
    if (!service) return FALSE;
    if (!lpServiceStatus) {
        system_.SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    FillStatus(*service, lpServiceStatus);
    return TRUE;
}

// The rights come first (5), then the service's state: a stopped service takes no control (1062),
// one in the middle of a change none either (1061), and a control the service does not accept
// gives 1052. Those three failures still report the service's status, as Windows does.
BOOL SimServices::ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    Settle();
    const DWORD right = RightForControl(dwControl);
    if (!handles_.Contains(reinterpret_cast<uintptr_t>(hService), HandleKind::Service)) {
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!right) {
        system_.SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Service* service = Open(hService, right);
    if (!service) return FALSE;
    if (!lpServiceStatus) {
        system_.SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    const DWORD state = StateNow(*service);
    DWORD error = ERROR_SUCCESS;
    if (state == SERVICE_STOPPED) {
        error = ERROR_SERVICE_NOT_ACTIVE;
    } else if (IsPending(state)) {
        error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    } else if (dwControl == SERVICE_CONTROL_STOP) {
        if (service->given.refuses_stop) {
            Record(clock_.now_ms(), *service, "stop refused");
            error = ERROR_INVALID_SERVICE_CONTROL;
        } else {
            Begin(*service, SERVICE_STOP_PENDING, "stop requested");
        }
    } else if (dwControl != SERVICE_CONTROL_INTERROGATE) {
        error = ERROR_INVALID_SERVICE_CONTROL;
    }
    FillStatus(*service, lpServiceStatus);
    if (error != ERROR_SUCCESS) {
        system_.SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL SimServices::StartServiceA(SC_HANDLE hService, DWORD, LPCSTR*) {
    Settle();
    Service* service = Open(hService, SERVICE_START);
    if (!service) return FALSE;
    if (StateNow(*service) != SERVICE_STOPPED) {
        system_.SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
        return FALSE;
    }
    Begin(*service, SERVICE_START_PENDING, "start requested");
    return TRUE;
}

BOOL SimServices::CloseServiceHandle(SC_HANDLE h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (handles_.Remove(value, HandleKind::ServiceManager) || handles_.Remove(value, HandleKind::Service))
        return TRUE;
    system_.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // namespace plat::sim
