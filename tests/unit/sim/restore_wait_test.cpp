// A restore's CreateWait counts from the start of each launch: time the start
// itself takes is part of the wait, and at least CreateWait passes after
// each start before the next one or the resize wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

TEST(RestoreWaits, LaunchTimeCountsTowardsCreateWait) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> launchTakes;
        std::vector<std::uint32_t> sleeps;
    };
    const Case cases[] = {
        {"instant launches sleep the whole wait", {0, 0, 0}, {300, 300, 300, 500}},
        {"a slow launch sleeps the rest", {120, 299, 1}, {180, 1, 299, 500}},
        {"a launch as long as the wait sleeps nothing", {300, 450, 10}, {290, 500}},
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

        std::vector<std::uint64_t> startedAt;
        std::size_t next = 0;
        desktop.OnLaunch([&](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
            startedAt.push_back(d.MonotonicNow());
            d.Advance(c.launchTakes[next++]);
            d.AddBrowserFrame(pid, "", arg);
        });
        CSnapshotManager manager;
        manager.CreateWait = 300;
        manager.ResizeWait = 500;
        const std::uint64_t begin = desktop.MonotonicNow();
        manager.Restore(std::string());
        EXPECT_EQ(desktop.Sleeps(), c.sleeps);
        ASSERT_EQ(startedAt.size(), c.launchTakes.size());
        // Every start is followed by at least CreateWait before the next event.
        startedAt.push_back(desktop.MonotonicNow() - 500);
        for (std::size_t i = 0; i + 1 < startedAt.size(); ++i)
            EXPECT_GE(startedAt[i + 1] - startedAt[i], 300u) << "after start " << i;
        EXPECT_GE(desktop.MonotonicNow() - begin, 3 * 300u + 500u);
        ResetLastWrittenSnapshot();
    }
}

}  // namespace
