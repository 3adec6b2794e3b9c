// Top-level windows by class, and a record of the messages posted to them.
// Simulated machine only.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

namespace plat::sim {

class SimSystem;

// One message posted; to no window (a NULL window handle: the poster's own thread) the class and
// title are empty.
struct PostedMessage {
    std::string window_class;
    std::string window_title;
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
};

class SimWindow : public WindowBackend {
public:
    explicit SimWindow(SimSystem& system);

    // Set-up: a top-level window of some other program. The newest window is on top, so it is
    // the one FindWindowA finds first.
    void AddWindow(std::string window_class, std::string title);
    // The program owning the newest window of that class closes it; false when there is none.
    bool RemoveWindow(const std::string& window_class);

    const std::vector<PostedMessage>& posted() const { return posted_; }

    HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) override;
    BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Window {
        std::string window_class;
        std::string title;
        HWND hwnd = nullptr;
        bool open = true;
    };

    SimSystem& system_;
    std::vector<PostedMessage> posted_;
    std::vector<Window> windows_;  // in creation order; a closed window keeps its place
};

}  // namespace plat::sim
