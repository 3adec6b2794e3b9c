// The still-image service restart: the monitor window told when it is there, otherwise the running
// service stopped (waited for within the time limit, across a wrapping tick count) and started.
#include <gtest/gtest.h>

#include <string>

#include "install/system_services.h"
#include "tests/logic/install_rig.h"

namespace {

using namespace tvx::test;

size_t Calls(const std::string& call) {
    size_t n = 0;
    for (const auto& r : plat::host::Layer().trace())
        if (r.call == call) ++n;
    return n;
}

struct StillImageCase {
    const char* name;
    bool window = false;
    bool service = true;
    DWORD state = SERVICE_RUNNING;
    uint64_t transition_ms = 3000;
    bool refuses_stop = false;
    bool never_stops = false;
    bool admin = true;
    // What is expected.
    size_t stops = 1, starts = 1, queries = 2;
    uint64_t waited_ms = 5000;
};

TEST(StillImageRestart, EachPath) {
    const StillImageCase cases[] = {
        {.name = "monitor window present", .window = true, .stops = 0, .starts = 0, .queries = 0, .waited_ms = 0},
        {.name = "running service stops within one poll"},
        {.name = "running service stops after three polls", .transition_ms = 12000, .queries = 4, .waited_ms = 15000},
        {.name = "service that never stops gets the start after the time limit",
         .never_stops = true, .queries = 5, .waited_ms = 20000},
        {.name = "service that refuses the stop", .refuses_stop = true, .starts = 0, .queries = 1, .waited_ms = 0},
        {.name = "stopped service left alone", .state = SERVICE_STOPPED, .stops = 0, .starts = 0, .queries = 1,
         .waited_ms = 0},
        {.name = "missing service", .service = false, .stops = 0, .starts = 0, .queries = 0, .waited_ms = 0},
        {.name = "manager refused to a non-administrator", .admin = false, .stops = 0, .starts = 0, .queries = 0,
         .waited_ms = 0},
    };
    for (const StillImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig(Profile(5, 1, VER_PLATFORM_WIN32_NT, "", c.admin), c.name);
        tvx::MachineDescription m;
        if (c.window) m.windows.push_back({.class_name = "STIExe_Window_Class", .title = "STI Monitor"});
        m.windows.push_back({.class_name = "OtherClass", .title = "STI Monitor"});
        if (c.service) {
            tvx::ServiceSetup& given = m.services.emplace_back(tvx::StillImageService(c.state == SERVICE_RUNNING, c.transition_ms));
            given.name = "StiSvc";
            given.refuses_stop = c.refuses_stop;
            given.never_stops = c.never_stops;
        }
        tvx::sim::SetUpMachine(rig.machine, m, rig.machine.c_drive_folder());
        plat::host::Layer().ClearTrace();

        EXPECT_EQ(RestartStillImageService(), 1);

        const auto& posted = rig.machine.window().posted();
        if (c.window) {
            ASSERT_EQ(posted.size(), 1u);
            EXPECT_EQ(posted[0].window_class, "STIExe_Window_Class");
            EXPECT_EQ(posted[0].message, 0x4C9u);
            EXPECT_EQ(posted[0].wparam, WPARAM(2));
            EXPECT_EQ(posted[0].lparam, LPARAM(2));
            EXPECT_EQ(Calls("OpenSCManagerA"), 0u) << "the service is not touched";
        } else {
            EXPECT_TRUE(posted.empty());
        }
        EXPECT_EQ(Calls("ControlService"), c.stops);
        EXPECT_EQ(Calls("StartServiceA"), c.starts);
        EXPECT_EQ(Calls("QueryServiceStatus"), c.queries);
        EXPECT_EQ(rig.machine.clock().now_ms(), c.waited_ms);
        if (c.service && c.starts == 0 && !c.refuses_stop) {
            EXPECT_EQ(rig.machine.services().StateOf("stisvc"), std::optional<DWORD>(c.state));
        }
        rig.ExpectClean();
    }
}

TEST(StillImageRestart, TheStopWaitMeasuresElapsedTicksAcrossTheWrap) {
    // The tick count at the stop request, some of them just before the 32-bit count wraps.
    const DWORD starts[] = {0u, 1000u, 0xFFFFFFFFu, 0xFFFFFFFFu - 7000u, 0xFFFFFFFFu - 15000u, 0xFFFFFFFFu - 19999u,
                            0xFFFFFFFFu - 20000u, 0xFFFFFFFFu - 25000u};
    for (const bool neverStops : {true, false}) {
        for (DWORD start : starts) {
            SCOPED_TRACE(std::to_string(start) + (neverStops ? " never stops" : " stops after 12 s"));
            SimRig rig(Profile(5, 1), std::to_string(start) + (neverStops ? "n" : "s"));
            tvx::MachineDescription m;
            m.tick_count_start = start;
            m.services.push_back(tvx::StillImageService(true, 12000));
            m.services.back().never_stops = neverStops;
            tvx::sim::SetUpMachine(rig.machine, m, rig.machine.c_drive_folder());

            RestartStillImageService();
            // Neither cut short by the wrap nor made endless by it: the time limit, or the stop.
            EXPECT_EQ(rig.machine.clock().now_ms(), neverStops ? 20000u : 15000u);
            EXPECT_TRUE(SimRig::Called("StartServiceA"));
            rig.ExpectClean();
        }
    }
}

}  // namespace
