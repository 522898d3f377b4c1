// A restore sleeps the whole CreateWait after each start, the last one
// included, however long the start itself took, and then ResizeWait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

TEST(RestoreWaits, TheWholeCreateWaitFollowsEveryStart) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> launchTakes;
    };
    const Case cases[] = {
        {"instant launches", {0, 0, 0}},
        {"slow launches", {120, 299, 1}},
        {"launches as long as the wait or longer", {300, 450, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        TestFolder folder;
        ASSERT_TRUE(EnsureSaveFolder());
        std::string text;
        for (std::size_t i = 0; i < c.launchTakes.size(); ++i)
            text += "[" + std::to_string(i) + "]\r\noption=http://" + std::to_string(i) + "/\r\n";
        ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt", text));

        std::size_t next = 0;
        desktop.OnLaunch([&](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
            d.Advance(c.launchTakes[next++]);
            d.AddBrowserFrame(pid, "", arg);
        });
        CSnapshotManager manager;
        manager.CreateWait = 300;
        manager.ResizeWait = 500;
        manager.Restore(std::string());
        EXPECT_EQ(desktop.Sleeps(), (std::vector<std::uint32_t>{300, 300, 300, 500}));
        ResetLastWrittenSnapshot();
    }
}

// The end of the session comes while a restore waits after its second start:
// no further browser starts, and the ones started are still waited for.
TEST(RestoreWaits, NoBrowserStartsOnceTheSessionIsEnding) {
    sim::Desktop desktop;
    TestFolder folder;
    ASSERT_TRUE(EnsureSaveFolder());
    ASSERT_TRUE(platform::ReplaceWholeFile(
        "save\\20050412153012.txt", "[0]\r\noption=a\r\n[1]\r\noption=b\r\n[2]\r\noption=c\r\n"));
    CSnapshotManager manager;
    desktop.OnLaunch([&](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
        d.AddBrowserFrame(pid, "", arg);
        manager.SessionEnding = d.Launches().size() == 2;
    });
    manager.Restore(std::string());
    EXPECT_EQ(desktop.Launches().size(), 2u);
    EXPECT_EQ(desktop.Sleeps(), (std::vector<std::uint32_t>{300, 300, 500}));
    ResetLastWrittenSnapshot();
}

}  // namespace
