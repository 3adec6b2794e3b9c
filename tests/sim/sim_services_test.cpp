// The simulated services in virtual time: stops and starts that stay pending for the service's
// transition time, a service that never stops, one that refuses the stop, the record of state
// changes with their times, and what an account that is not an administrator may do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scoped.h"
#include "tests/sim_fixture.h"

namespace {

using plat::ScopedService;
using plat::sim::ServiceSetup;
using tvx::test::Profile;
using tvx::test::SimRig;
using tvx::test::SimTest;

constexpr DWORD kControl = SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP;

ServiceSetup Given(const char* name, DWORD state, uint64_t transition_ms) {
    ServiceSetup given;
    given.name = name;
    given.display_name = std::string(name) + " service";
    given.state = state;
    given.transition_ms = transition_ms;
    return given;
}

class SimServicesTest : public SimTest {
protected:
    void SetUp() override { manager.reset(plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)); }
    void TearDown() override {
        manager.reset();
        SimTest::TearDown();
    }
    SC_HANDLE Open(const char* name, DWORD access = kControl) {
        return plat::OpenServiceA(manager.get(), name, access);
    }
    DWORD State(SC_HANDLE service) {
        SERVICE_STATUS status{};
        EXPECT_EQ(plat::QueryServiceStatus(service, &status), TRUE);
        return status.dwCurrentState;
    }
    void Sleep(DWORD ms) { plat::Sleep(ms); }
    // "at: service what" lines of the record.
    std::vector<std::string> Events() {
        std::vector<std::string> lines;
        for (const auto& e : rig.machine.services().events())
            lines.push_back(std::to_string(e.at_ms) + ": " + e.service + " " + e.what);
        return lines;
    }

    ScopedService manager;
};

// A stop stays pending for the transition time, then the service is stopped, with exit code 0;
// the record holds the request and the stop at the virtual times they happened, even when read
// long after.
TEST_F(SimServicesTest, AStopIsPendingForTheTransitionTime) {
    rig.machine.services().AddService(Given("StiSvc", SERVICE_RUNNING, 3000));
    ScopedService service(Open("stisvc"));
    ASSERT_TRUE(service);
    Sleep(100);
    SERVICE_STATUS status{};
    ASSERT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), TRUE);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(status.dwWaitHint, 3000u);
    Sleep(2999);
    EXPECT_EQ(State(service.get()), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(rig.machine.services().StateOf("STISVC"), std::optional<DWORD>(SERVICE_STOP_PENDING));
    Sleep(1);
    EXPECT_EQ(rig.machine.services().StateOf("StiSvc"), std::optional<DWORD>(SERVICE_STOPPED));
    Sleep(60000);
    ASSERT_EQ(plat::QueryServiceStatus(service.get(), &status), TRUE);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(Events(), (std::vector<std::string>{"100: StiSvc stop requested", "3100: StiSvc stopped"}));
}

// A start is pending for the transition time; meanwhile another start gives 1056 and a stop 1061.
// A service that was never started says so in its exit code (1077) until it is.
TEST_F(SimServicesTest, AStartIsPendingThenRunning) {
    rig.machine.services().AddService(Given("StiSvc", SERVICE_STOPPED, 500));
    ScopedService service(Open("StiSvc"));
    ASSERT_TRUE(service);
    SERVICE_STATUS status{};
    ASSERT_EQ(plat::QueryServiceStatus(service.get(), &status), TRUE);
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));
    EXPECT_EQ(status.dwControlsAccepted, 0u);

    ASSERT_EQ(plat::StartServiceA(service.get(), 0, nullptr), TRUE);
    EXPECT_EQ(State(service.get()), static_cast<DWORD>(SERVICE_START_PENDING));
    plat::SetLastError(0);
    EXPECT_EQ(plat::StartServiceA(service.get(), 0, nullptr), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    plat::SetLastError(0);
    EXPECT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));

    Sleep(500);
    ASSERT_EQ(plat::QueryServiceStatus(service.get(), &status), TRUE);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(status.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(Events(), (std::vector<std::string>{"0: StiSvc start requested", "500: StiSvc running"}));
}

