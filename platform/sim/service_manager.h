// The simulated service control manager: who may open it, and its handles.
// Simulated machine only.
#pragma once

#include "platform/services.h"
#include "platform/sim/handles.h"
#include "platform/sim/kernel.h"
#include "platform/sim/profile.h"

namespace plat::sim {

class SimServices : public ServicesBackend {
public:
    SimServices(HandleTable& handles, const MachineProfile& profile, SimKernel& kernel);

    SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) override;
    BOOL CloseServiceHandle(SC_HANDLE hSCObject) override;

private:
    HandleTable& handles_;
    const MachineProfile& profile_;
    SimKernel& kernel_;
};

}  // namespace plat::sim
