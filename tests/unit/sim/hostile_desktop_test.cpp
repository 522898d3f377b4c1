// Window texts made to hurt: printf directives in titles and addresses go
// through capture, the snapshot file and a restore as plain bytes; line
// breaks in them cannot forge records.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

TEST(HostileDesktop, PrintfDirectivesInTitlesAndAddresses) {
    sim::Desktop desktop;
    TestFolder folder;
    ResetLastWrittenSnapshot();
    ASSERT_TRUE(EnsureSaveFolder());
    const std::string title = "%s%s%s%s%n%n%n%x%p%1$s %999999999d";
    const std::string address = "http://x/?a=%n%s&b=%%d";
    desktop.AddBrowserFrame(1, title, address);

    CSnapshotManager manager;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(manager.SaveSnapshot());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), title + "\n");

    const BrowserWindowList saved = ReadNewestSnapshot();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.front().title, title);
    EXPECT_EQ(saved.front().option, address);

    manager.Restore(std::string());
    ASSERT_EQ(desktop.Launches().size(), 1u);
    EXPECT_EQ(desktop.Launches().front().commandLine,
              "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" " + address);
    ResetLastWrittenSnapshot();
}

// A page sets its own title, and the frame's caption shows it. Line breaks
// in it must not smuggle a header or a key into the file: read back, the file
// gives one record per captured window, each with its own address.
TEST(HostileDesktop, LineBreaksInTextsForgeNoRecords) {
    sim::Desktop desktop;
    TestFolder folder;
    ResetLastWrittenSnapshot();
    ASSERT_TRUE(EnsureSaveFolder());
    desktop.AddBrowserFrame(1, "real", "http://real/");
    desktop.AddBrowserFrame(2, "x\r\n[0]\r\noption=http://evil.example/", "http://second/");
    desktop.AddBrowserFrame(3, "a\rb\nc", "http://third/\n[1]\r\nstyle=0");

    CSnapshotManager manager;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(manager.SaveSnapshot());
    testing::internal::GetCapturedStdout();

    std::vector<std::string> expected, options, titles;
    for (const BrowserWindowRecord& record : manager.Windows)
        expected.push_back(record.option);
    for (const BrowserWindowRecord& record : ReadNewestSnapshot()) {
        options.push_back(record.option);
        titles.push_back(record.title);
    }
    ASSERT_EQ(expected.size(), 3u);
    for (std::string& option : expected)
        std::replace_if(
            option.begin(), option.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    EXPECT_EQ(options, expected);
    EXPECT_NE(std::find(titles.begin(), titles.end(), "x  [0]  option=http://evil.example/"),
              titles.end());
    ResetLastWrittenSnapshot();
}

}  // namespace
