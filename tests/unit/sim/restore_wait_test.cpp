// A restore sleeps the whole CreateWait after each start, the last one
// included, however long the start itself took, and then ResizeWait; its
// moves add no wait of their own.
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
        std::size_t sessionEndsAfter = 0;  // starts; 0: it does not end
        bool widerThanTheScreen = false;   // no move puts a frame at its record
        // Announced before the restore, and no end came.
        bool announcedBefore = false;
    };
    const Case cases[] = {
        {"instant launches", {0, 0, 0}},
        {"slow launches", {120, 299, 1}},
        {"launches as long as the wait or longer", {300, 450, 10}},
        {"the session ends after the second start: no third", {0, 0, 0}, 2},
        {"records wider than the screen: the moves add no wait", {0, 0, 0}, 0, true},
        {"an end announced before, which never came, stops nothing", {0, 0, 0}, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        TestFolder folder;
        ASSERT_TRUE(EnsureSaveFolder());
        std::string text;
        for (std::size_t i = 0; i < c.launchTakes.size(); ++i)
            text += "[" + std::to_string(i) + "]\r\noption=http://" + std::to_string(i) +
                    "/\r\nstyle=1\r\nw_width=" + (c.widerThanTheScreen ? "3000" : "800") +
                    "\r\nw_height=600\r\n";
        ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt", text));

        std::size_t next = 0;
        CSnapshotManager manager;
        desktop.OnLaunch([&](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
            d.Advance(c.launchTakes[next++]);
            d.At(d.AddBrowserFrame(pid, "", arg)).maxWidth = 1296;
            if (next == c.sessionEndsAfter)
                manager.SessionEnding = true;
        });
        manager.SessionEnding = c.announcedBefore;
        manager.CreateWait = 300;
        manager.ResizeWait = 500;
        manager.Restore(std::string());
        std::vector<std::uint32_t> sleeps(c.sessionEndsAfter ? c.sessionEndsAfter : 3, 300);
        sleeps.push_back(500);
        EXPECT_EQ(desktop.Sleeps(), sleeps);
        std::uint64_t elapsed = 0;
        for (std::uint32_t ms : sleeps)
            elapsed += ms;
        for (std::size_t i = 0; i < next; ++i)
            elapsed += c.launchTakes[i];
        EXPECT_EQ(desktop.ElapsedMilliseconds(), elapsed);
        ResetLastWrittenSnapshot();
    }
}

}  // namespace
