// Top-level windows by class, and a record of the messages posted to them.
// Simulated machine only.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/handles.h"
#include "platform/window.h"

namespace plat::sim {

class SimSystem;

struct PostedMessage {
    std::string window_class;
    std::string window_title;
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
};

class SimWindow : public WindowBackend {
public:
    SimWindow(HandleTable& handles, SimSystem& system);

    // Set-up: a top-level window of some other program.
    void AddWindow(std::string window_class, std::string title);

    const std::vector<PostedMessage>& posted() const { return posted_; }

    HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) override;
    BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;

private:
    HandleTable& handles_;
    SimSystem& system_;
    std::vector<PostedMessage> posted_;
};

}  // namespace plat::sim
