// What contract cases need of the machine beyond the seam, made alike on both backends: programs
// to start, and a top-level window to find and post to. Each backend provides them by its own means
// (world_sim.cpp: the simulated machine's set-up; world_win32.cpp: real files and windows), so that
// the cases themselves stay written against plat:: only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace contract {

// Places a program at a Windows path (its folder must exist) that, once started, runs for about
// run_ms and ends with exit_code. On Windows it is a copy of this very program, which learns from
// its environment that it stands in for another; on the simulated machine a file with that
// behaviour. Ends the case when the program cannot be placed.
void PlaceProgram(const std::string& windows_path, DWORD exit_code, DWORD run_ms);

// For main(): whether this run is one of the placed programs; if so, it has run as that program
// and `exit_code` is what it ends with.
bool RunAsPlacedProgram(int* exit_code);

// Makes sure the machine has at least one present device of some class: on Windows every
// installation has its root-enumerated system devices; on the simulated machine one is added.
void EnsurePresentDevice();

// Links, made by each backend's own means: the seam makes none.
// Gives an existing file a second name (a hard link); ends the case when it cannot.
void PlantHardLink(const std::string& link_path, const std::string& existing_path);
// Makes a symbolic link to a file or, with `folder`, to a folder (the target need not exist);
// false when the machine makes none: Wine 8's call answers success without making a link, and
// Windows needs a privilege or developer mode for it.
bool PlantSymbolicLink(const std::string& link_path, const std::string& target_path, bool folder);

// SetFileInformationByHandle as the co-installer makes it on systems whose kernel32 lacks the call
// (Windows XP x64 and Server 2003): its native form. On the simulated machine, the call itself.
BOOL SetFileInformationAsOnOlderSystems(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                        LPVOID lpFileInformation, DWORD dwBufferSize);

struct PostedMessage {
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
};

// A top-level window of the given class and title (not shown), closed with the object.
class TopLevelWindow {
public:
    TopLevelWindow(const std::string& window_class, const std::string& title);
    ~TopLevelWindow();
    TopLevelWindow(const TopLevelWindow&) = delete;
    TopLevelWindow& operator=(const TopLevelWindow&) = delete;

    // The messages posted to the window since the last call, oldest first.
    std::vector<PostedMessage> TakeMessages();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace contract
