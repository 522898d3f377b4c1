// Window texts made to hurt: printf directives in titles and addresses go
// through capture, the snapshot file and a restore as plain bytes.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
