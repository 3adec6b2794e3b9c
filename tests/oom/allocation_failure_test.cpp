// The library's allocations failed in turn: the default scenario's device-installer calls, the
// finish-install action and the DLL runner's entry, with the Nth allocation of the library failing
// (once, and from then on), for N = 1, 2, ... until a run no longer reaches N. Every run must come
// back from every export with an answer the device installer allows, and end with no handle open.
//
// This program replaces the global operator new, so it is a program of its own: no other test
// shares it. Only the library's own allocations fail: an allocation made while a Windows call is
// under way belongs to the simulated machine (on Windows a call does not raise bad_alloc), and so
// do the test's own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "inf/fix_strings.h"
#include "platform/host/call_layer.h"
#include "platform/host/library.h"
#include "platform/sim/device_installer.h"
#include "platform/sim/machine.h"
#include "tests/logic/fix_strings_rig.h"
#include "tests/sim_fixture.h"
#include "tools/scenario/scenario.h"
#include "tools/tvx-sim/machine_setup.h"

namespace {

struct AllocationFaults {
    bool armed = false;       // the library runs (a load, an export call or an unload)
    uint64_t count = 0;       // the library's allocations since the run began
    uint64_t fail_at = 0;     // the allocation that fails (1-based); 0: none, they are only counted
    bool from_then_on = false;
    uint64_t failed = 0;      // how many were failed
};
AllocationFaults g_faults;

void* Allocate(std::size_t size) {
    if (g_faults.armed && plat::host::CallDepth() == 0) {
        const uint64_t n = ++g_faults.count;
        const uint64_t at = g_faults.fail_at;
        if (at != 0 && (n == at || (g_faults.from_then_on && n > at))) {
            ++g_faults.failed;
            throw std::bad_alloc();
        }
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Arms the failure (when `on`) while the library runs.
class Armed {
public:
    explicit Armed(bool on) { g_faults.armed = on; }
    ~Armed() { g_faults.armed = false; }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

// One call into the library; an exception that leaves it is a failure of the test (left uncaught it
// would end the program).
// The library's allocations counted in each call of the last run, in call order.
std::vector<std::pair<std::string, uint64_t>> g_allocations_by_call;

template <class Call>
void CallLibrary(const std::string& what, bool arm, Call&& call) {
    const uint64_t before = g_faults.count;
    struct Note {
        const std::string& what;
        uint64_t before;
        ~Note() { g_allocations_by_call.emplace_back(what, g_faults.count - before); }
    } note{what, before};
    try {
        Armed armed(arm);
        call();
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << " let an exception out: " << e.what();
    } catch (...) {
        ADD_FAILURE() << what << " let an exception out";
    }
}

const tvx::Scenario& DefaultScenario() {
    static const tvx::Scenario scenario = tvx::ReadScenario(std::filesystem::path(TVX_SCENARIOS) / "default" /
                                                            "scenario.toml");
    return scenario;
}

struct RunFaults {
    uint64_t fail_at = 0;
    bool from_then_on = false;
    // Which of the library's allocations count: those of the load and the calls, or those of the
    // unload alone.
    bool unload_only = false;
};

// The default scenario's machine and the whole new-device sequence, the finish-install action
// and the DLL runner's entry, on a fresh machine. Answers whether the failure was reached.
bool RunSequence(const RunFaults& faults) {
    // A folder of the test's own: ctest runs the cases of this program side by side.
    const std::filesystem::path folder = tvx::test::FreshScratchFolder("-allocation-failure");
    const tvx::Scenario& scenario = DefaultScenario();
    plat::sim::Machine machine(tvx::sim::ProfileOf(scenario.machine), tvx::sim::DriveFolder(folder, 'C'));
    tvx::sim::SetUpMachine(machine, scenario.machine, folder, scenario.file.string());
    plat::sim::ActiveMachine active(machine);
    plat::host::Layer().Reset();
    plat::host::Layer().SetTracing(false);

    g_faults = AllocationFaults{};
    g_allocations_by_call.clear();
    g_faults.fail_at = faults.fail_at;
    g_faults.from_then_on = faults.from_then_on;

    plat::host::CoInstallerLibrary library;
    const std::string module = TVX_COINSTALLER_MODULE;  // the test's own text, made before arming
    bool loaded = false;
    CallLibrary("the load", !faults.unload_only, [&] { loaded = library.Load(module); });
    EXPECT_TRUE(loaded) << library.error();
    if (!loaded) return g_faults.failed != 0;

    auto dif = [&](const char* name, DI_FUNCTION code, bool post, std::vector<DWORD> allowed) {
        // Only the co-installer's own allocations fail: the simulated device installer's set is
        // made and destroyed outside the call.
        SP_DEVINFO_DATA data;
        HDEVINFO set = machine.setupapi().OpenSetFor(0, &data);
        DWORD result = 0xFFFFFFFFu;
        CallLibrary(name, !faults.unload_only,
                    [&] { result = plat::sim::CallCoInstaller(set, data, {code, 0, post}, library.Entry()); });
        machine.setupapi().SetupDiDestroyDeviceInfoList(set);
        bool ok = false;
        for (DWORD a : allowed) ok = ok || result == a;
        EXPECT_TRUE(ok) << name << " answered 0x" << std::hex << result;
    };
    // The pre-processing pass asks for post-processing, or, when its work broke off, lets the
    // installation go on without it; every other call lets it go on.
    dif("DIF_INSTALLDEVICE (pre)", DIF_INSTALLDEVICE, false, {ERROR_DI_POSTPROCESSING_REQUIRED, NO_ERROR});
    dif("DIF_INSTALLDEVICE (post)", DIF_INSTALLDEVICE, true, {NO_ERROR});
    dif("DIF_NEWDEVICEWIZARD_FINISHINSTALL", DIF_NEWDEVICEWIZARD_FINISHINSTALL, false, {NO_ERROR});
    dif("DIF_FINISHINSTALL_ACTION", DIF_FINISHINSTALL_ACTION, false, {NO_ERROR});
    std::string commandLine = "tvxQ920k";
    CallLibrary("InstallPellionSoftware", !faults.unload_only, [&] {
        library.InstallPellionSoftware(nullptr, plat::host::CoInstallerLibrary::ModuleHandle(), commandLine.data(), 1);
    });
    CallLibrary("the unload", faults.unload_only, [&] { library.Unload(); });

    // The process ends: nothing may still be open but the named event the install keeps on purpose.
    for (const std::string& open : machine.EndProcess()) {
        const std::string kept = ": event tvx_PNPFinishedEvent_99";
        const bool onPurpose = open.size() >= kept.size() && open.compare(open.size() - kept.size(), kept.size(), kept) == 0;
        EXPECT_TRUE(onPurpose) << "left open: " << open;
    }
    EXPECT_TRUE(plat::host::Layer().not_modelled().empty());
    return g_faults.failed != 0;
}

class AllocationFailure : public ::testing::TestWithParam<bool> {};

TEST_P(AllocationFailure, EveryExportAnswersAndLeavesNoHandleOpen) {
    const bool fromThenOn = GetParam();
    {
        SCOPED_TRACE("without failures");
        EXPECT_FALSE(RunSequence(RunFaults{}));
        // Every call but the unload (whose allocations another test fails) allocates: so each
        // is reached by the sweep, and the replacement serves the library loaded at run time.
        for (const auto& [call, allocations] : g_allocations_by_call) {
            if (call != "the unload") {
                EXPECT_GT(allocations, 0u) << call;
            }
        }
    }
    uint64_t n = 1;
    for (;; ++n) {
        SCOPED_TRACE((fromThenOn ? "from allocation " : "allocation ") + std::to_string(n));
        if (!RunSequence(RunFaults{n, fromThenOn}) || ::testing::Test::HasFailure()) break;
    }
    // The library allocates for its log lines, paths and texts at every step: a sweep that ends
    // early never reached them.
    EXPECT_GT(n, 100u) << "the sweep reached the library's allocations";
}

// The unload destroys the global object, whose logger writes its end lines: an allocation that
// fails there must not end the process either. Each case runs in a child process, so that a
// failure that ends it (an exception out of a destructor is std::terminate) is reported as this
// test's failure.
TEST(AllocationFailureAtUnload, TheUnloadLetsNothingOut) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RunSequence(RunFaults{0, false, true});
    const uint64_t allocations = g_faults.count;
    EXPECT_GT(allocations, 0u) << "the unload allocates for the logger's end lines";
    for (uint64_t n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of the unload");
        EXPECT_EXIT(
            {
                RunSequence(RunFaults{n, false, true});
                std::exit(::testing::Test::HasFailure() ? 2 : 0);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

// The button-string repair as the software-first install runs it, with its Nth allocation failing:
// its log and its device record are allocated without exceptions, so a repair that could not get
// them goes on without its log or stops; any other allocation that fails ends it with bad_alloc,
// which the exports catch. Either way it leaves no key, device set or file open and writes no text
// it did not read for that button.
TEST(AllocationFailureInTheRepair, TheRepairStopsOrGoesOnWithoutItsLogAndLeavesNothingOpen) {
    auto Run = [](uint64_t failAt) {
        tvx::test::FixStringsRig rig("-" + std::to_string(failAt));
        rig.InstallSoftware();
        rig.Texts("Suomi");
        rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
        for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) rig.EventKey("0000", button);
        g_faults = AllocationFaults{};
        g_faults.fail_at = failAt;
        try {
            Armed armed(true);
            CFixStrings(tvx::test::kFixParamsKey).FixLocButRegStrings();
        } catch (const std::bad_alloc&) {
        }
        for (const std::string button : {"ScanButton", "CopyButton", "EmailButton"}) {
            const std::string d = rig.Event("0000", button, "");
            const std::string f = rig.Event("0000", button, "FriendlyName");
            EXPECT_TRUE(d == "INF text" || d == "Suomi " + button + " description") << button << d;
            EXPECT_TRUE(f == "INF name" || f == "Suomi " + button + " name") << button << f;
            if (failAt == 0) {
                EXPECT_EQ(d, "Suomi " + button + " description") << "without failures the repair does its work";
            }
        }
        rig.ExpectClean();
        return g_faults;
    };
    const AllocationFaults counted = Run(0);
    ASSERT_GT(counted.count, 10u) << "the repair allocates";
    for (uint64_t n = 1; n <= counted.count; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        EXPECT_EQ(Run(n).failed, 1u);
        if (::testing::Test::HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(OnceAndFromThenOn, AllocationFailure, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("FromThenOn") : std::string("Once");
                         });

}  // namespace
