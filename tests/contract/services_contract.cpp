// The service control manager's contract: who may open it and its services, how their handles
// close, and a service's start and stop (the still-image service's, which both machines have),
// checked on the simulated machine (an administrator's) and on Windows (Wine, whose prefix user is
// an administrator) alike. Portable: written against plat:: only.
#include <string>

#include "platform/services.h"
#include "platform/system.h"
#include "tests/contract/check.h"

namespace {

using contract::kSentinelError;
constexpr DWORD kDatabaseDoesNotExist = 1065;  // ERROR_DATABASE_DOES_NOT_EXIST

}  // namespace

// OpenSCManagerA on the local machine: generic read, write and execute (the administrator test)
// opens for an administrator, connecting (asked for or not) for anyone; an empty machine name is
// the local machine and "ServicesActive" the default database; any other database name gives 123,
// and "ServicesFailed" 1065. Every handle closes once with TRUE.
CONTRACT_CASE(Services, OpenTheManager) {
    struct Row {
        const char* what;
        const char* machine;
        const char* database;
        DWORD access;
        DWORD status;  // 0: a handle comes back
    };
    const Row rows[] = {
        {"generic read, write and execute", nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE, 0},
        {"connect", nullptr, nullptr, SC_MANAGER_CONNECT, 0},
        {"no access asked for", nullptr, nullptr, 0, 0},
        {"empty machine name, the active database", "", "ServicesActive", SC_MANAGER_CONNECT, 0},
        {"an unknown database", nullptr, "DoesNotExist", SC_MANAGER_CONNECT, ERROR_INVALID_NAME},
        {"the failed database", nullptr, "ServicesFailed", SC_MANAGER_CONNECT, kDatabaseDoesNotExist},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        SC_HANDLE manager = plat::OpenSCManagerA(row.machine, row.database, row.access);
        if (row.status != 0) {
            CHECK(manager == nullptr);
            CHECK_EQ(plat::GetLastError(), row.status);
            if (manager) plat::CloseServiceHandle(manager);
            continue;
        }
        REQUIRE(manager != nullptr);
        CHECK_EQ(plat::CloseServiceHandle(manager), TRUE);
    }
}