// A service that never stops stays stop pending for good: it takes no further control (1061) and
// cannot be started (1056).
TEST_F(SimServicesTest, AServiceThatNeverStops) {
    ServiceSetup given = Given("StiSvc", SERVICE_RUNNING, 1000);
    given.never_stops = true;
    rig.machine.services().AddService(given);
    ScopedService service(Open("StiSvc"));
    ASSERT_TRUE(service);
    SERVICE_STATUS status{};
    ASSERT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), TRUE);
    Sleep(24 * 3600 * 1000);
    EXPECT_EQ(State(service.get()), static_cast<DWORD>(SERVICE_STOP_PENDING));
    plat::SetLastError(0);
    EXPECT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    plat::SetLastError(0);
    EXPECT_EQ(plat::StartServiceA(service.get(), 0, nullptr), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    EXPECT_EQ(Events(), (std::vector<std::string>{"0: StiSvc stop requested"}));
}

// A running service that does not accept the stop refuses it with 1052, reports itself running
// with no control accepted, and runs on.
TEST_F(SimServicesTest, AServiceThatRefusesTheStop) {
    ServiceSetup given = Given("StiSvc", SERVICE_RUNNING, 1000);
    given.refuses_stop = true;
    rig.machine.services().AddService(given);
    ScopedService service(Open("StiSvc"));
    ASSERT_TRUE(service);
    SERVICE_STATUS status{};
    plat::SetLastError(0);
    EXPECT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, 0u);
    Sleep(5000);
    EXPECT_EQ(State(service.get()), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Events(), (std::vector<std::string>{"0: StiSvc stop refused"}));
}

// A change that takes no time is complete when the call returns; stopping a stopped service gives
// 1062 with its status.
TEST_F(SimServicesTest, ChangesWithoutTransitionTimeAreImmediate) {
    rig.machine.services().AddService(Given("StiSvc", SERVICE_RUNNING, 0));
    ScopedService service(Open("StiSvc"));
    ASSERT_TRUE(service);
    SERVICE_STATUS status{};
    ASSERT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), TRUE);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    plat::SetLastError(0);
    EXPECT_EQ(plat::ControlService(service.get(), SERVICE_CONTROL_STOP, &status), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    ASSERT_EQ(plat::StartServiceA(service.get(), 0, nullptr), TRUE);
    EXPECT_EQ(State(service.get()), static_cast<DWORD>(SERVICE_RUNNING));
}

// Changes of several services are recorded in the order of their times, however late they are
// looked at.
TEST_F(SimServicesTest, TheRecordKeepsTheOrderOfTime) {
    rig.machine.services().AddService(Given("Slow", SERVICE_RUNNING, 4000));
    rig.machine.services().AddService(Given("Fast", SERVICE_RUNNING, 1000));
    ScopedService slow(Open("Slow"));
    ScopedService fast(Open("Fast"));
    SERVICE_STATUS status{};
    ASSERT_EQ(plat::ControlService(slow.get(), SERVICE_CONTROL_STOP, &status), TRUE);
    Sleep(500);
    ASSERT_EQ(plat::ControlService(fast.get(), SERVICE_CONTROL_STOP, &status), TRUE);
    Sleep(10000);
    EXPECT_EQ(Events(), (std::vector<std::string>{"0: Slow stop requested", "500: Fast stop requested",
                                                  "1500: Fast stopped", "4000: Slow stopped"}));
}

// Without the administrator's rights: the manager opens for connecting only (full access 5), a
// service for looking at only (stop, start or generic execute 5).
TEST(SimServicesRights, AStandardUserMayOnlyLookAtServices) {
    SimRig rig(Profile(5, 2, VER_PLATFORM_WIN32_NT, "", false));
    rig.machine.services().AddService(Given("StiSvc", SERVICE_RUNNING, 0));
    plat::SetLastError(0);
    EXPECT_EQ(plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ScopedService manager(plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ASSERT_TRUE(manager);
    for (DWORD access : {DWORD{SERVICE_STOP}, DWORD{SERVICE_START}, DWORD{SERVICE_QUERY_STATUS | SERVICE_STOP},
                         DWORD{GENERIC_EXECUTE}, DWORD{SERVICE_ALL_ACCESS}}) {
        SCOPED_TRACE(access);
        plat::SetLastError(0);
        EXPECT_EQ(plat::OpenServiceA(manager.get(), "StiSvc", access), nullptr);
        EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    ScopedService looking(plat::OpenServiceA(manager.get(), "StiSvc", GENERIC_READ));
    ASSERT_TRUE(looking);
    SERVICE_STATUS status{};
    EXPECT_EQ(plat::QueryServiceStatus(looking.get(), &status), TRUE);
    plat::SetLastError(0);
    EXPECT_EQ(plat::ControlService(looking.get(), SERVICE_CONTROL_STOP, &status), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    looking.reset();
    manager.reset();
    rig.ExpectClean();
}

}  // namespace
