// Processes, waits and the kernel-object handle calls. Simulated machine only.
#include "platform/sim/process.h"

#include <cstdio>
#include <memory>

#include "platform/sim/files.h"
#include "platform/text/names.h"
#include "platform/sim/sync.h"
#include "platform/sim/system.h"

namespace plat::sim {
namespace {

// A started program as its process and thread handles refer to it.
struct ProcessObject {
    size_t index = 0;  // into the started programs
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether a name is searched for along the search folders: anything but an absolute, rooted or
// drive-relative path, or one that starts with ".\" or "..\".
bool IsSearched(const std::string& name) {
    if (name.size() >= 2 && name[1] == ':') return false;
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) return false;
    if (name.compare(0, 2, ".\\") == 0 || name.compare(0, 2, "./") == 0) return false;
    if (name.compare(0, 3, "..\\") == 0 || name.compare(0, 3, "../") == 0) return false;
    return true;
}

std::string HandleText(HANDLE h) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return text;
}

}  // namespace

SimProcess::SimProcess(HandleTable& handles, SimSystem& system, SimFiles& files, VirtualClock& clock)
    : handles_(handles), system_(system), files_(files), clock_(clock) {}

void SimProcess::SetProgram(ProgramBehaviour behaviour) {
    for (ProgramBehaviour& known : programs_) {
        if (text::EqualNames(known.path, behaviour.path)) {
            known = std::move(behaviour);
            return;
        }
    }
    programs_.push_back(std::move(behaviour));
}

bool SimProcess::Ended(const StartedProgram& program) const {
    return !program.never_ends && clock_.now_ms() >= program.ends_ms;
}

// The name gets ".exe" when its last part has no extension (a name ending in a dot has one, an
// empty one); then an absolute or explicitly relative name is looked up where it points, any
// other in the folders Windows searches: the current directory, the system folder, the 16-bit
// system folder and the Windows folder. (The folder of the program hosting the library comes
// first on Windows; that is the system folder here. PATH is not searched.)
std::optional<std::string> SimProcess::SearchProgram(const std::string& name) const {
    if (name.empty()) return std::nullopt;
    std::string file = name;
    const size_t slash = file.find_last_of("\\/");
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) file += ".exe";
    std::vector<std::string> candidates;
    if (!IsSearched(file)) {
        candidates.push_back(file);
    } else {
        for (const std::string& folder : {files_.current_directory(), files_.system_dir(),
                                          files_.windows_dir() + "\\system", files_.windows_dir()})
            candidates.push_back(folder + "\\" + file);
    }
    for (const std::string& candidate : candidates)
        if (files_.IsFile(candidate)) return files_.OnDiskPath(candidate);
    return std::nullopt;
}

// Without an application name, Windows takes the program from the command line: a quoted name
// whole; an unquoted one is tried at each blank, shortest first, and then whole, so that
// "C:\Program Files\x.exe" runs C:\Program.exe when that file exists.
std::optional<std::string> SimProcess::FindProgram(const std::string& command_line) const {
    if (!command_line.empty() && command_line[0] == '"') {
        const size_t close = command_line.find('"', 1);
        if (close == std::string::npos) return std::nullopt;
        return SearchProgram(command_line.substr(1, close - 1));
    }
    for (size_t i = 1; i <= command_line.size(); ++i) {
        if (i < command_line.size() && !IsBlank(command_line[i])) continue;
        if (IsBlank(command_line[i - 1])) continue;
        if (auto found = SearchProgram(command_line.substr(0, i))) return found;
    }
    return std::nullopt;
}

BOOL SimProcess::FailStart(const std::string& command_line, LPCSTR directory, DWORD error) {
    failed_.push_back(FailedStart{command_line, directory ? directory : "", error, clock_.now_ms()});
    system_.SetLastError(error);
    return FALSE;
}

