// The process family's contract: how CreateProcessA finds the program a command line names, what
// it refuses, and how waits, exit codes and the process and thread handles behave, checked on the
// simulated machine and on Windows (Wine) alike. Portable: written against plat:: only; the
// programs started are placed in a scratch folder (world.h) and tell by their exit codes which of
// them ran.
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "tests/contract/check.h"
#include "tests/contract/scratch_folder.h"
#include "tests/contract/world.h"

namespace {

using contract::PlaceProgram;
using contract::ScratchFolder;

using contract::kSentinelError;
constexpr DWORD kLongEnough = 60000;  // a wait no placed program needs, on a busy machine too
using contract::kOneTick;

// A path in quotes. (Built by appending: GCC 12 misreads "\"" + path as an overlapping copy.)
std::string Quoted(const std::string& path) {
    std::string quoted(1, '"');
    quoted.append(path);
    quoted.push_back('"');
    return quoted;
}

struct Started {
    BOOL ok = FALSE;
    DWORD error = 0;
    DWORD exit_code = 0;
};

// Starts a program (the command line in writable memory, as CreateProcessA wants it), waits for
// it and closes its handles; the exit code it ended with, or the error of the start.
Started Run(const char* application, const std::string& command_line, const char* directory = nullptr) {
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    Started result;
    plat::SetLastError(kSentinelError);
    result.ok = plat::CreateProcessA(application, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                                     &startup, &info);
    if (!result.ok) {
        result.error = plat::GetLastError();
        return result;
    }
    CHECK_EQ(plat::WaitForSingleObject(info.hProcess, kLongEnough), WAIT_OBJECT_0);
    CHECK_EQ(plat::GetExitCodeProcess(info.hProcess, &result.exit_code), TRUE);
    CHECK_EQ(plat::CloseHandle(info.hThread), TRUE);
    CHECK_EQ(plat::CloseHandle(info.hProcess), TRUE);
    return result;
}

// Each placed program ends with a code of its own, so the code shows which one ran.
constexpr DWORD kProgramAtFirstBlank = 11;  // <folder>\Program.exe
constexpr DWORD kKidInSubfolder = 7;        // <folder>\Program Files\sub dir\kid.exe
constexpr DWORD kKid = 5;                   // <folder>\kid.exe
constexpr DWORD kTwoDots = 12;              // <folder>\two.dots.exe
constexpr DWORD kOtherExtension = 13;       // <folder>\dotted.v2
constexpr DWORD kNoExtension = 9;           // <folder>\noext

struct Programs {
    explicit Programs(const ScratchFolder& folder) {
        REQUIRE(contract::MakeEmptyFolder(folder / "Program Files"));
        REQUIRE(contract::MakeEmptyFolder(folder / "Program Files\\sub dir"));
        REQUIRE(contract::MakeEmptyFolder(folder / "plain"));
        PlaceProgram(folder / "Program.exe", kProgramAtFirstBlank, 0);
        PlaceProgram(folder / "Program Files\\sub dir\\kid.exe", kKidInSubfolder, 0);
        PlaceProgram(folder / "kid.exe", kKid, 0);
        PlaceProgram(folder / "two.dots.exe", kTwoDots, 0);
        PlaceProgram(folder / "dotted.v2", kOtherExtension, 0);
        PlaceProgram(folder / "noext", kNoExtension, 0);
    }
};

}  // namespace

