// Top-level windows and the messages posted to them. Simulated machine only.
#include "platform/sim/window.h"

#include "platform/text/names.h"
#include "platform/sim/system.h"

namespace plat::sim {
namespace {

// Window handles are the window manager's, not kernel handles: they look like Windows' own and
// are never closed by the finder.
constexpr uintptr_t kFirstWindow = 0x10010;
constexpr uintptr_t kWindowStep = 0x10;

}  // namespace

SimWindow::SimWindow(SimSystem& system) : system_(system) {}

void SimWindow::AddWindow(std::string window_class, std::string title) {
    const auto hwnd = reinterpret_cast<HWND>(kFirstWindow + kWindowStep * windows_.size());
    windows_.push_back(Window{std::move(window_class), std::move(title), hwnd, true});
}

bool SimWindow::RemoveWindow(const std::string& window_class) {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if (it->open && text::EqualNames(it->window_class, window_class)) {
            it->open = false;
            return true;
        }
    }
    return false;
}

// By class and title, both without regard to case, a NULL one matching any; the newest window
// first. None: NULL with 1407, as Wine answers (the class of no window).
HWND SimWindow::FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if (!it->open) continue;
        if (lpClassName && !text::EqualNames(it->window_class, lpClassName)) continue;
        if (lpWindowName && !text::EqualNames(it->title, lpWindowName)) continue;
        return it->hwnd;
    }
    system_.SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
}

BOOL SimWindow::PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!hWnd) {
        posted_.push_back(PostedMessage{"", "", Msg, wParam, lParam});
        return TRUE;
    }
    for (const Window& window : windows_) {
        if (window.hwnd != hWnd || !window.open) continue;
        posted_.push_back(PostedMessage{window.window_class, window.title, Msg, wParam, lParam});
        return TRUE;
    }
    system_.SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

}  // namespace plat::sim
