// The named events' contract: creating, opening and setting them, their names' namespaces, and
// their life, which lasts while a handle to them is open; checked on the simulated machine and on
// Windows (Wine) alike. Portable: written against plat:: only.
#include <string>

#include "platform/process.h"
#include "platform/sync.h"
#include "platform/system.h"
#include "tests/contract/check.h"

namespace {

using contract::kSentinelError;
using contract::kOneTick;

const char kName[] = "TvxContract.NamedEvent";

}  // namespace

// A new named event leaves the last error 0; creating it again opens the same event through a new
// handle with 183, and the second call's reset mode and initial state are ignored. OpenEventA finds
// it under its own name only (names keep their case), also with "Local\", which is the same
// namespace, but not with "Global\". A missing name gives 2, a backslash without a namespace 3.
// Once set, the manual-reset event stays set for every handle. When its last handle closes, the
// event is gone: opening it gives 2.
CONTRACT_CASE(Sync, NamedEventLivesWhileAHandleIsOpen) {
    plat::SetLastError(kSentinelError);
    HANDLE first = plat::CreateEventA(nullptr, TRUE, FALSE, kName);
    REQUIRE(first != nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_SUCCESS);

    plat::SetLastError(kSentinelError);
    HANDLE second = plat::CreateEventA(nullptr, FALSE, TRUE, kName);
    REQUIRE(second != nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_ALREADY_EXISTS);
    CHECK(second != first);
    CHECK_EQ(plat::WaitForSingleObject(second, 0), WAIT_TIMEOUT);

    HANDLE opened = plat::OpenEventA(EVENT_ALL_ACCESS, FALSE, kName);
    REQUIRE(opened != nullptr);
    HANDLE local = plat::OpenEventA(SYNCHRONIZE, FALSE, (std::string("Local\\") + kName).c_str());
    REQUIRE(local != nullptr);

    struct Missing {
        const char* what;
        std::string name;
        DWORD error;
    };
    const Missing missing[] = {
        {"the name in other letters", "tvxcontract.namedevent", ERROR_FILE_NOT_FOUND},
        {"the global namespace", std::string("Global\\") + kName, ERROR_FILE_NOT_FOUND},
        {"a name nothing has", "TvxContract.NoSuchEvent", ERROR_FILE_NOT_FOUND},
        {"a backslash without a namespace", "TvxContract\\Event", ERROR_PATH_NOT_FOUND},
    };
    for (const Missing& row : missing) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        HANDLE h = plat::OpenEventA(SYNCHRONIZE, FALSE, row.name.c_str());
        CHECK(h == nullptr);
        CHECK_EQ(plat::GetLastError(), row.error);
        if (h) plat::CloseHandle(h);
    }
    plat::SetLastError(kSentinelError);
    CHECK(plat::CreateEventA(nullptr, TRUE, FALSE, "TvxContract\\Event") == nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_PATH_NOT_FOUND);

    CHECK_EQ(plat::SetEvent(opened), TRUE);
    CHECK_EQ(plat::WaitForSingleObject(local, 0), WAIT_OBJECT_0);
    CHECK_EQ(plat::WaitForSingleObject(first, 0), WAIT_OBJECT_0);

    for (HANDLE h : {first, second, opened}) CHECK_EQ(plat::CloseHandle(h), TRUE);
    HANDLE again = plat::OpenEventA(SYNCHRONIZE, FALSE, kName);
    CHECK(again != nullptr);  // the "Local\" handle still holds it
    if (again) CHECK_EQ(plat::CloseHandle(again), TRUE);
    CHECK_EQ(plat::CloseHandle(local), TRUE);

    plat::SetLastError(kSentinelError);
    HANDLE gone = plat::OpenEventA(SYNCHRONIZE, FALSE, kName);
    CHECK(gone == nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_FILE_NOT_FOUND);
    if (gone) plat::CloseHandle(gone);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::SetEvent(first), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
}

// An auto-reset event lets one wait through and is reset by it; a wait on an event nobody sets
// times out after the time asked for. A NULL or empty name makes an unnamed event; OpenEventA
// refuses a NULL name (87) and an empty one (6).
CONTRACT_CASE(Sync, AutoResetAndUnnamedEvents) {
    plat::SetLastError(kSentinelError);
    HANDLE unnamed = plat::CreateEventA(nullptr, FALSE, TRUE, nullptr);
    REQUIRE(unnamed != nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_SUCCESS);
    CHECK_EQ(plat::WaitForSingleObject(unnamed, 0), WAIT_OBJECT_0);
    CHECK_EQ(plat::WaitForSingleObject(unnamed, 0), WAIT_TIMEOUT);
    CHECK_EQ(plat::SetEvent(unnamed), TRUE);
    CHECK_EQ(plat::WaitForSingleObject(unnamed, 0), WAIT_OBJECT_0);

    constexpr DWORD kWait = 200;
    const DWORD before = plat::GetTickCount();
    CHECK_EQ(plat::WaitForSingleObject(unnamed, kWait), WAIT_TIMEOUT);
    CHECK(plat::GetTickCount() - before >= kWait - kOneTick);
    CHECK_EQ(plat::CloseHandle(unnamed), TRUE);

    HANDLE empty_name = plat::CreateEventA(nullptr, TRUE, FALSE, "");
    CHECK(empty_name != nullptr);
    if (empty_name) CHECK_EQ(plat::CloseHandle(empty_name), TRUE);

    plat::SetLastError(kSentinelError);
    CHECK(plat::OpenEventA(SYNCHRONIZE, FALSE, nullptr) == nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_PARAMETER);
    plat::SetLastError(kSentinelError);
    CHECK(plat::OpenEventA(SYNCHRONIZE, FALSE, "") == nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
}