// Closing no handle fails with 6. (Other invalid handles are left out: Windows fails them, but
// Wine's service manager may crash on them.)
CONTRACT_CASE(Services, CloseNoHandle) {
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::CloseServiceHandle(nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
}

namespace {

// The still-image service, which every Windows (and Wine) installs; its key name, as
// OpenServiceA takes it, in another letter case than the registry's "StiSvc".
const char kStillImage[] = "stisvc";

bool IsWin32Service(DWORD type) { return (type & (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS)) != 0; }

// Polls the service until its state is `wanted`, checking that it passes only through `pending`;
// false when that takes longer than a service start or stop ever should.
bool WaitForState(SC_HANDLE service, DWORD pending, DWORD wanted, SERVICE_STATUS* status) {
    constexpr int kPolls = 400;
    constexpr DWORD kPollMs = 50;
    for (int i = 0; i < kPolls; ++i) {
        if (!plat::QueryServiceStatus(service, status)) return false;
        if (status->dwCurrentState == wanted) return true;
        CHECK_EQ(status->dwCurrentState, pending);
        plat::Sleep(kPollMs);
    }
    return false;
}

}  // namespace

// OpenServiceA takes a service's key name in any letter case; a missing service gives 1060, a NULL
// name 487, an empty name or one with a backslash 123, no manager handle 6. Rights are checked per
// call: a handle opened for the status only may neither stop nor start the service (5). A control
// no program may send gives 87; QueryServiceStatus wants a service handle (6) and a status record
// (487).
CONTRACT_CASE(Services, OpenAService) {
    SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    REQUIRE(manager != nullptr);

    struct Row {
        const char* what;
        bool with_manager;
        const char* name;
        DWORD error;
    };
    const Row rows[] = {
        {"a missing service", true, "TvxContract.NoSuchService", ERROR_SERVICE_DOES_NOT_EXIST},
        {"a display name", true, "Tvx Contract Service", ERROR_SERVICE_DOES_NOT_EXIST},
        {"no name", true, nullptr, ERROR_INVALID_ADDRESS},
        {"an empty name", true, "", ERROR_INVALID_NAME},
        {"a name with a backslash", true, "Tvx\\Service", ERROR_INVALID_NAME},
        {"no manager", false, kStillImage, ERROR_INVALID_HANDLE},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        SC_HANDLE service = plat::OpenServiceA(row.with_manager ? manager : nullptr, row.name, SERVICE_QUERY_STATUS);
        CHECK(service == nullptr);
        CHECK_EQ(plat::GetLastError(), row.error);
        if (service) plat::CloseServiceHandle(service);
    }

    SC_HANDLE query_only = plat::OpenServiceA(manager, kStillImage, SERVICE_QUERY_STATUS);
    REQUIRE(query_only != nullptr);
    SERVICE_STATUS status = {};
    CHECK_EQ(plat::QueryServiceStatus(query_only, &status), TRUE);
    CHECK(IsWin32Service(status.dwServiceType));
    CHECK(status.dwCurrentState >= SERVICE_STOPPED && status.dwCurrentState <= SERVICE_RUNNING);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::ControlService(query_only, SERVICE_CONTROL_STOP, &status), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::StartServiceA(query_only, 0, nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::QueryServiceStatus(query_only, nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_ADDRESS);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::QueryServiceStatus(manager, &status), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);

    SC_HANDLE full = plat::OpenServiceA(manager, "StiSvc", SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
    REQUIRE(full != nullptr);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::ControlService(full, 0, &status), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_PARAMETER);

    for (SC_HANDLE h : {full, query_only, manager}) CHECK_EQ(plat::CloseServiceHandle(h), TRUE);
}

// A stopped service refuses a stop with 1062 and still reports its status. StartServiceA returns
// while the start is pending; the service is running soon after, accepts a stop, and refuses a
// second start with 1056. ControlService(STOP) returns while the stop may still be pending; the
// service is stopped soon after, with exit code 0, and refuses another stop. The service ends as
// it began. A service that runs at the start (Wine starts the still-image service when a case
// before this one makes the WIA device manager) is stopped first and started again at the end.
CONTRACT_CASE(Services, StartAndStopAService) {
    SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    REQUIRE(manager != nullptr);
    SC_HANDLE service = plat::OpenServiceA(manager, kStillImage, SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
    REQUIRE(service != nullptr);
    SERVICE_STATUS status = {};
    REQUIRE_EQ(plat::QueryServiceStatus(service, &status), TRUE);
    const bool ranBefore = status.dwCurrentState != SERVICE_STOPPED;
    if (ranBefore) {
        WaitForState(service, SERVICE_START_PENDING, SERVICE_RUNNING, &status);
        plat::ControlService(service, SERVICE_CONTROL_STOP, &status);
        if (!WaitForState(service, SERVICE_STOP_PENDING, SERVICE_STOPPED, &status)) {
            plat::CloseServiceHandle(service);
            plat::CloseServiceHandle(manager);
            contract::ReportFailure(__FILE__, __LINE__, "the still-image service runs at the start and does not stop; state " +
                                                  std::to_string(status.dwCurrentState));
            return;
        }
    }

    status = {};
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::ControlService(service, SERVICE_CONTROL_STOP, &status), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    CHECK_EQ(status.dwCurrentState, SERVICE_STOPPED);

    CHECK_EQ(plat::StartServiceA(service, 0, nullptr), TRUE);
    CHECK(WaitForState(service, SERVICE_START_PENDING, SERVICE_RUNNING, &status));
    CHECK_EQ(status.dwWin32ExitCode, ERROR_SUCCESS);
    CHECK((status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::StartServiceA(service, 0, nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);

    status = {};
    CHECK_EQ(plat::ControlService(service, SERVICE_CONTROL_STOP, &status), TRUE);
    CHECK(status.dwCurrentState == SERVICE_STOP_PENDING || status.dwCurrentState == SERVICE_STOPPED);
    CHECK(WaitForState(service, SERVICE_STOP_PENDING, SERVICE_STOPPED, &status));
    CHECK_EQ(status.dwWin32ExitCode, ERROR_SUCCESS);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::ControlService(service, SERVICE_CONTROL_STOP, &status), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SERVICE_NOT_ACTIVE);

    if (ranBefore) {
        CHECK_EQ(plat::StartServiceA(service, 0, nullptr), TRUE);
        CHECK(WaitForState(service, SERVICE_START_PENDING, SERVICE_RUNNING, &status));
    }
    CHECK_EQ(plat::CloseServiceHandle(service), TRUE);
    CHECK_EQ(plat::CloseServiceHandle(manager), TRUE);
}
