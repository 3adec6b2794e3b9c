// Processes: programs started from a command line as Windows finds them, each running for its
// scenario-given virtual time and ending with its exit code; waits advance the virtual clock.
// Process and thread handles come from the machine's one handle table. Simulated machine only.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/sim/handles.h"

namespace plat::sim {

class SimFiles;
class SimSystem;
class VirtualClock;

// How a program behaves once started: its virtual run time and exit code; `never_ends` makes a
// program that runs forever (a wait for it without a time limit stops the run, see WaitsForever).
struct ProgramBehaviour {
    std::string path;  // Windows path of the program file, matched without regard to case
    uint64_t run_time_ms = 0;
    DWORD exit_code = 0;
    bool never_ends = false;
};

// One program the logic started, as CreateProcessA received it.
struct StartedProgram {
    std::string application;   // the program file as found (Windows path, as on disk)
    std::string command_line;  // exactly as passed
    std::string directory;     // current directory as passed; empty when none was given
    DWORD creation_flags = 0;
    DWORD startup_flags = 0;   // STARTUPINFOA.dwFlags
    WORD show_window = 0;      // STARTUPINFOA.wShowWindow
    uint64_t started_ms = 0;   // virtual clock
    uint64_t ends_ms = 0;      // when it ends (meaningless when never_ends)
    bool never_ends = false;
    DWORD exit_code = 0;
};

// One wait of the logic: on what, for how long it was willing to wait, and how long it did.
struct WaitRecord {
    std::string what;          // e.g. the command line of the process waited for
    DWORD timeout_ms = 0;      // INFINITE for no limit
    uint64_t started_ms = 0;
    uint64_t waited_ms = 0;
    DWORD result = 0;          // WAIT_OBJECT_0, WAIT_TIMEOUT, WAIT_FAILED
    bool forever = false;      // a wait without a time limit for something that never comes: the run stops here
};

// A CreateProcessA call that failed, as it was made.
struct FailedStart {
    std::string command_line;
    std::string directory;
    DWORD error = 0;
    uint64_t at_ms = 0;
};

// Thrown by a wait without a time limit for a process that never ends: the simulated machine
// cannot let time run forever, so the step that waits stops there and the report says so.
class WaitsForever : public std::runtime_error {
public:
    explicit WaitsForever(const std::string& what) : std::runtime_error(what) {}
};

class SimProcess : public ProcessBackend {
public:
    SimProcess(HandleTable& handles, SimSystem& system, SimFiles& files, VirtualClock& clock);

    // Set-up: how a program behaves when started. A program file that exists on a drive but has
    // no behaviour given ends at once with exit code 0.
    void SetProgram(ProgramBehaviour behaviour);

    const std::vector<StartedProgram>& started() const { return started_; }
    const std::vector<WaitRecord>& waits() const { return waits_; }
    const std::vector<FailedStart>& failed_starts() const { return failed_; }
    // Whether a started program has ended by now on the virtual clock.
    bool Ended(const StartedProgram& program) const;

    BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                        LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                        LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                        LPPROCESS_INFORMATION lpProcessInformation) override;
    DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) override;
    BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) override;
    BOOL CloseHandle(HANDLE hObject) override;

private:
    // The program a command line names, found as Windows finds it (see process.cpp).
    std::optional<std::string> FindProgram(const std::string& command_line) const;
    std::optional<std::string> SearchProgram(const std::string& name) const;
    BOOL FailStart(const std::string& command_line, LPCSTR directory, DWORD error);
    WaitRecord& RecordWait(std::string what, DWORD timeout);

    HandleTable& handles_;
    SimSystem& system_;
    SimFiles& files_;
    VirtualClock& clock_;
    std::vector<ProgramBehaviour> programs_;
    std::vector<FailedStart> failed_;
    DWORD next_id_ = 0x1000;
    std::vector<StartedProgram> started_;
    std::vector<WaitRecord> waits_;
};

}  // namespace plat::sim
