// The simulated processes beyond what the contract suite can see on Wine: where CreateProcessA
// looks for a program (current directory, system and Windows folders, drive-relative names), what
// it records of a start, run times and exit codes on the virtual clock, the waits it records, a
// wait that can never end, and the end of the simulated process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scoped.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Drive;
using plat::sim::ProgramBehaviour;
using plat::sim::WaitsForever;
using tvx::test::SimRig;
using tvx::test::SimTest;

struct Start {
    BOOL ok = FALSE;
    DWORD error = 0;
    PROCESS_INFORMATION info{};
};

Start Launch(const char* application, std::string command_line, const char* directory = nullptr,
             DWORD creation_flags = 0, DWORD startup_flags = 0, WORD show = 0) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = startup_flags;
    startup.wShowWindow = show;
    Start s;
    plat::SetLastError(0xDEADBEEF);
    s.ok = plat::CreateProcessA(application, command_line.data(), nullptr, nullptr, FALSE, creation_flags, nullptr,
                                directory, &startup, &s.info);
    s.error = plat::GetLastError();
    return s;
}

void CloseBoth(const Start& s) {
    EXPECT_EQ(plat::CloseHandle(s.info.hThread), TRUE);
    EXPECT_EQ(plat::CloseHandle(s.info.hProcess), TRUE);
}

class SimProcessTest : public SimTest {
protected:
    void Place(const std::string& path, uint64_t run_ms = 0, DWORD exit_code = 0, bool never_ends = false) {
        rig.machine.files().WriteFile(path, "MZ");
        ProgramBehaviour b;
        b.path = path;
        b.run_time_ms = run_ms;
        b.exit_code = exit_code;
        b.never_ends = never_ends;
        rig.machine.process().SetProgram(b);
    }
    uint64_t Now() { return rig.machine.clock().now_ms(); }
};

// The folders searched for a name without a path, in Windows' order, and the forms of a path.
TEST_F(SimProcessTest, FindsTheProgramAsWindowsDoes) {
    auto& files = rig.machine.files();
    const auto disc = tvx::test::FreshScratchFolder(".disc");
    files.AddDrive(Drive{'D', DRIVE_CDROM, "TVX_DISC", 0x1234, disc});
    files.AddDrive(Drive{'E', DRIVE_CDROM, "", 0, {}});  // no disc
    Place("C:\\probe\\Program.exe");
    Place("C:\\probe\\Program Files\\sub dir\\kid.exe");
    Place("C:\\probe\\kid.exe");
    Place("C:\\probe\\noext");
    Place("C:\\Windows\\tool.exe");
    Place("C:\\Windows\\system32\\sys.exe");
    Place("C:\\Windows\\system32\\both.exe");
    Place("C:\\Windows\\both.exe");
    Place("C:\\work\\local.exe");
    Place("C:\\work\\both.exe");
    Place("D:\\setup.exe");
    files.SetCurrentDirectory("C:\\work");

    struct Case {
        const char* command_line;
        const char* program;  // nullptr: not found (2)
    } cases[] = {
        {"C:\\probe\\Program Files\\sub dir\\kid.exe /x", "C:\\probe\\Program.exe"},
        {"\"C:\\probe\\Program Files\\sub dir\\kid\" /x", "C:\\probe\\Program Files\\sub dir\\kid.exe"},
        {"c:\\PROBE\\kid /x", "C:\\probe\\kid.exe"},
        {"C:\\probe\\kid.exe\t/x", "C:\\probe\\kid.exe"},
        {"C:\\probe\\noext /x", nullptr},
        {"\"C:\\probe\\kid.exe /x", nullptr},
        {"local.exe /x", "C:\\work\\local.exe"},
        {"both", "C:\\work\\both.exe"},
        {"sys", "C:\\Windows\\system32\\sys.exe"},
        {"tool /x", "C:\\Windows\\tool.exe"},
        {".\\local", "C:\\work\\local.exe"},
        {".\\tool", nullptr},
        {"..\\probe\\kid", "C:\\probe\\kid.exe"},
        {"\\probe\\kid.exe", "C:\\probe\\kid.exe"},
        {"D:\\setup.exe /s", "D:\\setup.exe"},
        {"d:setup", "D:\\setup.exe"},
        {"E:\\setup.exe", nullptr},
        {"Q:\\setup.exe", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command_line);
        const size_t before = rig.machine.process().started().size();
        Start s = Launch(nullptr, c.command_line);
        if (!c.program) {
            EXPECT_EQ(s.ok, FALSE);
            EXPECT_EQ(s.error, ERROR_FILE_NOT_FOUND);
            EXPECT_EQ(rig.machine.process().started().size(), before);
            EXPECT_EQ(rig.machine.process().failed_starts().back().command_line, c.command_line);
            continue;
        }
        ASSERT_EQ(s.ok, TRUE);
        EXPECT_EQ(rig.machine.process().started().back().application, c.program);
        CloseBoth(s);
    }
}

