// The window family's contract: finding a top-level window by class and title, and posting it
// messages, checked on the simulated machine and on Windows (Wine) alike. Portable: written
// against plat:: only; the window is made by the backend (world.h).
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/window.h"
#include "tests/contract/check.h"
#include "tests/contract/world.h"

namespace {

using contract::kSentinelError;
const char kClass[] = "TvxContract_Window_Class";
const char kTitle[] = "Tvx Contract Window";

}  // namespace

// FindWindowA compares class and title without regard to case, a NULL one matching any; a window
// that is not there is NULL with 1407 (the last error Wine gives; Windows documents none).
CONTRACT_CASE(Window, FindByClassAndTitle) {
    contract::TopLevelWindow window(kClass, kTitle);
    HWND found = plat::FindWindowA(kClass, nullptr);
    REQUIRE(found != nullptr);

    struct Row {
        const char* what;
        const char* window_class;
        const char* title;
        bool finds;
    };
    const Row rows[] = {
        {"the class in other letters", "tvxcontract_window_class", nullptr, true},
        {"class and title in other letters", "TVXCONTRACT_WINDOW_CLASS", "tvx contract window", true},
        {"the title alone", nullptr, kTitle, true},
        {"the class with another title", kClass, "Another Title", false},
        {"a class no window has", "TvxContract_No_Such_Class", nullptr, false},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        HWND h = plat::FindWindowA(row.window_class, row.title);
        if (row.finds) {
            CHECK(h == found);
            continue;
        }
        CHECK(h == nullptr);
        CHECK_EQ(plat::GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
    }
}

// PostMessageA queues the message with its parameters as given (an LPARAM keeps its sign); a
// handle that is no window, or no longer one, gives 1400.
CONTRACT_CASE(Window, PostMessages) {
    HWND hwnd = nullptr;
    {
        contract::TopLevelWindow window(kClass, kTitle);
        hwnd = plat::FindWindowA(kClass, nullptr);
        REQUIRE(hwnd != nullptr);
        const contract::PostedMessage sent[] = {
            {WM_USER + 5, 0x1234, -7},
            {WM_CLOSE, 0, 0},
        };
        for (const auto& m : sent) CHECK_EQ(plat::PostMessageA(hwnd, m.message, m.wparam, m.lparam), TRUE);
        const std::vector<contract::PostedMessage> received = window.TakeMessages();
        REQUIRE_EQ(received.size(), 2u);
        for (size_t i = 0; i < received.size(); ++i) {
            CONTEXT("message " + std::to_string(i));
            CHECK_EQ(received[i].message, sent[i].message);
            CHECK_EQ(received[i].wparam, sent[i].wparam);
            CHECK_EQ(received[i].lparam, sent[i].lparam);
        }
    }

    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::PostMessageA(hwnd, WM_USER, 0, 0), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    plat::SetLastError(kSentinelError);
    CHECK(plat::FindWindowA(kClass, nullptr) == nullptr);
    CHECK_EQ(plat::GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);

    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::PostMessageA(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x12345678)), WM_USER, 0, 0), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}