// Without an application name the program is the command line's first name: a quoted name whole,
// an unquoted one tried at each blank (so "<folder>\Program Files\sub dir\kid.exe" runs
// <folder>\Program.exe while that exists); ".exe" is added to a name without an extension, and
// only then; names are found in any letter case. A name that finds no file gives 2, also when a
// folder has that name without the ".exe".
CONTRACT_CASE(Process, ProgramFoundFromTheCommandLine) {
    ScratchFolder folder("Process");
    Programs programs(folder);
    const std::string f = folder.path();

    struct Row {
        const char* what;
        std::string command_line;
        DWORD exit_code;  // 0: the start fails with `error`
        DWORD error;
    };
    const Row rows[] = {
        {"unquoted, blanks in the path", f + "\\Program Files\\sub dir\\kid.exe argument", kProgramAtFirstBlank, 0},
        {"quoted, blanks in the path", Quoted(f + "\\Program Files\\sub dir\\kid.exe") + " argument", kKidInSubfolder, 0},
        {"quoted, without extension", Quoted(f + "\\Program Files\\sub dir\\kid") + " argument", kKidInSubfolder, 0},
        {"without extension", f + "\\kid argument", kKid, 0},
        {"other letter case", f + "\\KID.EXE argument", kKid, 0},
        {"a dot in the name is an extension", f + "\\two.dots argument", 0, ERROR_FILE_NOT_FOUND},
        {"a name with two dots", f + "\\two.dots.exe", kTwoDots, 0},
        {"another extension", f + "\\dotted.v2 argument", kOtherExtension, 0},
        {"a missing program", f + "\\missing.exe argument", 0, ERROR_FILE_NOT_FOUND},
        {"a folder", f + "\\plain argument", 0, ERROR_FILE_NOT_FOUND},
        {"an empty command line", "", 0, ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        const Started started = Run(nullptr, row.command_line);
        if (row.exit_code == 0) {
            CHECK_EQ(started.ok, FALSE);
            CHECK_EQ(started.error, row.error);
            continue;
        }
        REQUIRE_EQ(started.ok, TRUE);
        CHECK_EQ(started.exit_code, row.exit_code);
    }

    // Once <folder>\Program.exe is gone, the whole unquoted path is the program.
    REQUIRE_EQ(plat::DeleteFileA((folder / "Program.exe").c_str()), TRUE);
    const Started kid = Run(nullptr, f + "\\Program Files\\sub dir\\kid.exe argument");
    REQUIRE_EQ(kid.ok, TRUE);
    CHECK_EQ(kid.exit_code, kKidInSubfolder);

    // ".exe" is added to a name without an extension and the name is not tried without it.
    KNOWN_DIFFERENCE(Wine, "Wine also tries the name without \".exe\", for Unix programs") {
        const Started bare = Run(nullptr, f + "\\noext argument");
        CHECK_EQ(bare.ok, FALSE);
        CHECK_EQ(bare.error, ERROR_FILE_NOT_FOUND);
    }
}

// With an application name there is neither search nor default extension, and the command line
// is handed over as it is, whatever its first word.
CONTRACT_CASE(Process, ApplicationNameIsTakenAsGiven) {
    ScratchFolder folder("ProcessApp");
    PlaceProgram(folder / "kid.exe", kKid, 0);

    const Started without_extension = Run((folder / "kid").c_str(), "kid argument");
    CHECK_EQ(without_extension.ok, FALSE);
    CHECK_EQ(without_extension.error, ERROR_FILE_NOT_FOUND);

    const Started named = Run((folder / "kid.exe").c_str(), "anything at all");
    REQUIRE_EQ(named.ok, TRUE);
    CHECK_EQ(named.exit_code, kKid);
}

// The new process's current directory must be an existing folder (with or without a closing
// backslash): a missing one, or a file, gives 267. The program is looked for first: a missing
// program with a missing directory gives 2.
CONTRACT_CASE(Process, CurrentDirectoryMustBeAFolder) {
    ScratchFolder folder("ProcessDir");
    PlaceProgram(folder / "kid.exe", kKid, 0);
    const std::string kid = folder / "kid.exe";

    struct Row {
        const char* what;
        std::string program;
        std::string directory;
        DWORD error;  // 0: it starts
    };
    const Row rows[] = {
        {"the program's folder", kid, folder.path(), 0},
        {"with a closing backslash", kid, folder.path() + "\\", 0},
        {"a missing folder", kid, folder / "no folder", ERROR_DIRECTORY},
        {"a file", kid, kid, ERROR_DIRECTORY},
        {"a missing program in a missing folder", folder / "missing.exe", folder / "no folder", ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        const Started started = Run(nullptr, Quoted(row.program) + " argument", row.directory.c_str());
        if (row.error == 0) {
            REQUIRE_EQ(started.ok, TRUE);
            CHECK_EQ(started.exit_code, kKid);
            continue;
        }
        CHECK_EQ(started.ok, FALSE);
        CHECK_EQ(started.error, row.error);
    }
}

// A running program's exit code is STILL_ACTIVE (259); a wait shorter than its run times out after
// the time asked for, and a wait without a limit ends with it, after its run time. Its thread ends
// with it; GetExitCodeProcess takes the process handle only. Each handle closes once: after that
// it is invalid for waits, exit codes and closing (6).
CONTRACT_CASE(Process, WaitsAndExitCodes) {
    ScratchFolder folder("ProcessWait");
    constexpr DWORD kRunTime = 3000;
    constexpr DWORD kExitCode = 42;
    constexpr DWORD kShortWait = 200;
    PlaceProgram(folder / "slow.exe", kExitCode, kRunTime);

    std::string command_line = Quoted(folder / "slow.exe");
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const DWORD start = plat::GetTickCount();
    REQUIRE_EQ(plat::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                    &info),
               TRUE);
    CHECK(info.hProcess != nullptr && info.hThread != nullptr && info.hProcess != info.hThread);
    CHECK(info.dwProcessId != 0 && info.dwThreadId != 0);

    DWORD code = 0;
    CHECK_EQ(plat::GetExitCodeProcess(info.hProcess, &code), TRUE);
    CHECK_EQ(code, STILL_ACTIVE);
    CHECK_EQ(plat::WaitForSingleObject(info.hThread, 0), WAIT_TIMEOUT);
    const DWORD before_short_wait = plat::GetTickCount();
    CHECK_EQ(plat::WaitForSingleObject(info.hProcess, kShortWait), WAIT_TIMEOUT);
    CHECK(plat::GetTickCount() - before_short_wait >= kShortWait - kOneTick);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::GetExitCodeProcess(info.hThread, &code), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);

    CHECK_EQ(plat::WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    CHECK(plat::GetTickCount() - start >= kRunTime - kOneTick);
    CHECK_EQ(plat::WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
    CHECK_EQ(plat::GetExitCodeProcess(info.hProcess, &code), TRUE);
    CHECK_EQ(code, kExitCode);

    CHECK_EQ(plat::CloseHandle(info.hThread), TRUE);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::CloseHandle(info.hThread), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
    CHECK_EQ(plat::CloseHandle(info.hProcess), TRUE);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::GetExitCodeProcess(info.hProcess, &code), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
}

// CloseHandle of no handle fails with 6; the current process's pseudo handle (-1) closes without
// effect.
CONTRACT_CASE(Process, CloseHandleOfNoHandle) {
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::CloseHandle(nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
    CHECK_EQ(plat::CloseHandle(INVALID_HANDLE_VALUE), TRUE);
}