// An application name is the program: no search, no ".exe"; the command line is then anything.
TEST_F(SimProcessTest, AnApplicationNameIsNotSearchedFor) {
    Place("C:\\Windows\\tool.exe");
    EXPECT_EQ(Launch("tool.exe", "tool.exe").error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Launch("C:\\Windows\\tool", "tool").error, ERROR_FILE_NOT_FOUND);
    Start s = Launch("C:\\Windows\\tool.exe", "anything at all");
    ASSERT_EQ(s.ok, TRUE);
    EXPECT_EQ(rig.machine.process().started().back().command_line, "anything at all");
    CloseBoth(s);
}

// The record of a start holds what the caller passed, as passed, and the time; the handles are
// two different entries of the one handle table.
TEST_F(SimProcessTest, RecordsHowTheProgramWasStarted) {
    Place("C:\\disc\\setup.exe", 500, 0);
    plat::SetLastError(0);
    rig.machine.system().Sleep(1234);
    Start s = Launch(nullptr, "C:\\DISC\\SETUP.EXE /lang 9", "c:\\disc\\", CREATE_NEW_CONSOLE,
                     STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK, SW_SHOWNORMAL);
    ASSERT_EQ(s.ok, TRUE);
    const plat::sim::StartedProgram& p = rig.machine.process().started().back();
    EXPECT_EQ(p.application, "C:\\disc\\setup.exe");
    EXPECT_EQ(p.command_line, "C:\\DISC\\SETUP.EXE /lang 9");
    EXPECT_EQ(p.directory, "c:\\disc\\");
    EXPECT_EQ(p.creation_flags, static_cast<DWORD>(CREATE_NEW_CONSOLE));
    EXPECT_EQ(p.startup_flags, static_cast<DWORD>(STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK));
    EXPECT_EQ(p.show_window, SW_SHOWNORMAL);
    EXPECT_EQ(p.started_ms, 1234u);
    EXPECT_EQ(p.ends_ms, 1734u);
    EXPECT_NE(s.info.hProcess, s.info.hThread);
    EXPECT_NE(s.info.dwProcessId, s.info.dwThreadId);
    EXPECT_EQ(rig.machine.handles().open_count(), 2u);
    CloseBoth(s);
}

// The current directory must be a folder (267), the program is looked for first (2); a failed
// start leaves no handle and is recorded with its error.
TEST_F(SimProcessTest, ACurrentDirectoryThatIsNoFolderFailsTheStart) {
    Place("C:\\disc\\setup.exe");
    struct Case {
        const char* command_line;
        const char* directory;
        DWORD error;
    } cases[] = {
        {"C:\\disc\\setup.exe", "C:\\no such folder", ERROR_DIRECTORY},
        {"C:\\disc\\setup.exe", "C:\\disc\\setup.exe", ERROR_DIRECTORY},
        {"C:\\disc\\missing.exe", "C:\\no such folder", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory);
        Start s = Launch(nullptr, c.command_line, c.directory);
        EXPECT_EQ(s.ok, FALSE);
        EXPECT_EQ(s.error, c.error);
        const auto& failed = rig.machine.process().failed_starts().back();
        EXPECT_EQ(failed.directory, c.directory);
        EXPECT_EQ(failed.error, c.error);
    }
    EXPECT_TRUE(rig.machine.process().started().empty());
}

