// The simulated desktop's own rules that other tests lean on: Z order with
// the topmost band, and what a started process sees.
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
        EXPECT_EQ(platform::AddressBarText(combo), c.argument);
    }
}

}  // namespace
