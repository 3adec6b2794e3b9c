// The simulated service control manager: who may open it and its services, their handles, and
// the services' states, which change in virtual time (a state is worked out from the clock when
// asked for; nothing runs in the background). Simulated machine only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/sim/handles.h"
#include "platform/sim/system.h"
#include "platform/sim/profile.h"

namespace plat::sim {

class VirtualClock;

// Set-up of one installed service and how it answers a stop request.
struct ServiceSetup {
    std::string name;          // key name, matched without regard to case
    std::string display_name;
    DWORD state = SERVICE_STOPPED;
    uint64_t transition_ms = 0;  // how long a stop or start stays pending
    bool refuses_stop = false;   // ControlService(STOP) fails (1052)
    bool never_stops = false;    // stays stop pending forever after a stop request
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
};

// One state change of a service, for reports.
struct ServiceEvent {
    uint64_t at_ms = 0;
    std::string service;
    std::string what;  // "stop requested", "stopped", "start requested", "running", "stop refused", ...
};

class SimServices : public ServicesBackend {
public:
    SimServices(HandleTable& handles, const MachineProfile& profile, SimSystem& system, VirtualClock& clock);

    void AddService(ServiceSetup given);
    // The service's state now on the virtual clock; nothing when there is no such service.
    std::optional<DWORD> StateOf(const std::string& name) const;
    // Every state change so far, in the order of their virtual times.
    const std::vector<ServiceEvent>& events() const;

    SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) override;
    SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) override;
    BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) override;
    BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) override;
    BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) override;
    BOOL CloseServiceHandle(SC_HANDLE hSCObject) override;

private:
    struct Service {
        ServiceSetup given;
        DWORD settled = SERVICE_STOPPED;  // STOPPED or RUNNING once no change is pending
        DWORD pending = 0;                // START_PENDING or STOP_PENDING while a change is under way
        uint64_t pending_until = 0;
        bool pending_forever = false;
        DWORD exit_code = ERROR_SERVICE_NEVER_STARTED;
    };

    Service* Find(const std::string& name);
    const Service* Find(const std::string& name) const;
    DWORD StateNow(const Service& service) const;
    void FillStatus(const Service& service, LPSERVICE_STATUS status) const;
    // Records the changes that have completed by now on the clock, at the times they completed.
    void Settle() const;
    void Record(uint64_t at_ms, const Service& service, const char* what) const;
    void Begin(Service& service, DWORD pending, const char* requested);
    // The service behind a handle with the rights a call needs: sets the last error (6 or 5) and
    // answers nothing otherwise.
    Service* Open(SC_HANDLE handle, DWORD needed);

    HandleTable& handles_;
    const MachineProfile& profile_;
    SimSystem& system_;
    VirtualClock& clock_;
    mutable std::vector<Service> services_;
    mutable std::vector<ServiceEvent> events_;
};

}  // namespace plat::sim