// A program runs for its run time: a shorter wait times out after its own time, a wait without a
// limit lasts the rest of the run; each wait is recorded with what it waited for.
TEST_F(SimProcessTest, WaitsAdvanceTheVirtualClock) {
    Place("C:\\fw\\tool.exe", 5000, 3);
    Start s = Launch(nullptr, "C:\\fw\\tool.exe -update");
    ASSERT_EQ(s.ok, TRUE);
    DWORD code = 0;
    EXPECT_EQ(plat::GetExitCodeProcess(s.info.hProcess, &code), TRUE);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(plat::WaitForSingleObject(s.info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_EQ(plat::WaitForSingleObject(s.info.hProcess, 1000), WAIT_TIMEOUT);
    EXPECT_EQ(Now(), 1000u);
    EXPECT_EQ(plat::WaitForSingleObject(s.info.hThread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Now(), 5000u);
    EXPECT_EQ(plat::WaitForSingleObject(s.info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Now(), 5000u);
    EXPECT_EQ(plat::GetExitCodeProcess(s.info.hProcess, &code), TRUE);
    EXPECT_EQ(code, 3u);

    const auto& waits = rig.machine.process().waits();
    ASSERT_EQ(waits.size(), 4u);
    struct Expected {
        DWORD timeout, result;
        uint64_t started, waited;
    } expected[] = {
        {0, WAIT_TIMEOUT, 0, 0},
        {1000, WAIT_TIMEOUT, 0, 1000},
        {INFINITE, WAIT_OBJECT_0, 1000, 4000},
        {INFINITE, WAIT_OBJECT_0, 5000, 0},
    };
    for (size_t i = 0; i < waits.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(waits[i].what, "C:\\fw\\tool.exe -update");
        EXPECT_EQ(waits[i].timeout_ms, expected[i].timeout);
        EXPECT_EQ(waits[i].result, expected[i].result);
        EXPECT_EQ(waits[i].started_ms, expected[i].started);
        EXPECT_EQ(waits[i].waited_ms, expected[i].waited);
        EXPECT_FALSE(waits[i].forever);
    }
    CloseBoth(s);
}

// A program without a behaviour of its own ends at once with exit code 0.
TEST_F(SimProcessTest, AProgramWithoutBehaviourEndsAtOnce) {
    rig.machine.files().WriteFile("C:\\disc\\setup.exe", "MZ");
    Start s = Launch(nullptr, "C:\\disc\\setup.exe");
    ASSERT_EQ(s.ok, TRUE);
    EXPECT_TRUE(rig.machine.process().Ended(rig.machine.process().started().back()));
    DWORD code = 99;
    EXPECT_EQ(plat::GetExitCodeProcess(s.info.hProcess, &code), TRUE);
    EXPECT_EQ(code, 0u);
    CloseBoth(s);
}

// A wait without a limit for a program that never ends stops the run instead of hanging it: the
// wait is recorded as one that never ends, the trace shows the call that did not return, and the
// clock has not moved. A limited wait for it just times out.
TEST_F(SimProcessTest, AWaitThatCanNeverEndStopsTheRun) {
    Place("C:\\fw\\tool.exe", 0, 0, true);
    Start s = Launch(nullptr, "C:\\fw\\tool.exe -update");
    ASSERT_EQ(s.ok, TRUE);
    EXPECT_EQ(plat::WaitForSingleObject(s.info.hProcess, 60000), WAIT_TIMEOUT);
    EXPECT_EQ(Now(), 60000u);
    try {
        plat::WaitForSingleObject(s.info.hProcess, INFINITE);
        ADD_FAILURE() << "the wait returned";
    } catch (const WaitsForever& e) {
        EXPECT_NE(std::string(e.what()).find("C:\\fw\\tool.exe -update"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Now(), 60000u);
    const plat::sim::WaitRecord& wait = rig.machine.process().waits().back();
    EXPECT_TRUE(wait.forever);
    EXPECT_EQ(wait.timeout_ms, INFINITE);
    const auto& trace = plat::host::Layer().trace();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back().call, "WaitForSingleObject");
    EXPECT_NE(trace.back().result.find("does not return"), std::string::npos) << trace.back().result;
    DWORD code = 0;
    EXPECT_EQ(plat::GetExitCodeProcess(s.info.hProcess, &code), TRUE);
    EXPECT_EQ(code, STILL_ACTIVE);
    CloseBoth(s);
}

// CloseHandle takes process, thread and event handles, each once; a search handle, a closed handle
// and NULL give 6, and so does a wait on a handle that is none.
TEST_F(SimProcessTest, CloseHandleTakesKernelObjectsOnly) {
    rig.machine.files().WriteFile("C:\\x.exe", "MZ");
    Start s = Launch(nullptr, "C:\\x.exe");
    ASSERT_EQ(s.ok, TRUE);
    WIN32_FIND_DATAA data;
    HANDLE find = plat::FindFirstFileA("C:\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    for (HANDLE h : {find, static_cast<HANDLE>(nullptr)}) {
        plat::SetLastError(0);
        EXPECT_EQ(plat::CloseHandle(h), FALSE);
        EXPECT_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(plat::FindClose(find), TRUE);
    CloseBoth(s);
    plat::SetLastError(0);
    EXPECT_EQ(plat::CloseHandle(s.info.hProcess), FALSE);
    EXPECT_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat::WaitForSingleObject(s.info.hProcess, INFINITE), WAIT_FAILED);
    EXPECT_EQ(rig.machine.process().waits().back().result, WAIT_FAILED);
}

// When the simulated process ends, every handle it held closes with it, streams and file handles
// included (a file marked for deletion goes with its handle), and the named event that only it
// kept alive is gone; programs it started run on.
TEST(SimProcessEnd, EndingTheProcessClosesEveryHandle) {
    SimRig rig;
    rig.machine.files().WriteFile("C:\\x.exe", "MZ");
    Start s = Launch(nullptr, "C:\\x.exe");
    ASSERT_EQ(s.ok, TRUE);
    HANDLE event = plat::CreateEventA(nullptr, TRUE, FALSE, "TvxEvent");
    ASSERT_NE(event, nullptr);
    FILE* log = plat::_fsopen("C:\\Windows\\Temp\\x.log", "a+b", _SH_DENYNO);
    ASSERT_NE(log, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", 0, KEY_READ, &key), ERROR_SUCCESS);
    HANDLE held = plat::CreateFileA("C:\\Windows\\Temp\\held.log", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE marked = plat::CreateFileA("C:\\Windows\\Temp\\marked.log", GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(marked, INVALID_HANDLE_VALUE);
    FILE_DISPOSITION_INFO remove = {TRUE};
    ASSERT_EQ(plat::SetFileInformationByHandle(marked, FileDispositionInfo, &remove, sizeof remove), TRUE);
    const int fd = plat::_open_osfhandle(reinterpret_cast<intptr_t>(marked), 0);
    ASSERT_NE(plat::_fdopen(fd, "wb"), nullptr);

    const std::vector<std::string> open = rig.machine.EndProcess();
    EXPECT_EQ(open.size(), 8u) << ::testing::PrintToString(open);
    EXPECT_EQ(rig.machine.handles().open_count(), 0u);
    EXPECT_FALSE(rig.machine.sync().EventExists("TvxEvent"));
    EXPECT_EQ(plat::DeleteFileA("C:\\Windows\\Temp\\x.log"), TRUE);  // no stream holds it any more
    EXPECT_EQ(plat::DeleteFileA("C:\\Windows\\Temp\\held.log"), TRUE);  // nor a file handle
    EXPECT_FALSE(rig.machine.files().IsFile("C:\\Windows\\Temp\\marked.log"));
    EXPECT_EQ(rig.machine.process().started().size(), 1u);
    rig.ExpectClean();
}

}  // namespace
