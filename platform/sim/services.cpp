// The simulated service control manager. Simulated machine only.
#include "platform/sim/services.h"

#include <memory>
#include <string_view>

namespace plat::sim {

SimServices::SimServices(HandleTable& handles, const MachineProfile& profile, SimSystem& system)
    : handles_(handles), profile_(profile), system_(system) {}

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
    auto value = handles_.Add(HandleKind::ServiceManager, std::make_shared<int>(0), "service control manager");
    return reinterpret_cast<SC_HANDLE>(value);
}

BOOL SimServices::CloseServiceHandle(SC_HANDLE h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (handles_.Remove(value, HandleKind::ServiceManager) || handles_.Remove(value, HandleKind::Service))
        return TRUE;
    system_.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // namespace plat::sim