BOOL SimProcess::CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                                LPSECURITY_ATTRIBUTES, BOOL, DWORD dwCreationFlags, LPVOID,
                                LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                                LPPROCESS_INFORMATION lpProcessInformation) {
    const std::string command_line =
        lpCommandLine ? std::string(lpCommandLine) : (lpApplicationName ? lpApplicationName : "");
    if (!lpStartupInfo || !lpProcessInformation) return FailStart(command_line, lpCurrentDirectory, ERROR_NOACCESS);

    // A given application name is taken as it is: no search, no default extension.
    std::optional<std::string> program;
    if (lpApplicationName) {
        if (files_.IsFile(lpApplicationName)) program = files_.OnDiskPath(lpApplicationName);
    } else {
        program = FindProgram(command_line);
    }
    if (!program) return FailStart(command_line, lpCurrentDirectory, ERROR_FILE_NOT_FOUND);
    // The new process's current directory must be a folder: 267 (the directory name is invalid).
    if (lpCurrentDirectory && !files_.IsFolder(lpCurrentDirectory))
        return FailStart(command_line, lpCurrentDirectory, ERROR_DIRECTORY);

    StartedProgram started;
    started.application = *program;
    started.command_line = command_line;
    started.directory = lpCurrentDirectory ? lpCurrentDirectory : "";
    started.creation_flags = dwCreationFlags;
    started.startup_flags = lpStartupInfo->dwFlags;
    started.show_window = lpStartupInfo->wShowWindow;
    started.started_ms = clock_.now_ms();
    for (const ProgramBehaviour& behaviour : programs_) {
        if (!text::EqualNames(files_.FullPath(behaviour.path), *program)) continue;
        started.never_ends = behaviour.never_ends;
        started.exit_code = behaviour.exit_code;
        started.ends_ms = started.started_ms + behaviour.run_time_ms;
        break;
    }
    if (started.ends_ms == 0) started.ends_ms = started.started_ms;
    started_.push_back(started);

    auto object = std::make_shared<ProcessObject>();
    object->index = started_.size() - 1;
    const DWORD process_id = next_id_;
    next_id_ += 8;
    lpProcessInformation->hProcess =
        reinterpret_cast<HANDLE>(handles_.Add(HandleKind::Process, object, "process " + *program));
    lpProcessInformation->hThread =
        reinterpret_cast<HANDLE>(handles_.Add(HandleKind::Thread, object, "thread of " + *program));
    lpProcessInformation->dwProcessId = process_id;
    lpProcessInformation->dwThreadId = process_id + 4;
    return TRUE;
}

WaitRecord& SimProcess::RecordWait(std::string what, DWORD timeout) {
    WaitRecord record;
    record.what = std::move(what);
    record.timeout_ms = timeout;
    record.started_ms = clock_.now_ms();
    waits_.push_back(std::move(record));
    return waits_.back();
}

DWORD SimProcess::WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    const auto value = reinterpret_cast<uintptr_t>(hHandle);
    const auto kind = handles_.KindOf(value);

    // How long until the object is signalled (nothing: never), and what it is.
    std::optional<uint64_t> remaining;
    std::string what;
    std::shared_ptr<EventObject> event;
    if (hHandle == INVALID_HANDLE_VALUE) {
        what = "the waiting process itself";  // the current-process pseudo handle: it cannot end first
    } else if (kind == HandleKind::Process || kind == HandleKind::Thread) {
        auto object = handles_.Get<ProcessObject>(value, *kind);
        const StartedProgram& program = started_[object->index];
        what = program.command_line;
        if (!program.never_ends) remaining = Ended(program) ? 0 : program.ends_ms - clock_.now_ms();
    } else if (kind == HandleKind::Event) {
        event = handles_.Get<EventObject>(value, HandleKind::Event);
        what = event->name.empty() ? "an unnamed event" : "event " + event->name;
        if (event->signalled) remaining = 0;
    } else {
        WaitRecord& record = RecordWait("invalid handle " + HandleText(hHandle), dwMilliseconds);
        record.result = WAIT_FAILED;
        system_.SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }

    WaitRecord& record = RecordWait(what, dwMilliseconds);
    if (remaining && (dwMilliseconds == INFINITE || *remaining <= dwMilliseconds)) {
        clock_.Advance(*remaining);
        record.waited_ms = *remaining;
        record.result = WAIT_OBJECT_0;
        if (event && !event->manual_reset) event->signalled = false;
        return WAIT_OBJECT_0;
    }
    if (dwMilliseconds == INFINITE) {
        record.forever = true;
        record.result = WAIT_TIMEOUT;
        throw WaitsForever("waits without a time limit for " + what + ", which never " +
                           (event ? "gets set" : "ends"));
    }
    clock_.Advance(dwMilliseconds);
    record.waited_ms = dwMilliseconds;
    record.result = WAIT_TIMEOUT;
    return WAIT_TIMEOUT;
}

BOOL SimProcess::GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    const auto value = reinterpret_cast<uintptr_t>(hProcess);
    DWORD code = STILL_ACTIVE;
    if (hProcess != INVALID_HANDLE_VALUE) {
        auto object = handles_.Get<ProcessObject>(value, HandleKind::Process);
        if (!object) {
            system_.SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const StartedProgram& program = started_[object->index];
        if (Ended(program)) code = program.exit_code;
    }
    if (!lpExitCode) {
        system_.SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpExitCode = code;
    return TRUE;
}

BOOL SimProcess::CloseHandle(HANDLE hObject) {
    // The current-process pseudo handle closes without effect.
    if (hObject == INVALID_HANDLE_VALUE) return TRUE;
    const auto value = reinterpret_cast<uintptr_t>(hObject);
    // A file handle's close may delete its file (delete on close): the files keep that rule.
    if (files_.CloseFileHandle(value)) return TRUE;
    for (HandleKind kind : {HandleKind::Process, HandleKind::Thread, HandleKind::Event})
        if (handles_.Remove(value, kind)) return TRUE;
    system_.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // namespace plat::sim
