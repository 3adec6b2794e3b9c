// The simulated service control manager: who may open it, and its handles.
// Simulated machine only.
#pragma once

#include "platform/services.h"
#include "platform/sim/handles.h"
#include "platform/sim/system.h"
#include "platform/sim/profile.h"

namespace plat::sim {

class SimServices : public ServicesBackend {
public:
    SimServices(HandleTable& handles, const MachineProfile& profile, SimSystem& system);

    SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) override;
    BOOL CloseServiceHandle(SC_HANDLE hSCObject) override;

private:
    HandleTable& handles_;
    const MachineProfile& profile_;
    SimSystem& system_;
};

}  // namespace plat::sim
