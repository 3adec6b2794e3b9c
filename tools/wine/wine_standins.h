// The Wine harness's stand-ins for the other programs a scenario's machine runs: the disc's
// programs (their records of how they were started and when they ended), the services of the
// scenario (registered as stand-in service programs that record their states) and the top-level
// windows of other programs (stand-in programs that record the messages posted to them).
// Win32 only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/windows_sdk.h"
#include "tools/scenario/machine_description.h"

namespace tvx::wine {

// System time in 100 ns units (FILETIME), the clock every record of the stand-ins uses.
uint64_t NowTicks();

// The stand-in programs of the Windows build, by their Windows paths.
struct StandinPaths {
    std::filesystem::path program;  // tvx-standin-program.exe: replaces every .exe on a scenario's drive
    std::filesystem::path service;  // tvx-standin-service.exe
    std::filesystem::path window;   // tvx-standin-window.exe
};
StandinPaths StandinsIn(const std::filesystem::path& folder);

// The named event that ends every stand-in that is still running.
constexpr const char* kQuitEvent = "TvxStandinQuit";

// One disc program's start (and end, once it ended), as it recorded them.
struct ProgramRun {
    unsigned long pid = 0;
    uint64_t created = 0;  // process creation time
    std::string self;      // its own path
    std::string command_line;
    std::string directory;
    uint32_t startup_flags = 0;
    uint32_t show_window = 0;
    std::string console;  // "own", "shared" or "none"
    std::optional<uint64_t> ended;
};
// Every program recorded in the file so far, in the order they were created.
std::vector<ProgramRun> ReadProgramRuns(const std::filesystem::path& record);

// Waits until no process runs a program from one of the scenario's drives (other than C:), at
// most `timeout_ms`; false when some still run. A stand-in writes its start record before anything
// else, so once they have all ended their records are complete.
bool WaitForDiscPrograms(const MachineDescription& machine, DWORD timeout_ms);

// The real milliseconds a stand-in runs for a scenario's virtual run time: long enough that the
// co-installer's going on without a wait shows (its call returns while the program still runs),
// short enough for a test.
uint32_t RealRunTimeMs(uint32_t virtual_ms);

// TVX_PROGRAM_BEHAVIOUR for the stand-ins, from the scenario's programs.
std::string ProgramBehaviour(const MachineDescription& machine);

// Registers a stand-in service for every service of the scenario (in place of Wine's service of
// that name) and removes Wine's still-image service when the scenario has none. The stand-ins
// record their states in `record`. Throws std::runtime_error naming the action when a call fails.
void RegisterServices(const MachineDescription& machine, const StandinPaths& standins, const std::filesystem::path& record);

// One state a stand-in service entered.
struct ServiceStateRecord {
    std::string service;
    std::string state;
    uint64_t at = 0;
};
std::vector<ServiceStateRecord> ReadServiceStates(const std::filesystem::path& record);

// A service's current state ("running", "stopped", ...; "not installed" when there is none).
std::string ServiceState(const std::string& name);
// Starts a service and waits until it runs; false when it does not within `timeout_ms`.
bool StartAndWait(const std::string& name, DWORD timeout_ms, std::string* error);
// Waits until the service is in no pending state, at most `timeout_ms`, and answers its state.
std::string SettledState(const std::string& name, DWORD timeout_ms);
// Ends a stand-in service's process, whatever its state.
void EndServiceProcess(const std::string& name);

// The stand-in windows of a run: started before the steps, flushed after each, closed at the end.
class StandinWindows {
public:
    StandinWindows(const MachineDescription& machine, const StandinPaths& standins, std::filesystem::path record);
    ~StandinWindows();
    StandinWindows(const StandinWindows&) = delete;
    StandinWindows& operator=(const StandinWindows&) = delete;

    // Starts one window program per scenario window; throws std::runtime_error when one does not
    // come up.
    void Start();
    // Waits until every message posted so far has been recorded, then answers the new ones as
    // (window class, message, wParam, lParam).
    struct Message {
        std::string window_class;
        uint32_t message = 0;
        uint64_t wparam = 0;
        uint64_t lparam = 0;
    };
    std::vector<Message> Flush();
    void Close();

private:
    struct Window {
        std::string window_class;
        std::filesystem::path record;
        HWND hwnd = nullptr;
        HANDLE process = nullptr;
        size_t seen = 0;  // bytes of the record already read
    };
    const MachineDescription& machine_;
    StandinPaths standins_;
    std::filesystem::path folder_;
    std::vector<Window> windows_;
    unsigned flushes_ = 0;
};

}  // namespace tvx::wine
