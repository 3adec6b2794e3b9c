// The simulated service control manager: who may open it, and its handles.
// Simulated machine only.
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
struct ServiceSpec {
    std::string name;          // key name, matched without regard to case
    std::string display_name;
    DWORD state = SERVICE_STOPPED;
    uint64_t transition_ms = 0;  // how long a stop or start stays pending
    bool refuses_stop = false;   // ControlService(STOP) fails (1052)
    bool never_stops = false;    // stays stop pending forever after a stop request
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

    void AddService(ServiceSpec spec);
    // The service's state now on the virtual clock; nothing when there is no such service.
    std::optional<DWORD> StateOf(const std::string& name) const;
    const std::vector<ServiceEvent>& events() const { return events_; }

    SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) override;
    SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) override;
    BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) override;
    BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) override;
    BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) override;
    BOOL CloseServiceHandle(SC_HANDLE hSCObject) override;

private:
    HandleTable& handles_;
    const MachineProfile& profile_;
    SimSystem& system_;
    VirtualClock& clock_;
    std::vector<ServiceEvent> events_;
};

}  // namespace plat::sim
