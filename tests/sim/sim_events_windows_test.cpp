// The simulated named events and windows where the machine keeps a record: the events set, an
// event's life with its handles, waits on events, the window FindWindowA finds first, and the
// messages posted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scoped.h"
#include "tests/sim_fixture.h"

namespace {

using plat::ScopedHandle;
using plat::sim::WaitsForever;
using tvx::test::SimTest;

class SimEventsTest : public SimTest {};

// The record lists each successful SetEvent by the event's name; the event exists while any handle
// to it is open, whichever handle that is.
TEST_F(SimEventsTest, AnEventLivesWhileAHandleToItIsOpen) {
    auto& sync = rig.machine.sync();
    ScopedHandle created(plat::CreateEventA(nullptr, TRUE, FALSE, "TvxQ920kReady"));
    ASSERT_TRUE(created);
    ScopedHandle opened(plat::OpenEventA(EVENT_MODIFY_STATE, FALSE, "Local\\TvxQ920kReady"));
    ASSERT_TRUE(opened);
    EXPECT_TRUE(sync.EventExists("TvxQ920kReady"));
    EXPECT_FALSE(sync.EventSignalled("TvxQ920kReady"));
    EXPECT_EQ(plat::SetEvent(opened.get()), TRUE);
    EXPECT_TRUE(sync.EventSignalled("TvxQ920kReady"));
    created.reset();
    EXPECT_TRUE(sync.EventExists("TvxQ920kReady"));
    opened.reset();
    EXPECT_FALSE(sync.EventExists("TvxQ920kReady"));

    ScopedHandle unnamed(plat::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    EXPECT_EQ(plat::SetEvent(unnamed.get()), TRUE);
    EXPECT_EQ(sync.set_events(), (std::vector<std::string>{"TvxQ920kReady", ""}));
}

// A wait on an event nobody sets times out after its own time; without a limit it can never end
// and stops the run. A set auto-reset event lets one wait through.
TEST_F(SimEventsTest, WaitsOnEvents) {
    ScopedHandle event(plat::CreateEventA(nullptr, FALSE, FALSE, "TvxWait"));
    ASSERT_TRUE(event);
    EXPECT_EQ(plat::WaitForSingleObject(event.get(), 250), WAIT_TIMEOUT);
    EXPECT_EQ(rig.machine.clock().now_ms(), 250u);
    EXPECT_THROW(plat::WaitForSingleObject(event.get(), INFINITE), WaitsForever);
    EXPECT_TRUE(rig.machine.process().waits().back().forever);
    EXPECT_EQ(rig.machine.process().waits().back().what, "event TvxWait");
    EXPECT_EQ(plat::SetEvent(event.get()), TRUE);
    EXPECT_EQ(plat::WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(plat::WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
}

class SimWindowTest : public SimTest {};

// The newest window of a class is found first; once closed, the older one is; a message goes to
// the window its handle names and is recorded with that window's class and title. A NULL window
// is the poster's own thread; a closed or unknown window gives 1400.
TEST_F(SimWindowTest, FindsTheNewestWindowAndRecordsMessages) {
    auto& windows = rig.machine.window();
    windows.AddWindow("STIExe_Window_Class", "old");
    windows.AddWindow("STIExe_Window_Class", "new");
    HWND newest = plat::FindWindowA("stiexe_window_class", nullptr);
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(plat::FindWindowA(nullptr, "NEW"), newest);
    HWND oldest = plat::FindWindowA("STIExe_Window_Class", "old");
    ASSERT_NE(oldest, nullptr);
    EXPECT_NE(oldest, newest);

    EXPECT_EQ(plat::PostMessageA(newest, WM_USER + 2, 7, -1), TRUE);
    EXPECT_TRUE(windows.RemoveWindow("STIExe_Window_Class"));
    EXPECT_EQ(plat::FindWindowA("STIExe_Window_Class", nullptr), oldest);
    plat::SetLastError(0);
    EXPECT_EQ(plat::PostMessageA(newest, WM_CLOSE, 0, 0), FALSE);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(plat::PostMessageA(oldest, WM_CLOSE, 0, 0), TRUE);
    EXPECT_EQ(plat::PostMessageA(nullptr, WM_USER, 1, 2), TRUE);
    EXPECT_TRUE(windows.RemoveWindow("STIExe_Window_Class"));
    EXPECT_FALSE(windows.RemoveWindow("STIExe_Window_Class"));
    plat::SetLastError(0);
    EXPECT_EQ(plat::FindWindowA("STIExe_Window_Class", nullptr), nullptr);
    EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    const auto& posted = windows.posted();
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].window_class, "STIExe_Window_Class");
    EXPECT_EQ(posted[0].window_title, "new");
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(posted[0].wparam, 7u);
    EXPECT_EQ(posted[0].lparam, -1);
    EXPECT_EQ(posted[1].window_title, "old");
    EXPECT_EQ(posted[1].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(posted[2].window_class, "");
}

}  // namespace
