// Where the browser is looked for and how it is started.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_desktop.h"
#include "snapshot/browser_capture.h"
#include "snapshot/browser_launch.h"
#include "snapshot/snapshot_manager.h"

namespace {

const std::string kDefaultPath = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";

TEST(BrowserPath, FollowsTheProgramFilesFolder) {
    struct Case {
        std::optional<std::string> programFiles;
        std::string path;
    };
    const Case cases[] = {
        {"D:\\Apps", "D:\\Apps\\Internet Explorer\\IEXPLORE.EXE"},
        {"C:\\Program Files", kDefaultPath},
        {std::nullopt, kDefaultPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.programFiles.value_or("(query fails)"));
        sim::Desktop desktop;
        desktop.programFiles = c.programFiles;
        CSnapshotManager manager;
        EXPECT_EQ(manager.BrowserPath, c.path);
    }
}

TEST(LaunchBrowser, QuotesThePathAndPassesTheOptionUnchanged) {
    struct Case {
        std::string option;
        std::string commandLine;
    };
    const Case cases[] = {
        {"about:blank", "\"" + kDefaultPath + "\" about:blank"},
        {"", "\"" + kDefaultPath + "\" "},
        {"http://a/ b c", "\"" + kDefaultPath + "\" http://a/ b c"},
        {"\"quoted\"", "\"" + kDefaultPath + "\" \"quoted\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        sim::Desktop desktop;
        CSnapshotManager manager;
        platform::ProcessId pid = manager.LaunchBrowser(c.option);

        ASSERT_EQ(desktop.Launches().size(), 1u);
        const sim::Launch& launch = desktop.Launches().front();
        EXPECT_EQ(launch.application, kDefaultPath);
        EXPECT_EQ(launch.commandLine, c.commandLine);
        EXPECT_NE(pid, 0u);
        EXPECT_EQ(pid, launch.pid);
        // The started browser opened a frame showing the option.
        BrowserWindowList list;
        CaptureBrowserWindows(list);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list.front().pid, pid);
        EXPECT_EQ(list.front().option, c.option);
    }
}

TEST(LaunchBrowser, FailedStartGivesZero) {
    sim::Desktop desktop;
    desktop.LaunchFails(true);
    CSnapshotManager manager;
    EXPECT_EQ(manager.LaunchBrowser("about:blank"), 0u);
    EXPECT_EQ(desktop.Launches().size(), 1u);
    EXPECT_TRUE(desktop.TopLevelWindows().empty());
}

TEST(LaunchBrowser, CommandLineUpToThePlatformLimit) {
    sim::Desktop desktop;
    CSnapshotManager manager;
    // Quotes, path and space; the terminating zero takes the last place.
    const std::size_t room = kMaxCommandLine - 1 - (kDefaultPath.size() + 3);

    const std::string fits(room, 'x');
    EXPECT_NE(manager.LaunchBrowser(fits), 0u);
    ASSERT_EQ(desktop.Launches().size(), 1u);
    EXPECT_EQ(desktop.Launches().front().commandLine.size(), kMaxCommandLine - 1);

    EXPECT_EQ(manager.LaunchBrowser(fits + "x"), 0u);
    EXPECT_EQ(manager.LaunchBrowser(std::string(100000, 'y')), 0u);
    EXPECT_EQ(desktop.Launches().size(), 1u) << "too long a command line starts nothing";
}

}  // namespace
