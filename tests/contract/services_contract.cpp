// The service control manager's contract: who may open it and how its handles close, checked on
// the simulated machine (an administrator's) and on Windows (Wine, whose prefix user is an
// administrator) alike. Portable: written against plat:: only.
#include <string>

#include "platform/services.h"
#include "platform/system.h"
#include "tests/contract/check.h"

namespace {

constexpr DWORD kSentinelError = 0xDEADBEEF;
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
