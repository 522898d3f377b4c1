// The simulated desktop's own rules that other tests lean on: Z order and the
// topmost band, what a started process sees, closing and the clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"

namespace {

using platform::WindowHandle;

TEST(SimDesktop, ZOrderKeepsTopmostWindowsInFront) {
    sim::Desktop desktop;
    WindowHandle a = desktop.AddWindow({.className = "A"});
    WindowHandle pinned = desktop.AddWindow({.className = "P", .topmost = true});
    WindowHandle b = desktop.AddWindow({.className = "B"});
    EXPECT_EQ(platform::TopLevelWindows(), (std::vector<WindowHandle>{pinned, b, a}));

    platform::SetTopmost(a, true);
    EXPECT_EQ(platform::TopLevelWindows(), (std::vector<WindowHandle>{a, pinned, b}));
    platform::SetTopmost(a, false);  // top of the others, below the pinned one
    EXPECT_EQ(platform::TopLevelWindows(), (std::vector<WindowHandle>{pinned, a, b}));
    desktop.BringToTop(b);
    EXPECT_EQ(platform::TopLevelWindows(), (std::vector<WindowHandle>{pinned, b, a}));

    EXPECT_EQ(platform::NextWindowBelow(pinned), b);
    EXPECT_EQ(platform::NextWindowBelow(a), nullptr);
    EXPECT_EQ(platform::NextWindowBelow(nullptr), nullptr);
}

TEST(SimDesktop, StartedProcessSeesTheArgumentAfterTheProgramName) {
    struct Case {
        std::string commandLine, argument;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\x.exe\" http://a/ b", "http://a/ b"},
        {"\"C:\\Program Files\\x.exe\" ", ""},
        {"\"C:\\Program Files\\x.exe\"", ""},
        {"C:\\x.exe about:blank", "about:blank"},
        {"C:\\x.exe", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        sim::Desktop desktop;
        platform::ProcessId pid = platform::StartProcess("C:\\x.exe", c.commandLine);
        ASSERT_EQ(platform::TopLevelWindows().size(), 1u);
        WindowHandle frame = platform::TopLevelWindows().front();
        EXPECT_EQ(platform::WindowProcess(frame), pid);
        WindowHandle combo = platform::FindChildWindow(
            platform::FindChildWindow(platform::FindChildWindow(frame, "WorkerW"), "ReBarWindow32"),
            "ComboBoxEx32");
        EXPECT_EQ(platform::ControlText(combo), c.argument);
    }
}

TEST(SimDesktop, CloseRequestsAndChangesAreLoggedAndApplied) {
    sim::Desktop desktop;
    WindowHandle stays = desktop.AddWindow({.className = "Stays"});
    WindowHandle goes = desktop.AddBrowserFrame(5, "t", "http://x/");
    desktop.At(goes).closesOnRequest = true;

    platform::PostCloseRequest(stays);
    platform::PostCloseRequest(goes);
    platform::PostCloseRequest(nullptr);
    platform::MoveWindowTo(stays, 1, 2, 30, 40);
    platform::ShowWindowAs(stays, 0);

    EXPECT_TRUE(desktop.Exists(stays));
    EXPECT_FALSE(desktop.Exists(goes));
    EXPECT_EQ(platform::TopLevelWindows(), std::vector<WindowHandle>{stays});
    EXPECT_EQ(platform::WindowRect(stays), (platform::Rect{1, 2, 31, 42}));
    EXPECT_FALSE(platform::IsWindowShown(stays));
    EXPECT_EQ(desktop.LogLines(),
              (std::vector<std::string>{"close " + sim::Desktop::Name(stays),
                                        "close " + sim::Desktop::Name(goes), "close #0",
                                        "move " + sim::Desktop::Name(stays) + " 1 2 30 40",
                                        "show " + sim::Desktop::Name(stays) + " 0"}));
}

TEST(SimDesktop, SleepsAdvanceTheVirtualClock) {
    sim::Desktop desktop;
    desktop.SetLocalTime(2005, 12, 31, 23, 59, 59);
    platform::SleepFor(999);
    EXPECT_EQ(platform::LocalTimeNow()->tm_sec, 59);
    platform::SleepFor(1);
    std::tm now = platform::LocalTimeNow().value();
    EXPECT_EQ((std::vector<int>{now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour, now.tm_min,
                                now.tm_sec}),
              (std::vector<int>{106, 0, 1, 0, 0, 0}));
    EXPECT_EQ(desktop.Sleeps(), (std::vector<std::uint32_t>{999, 1}));
    EXPECT_EQ(desktop.ElapsedMilliseconds(), 1000u);
}

}  // namespace
