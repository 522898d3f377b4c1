// Saves that fail at every point of the write: after each byte count from 0 to
// the full size, at the flush and at the rename. Each failure must report
// false, leave the earlier file byte for byte with no stray file beside it,
// and leave the program ready to write on the next save.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_files.h"
#include "snapshot/snapshot_manager.h"
#include "storage/profile_document.h"
#include "storage/settings_file.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

struct Fault {
    std::string what;
    std::function<void(sim::FileSystem&)> arm;
};

// Every fault a save can meet, for content of `size` bytes.
std::vector<Fault> EveryFault(std::size_t size) {
    std::vector<Fault> faults;
    for (std::size_t k = 0; k <= size; ++k) {
        faults.push_back({"write error after " + std::to_string(k) + " bytes",
                          [k](sim::FileSystem& fs) { fs.FailWriteAfter(k); }});
    }
    faults.push_back({"flush error", [](sim::FileSystem& fs) { fs.FailFlush(); }});
    faults.push_back({"rename error", [](sim::FileSystem& fs) { fs.FailRename(); }});
    return faults;
}

std::vector<std::string> Entries(const std::string& pattern) {
    std::vector<std::string> names = platform::ListMatchingEntries(pattern);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SaveFaultSweep, SettingsSave) {
    TestFolder folder;
    sim::FileSystem& files = *sim::CurrentFileSystem();
    Settings old;
    old.AutoSave = 1;
    old.AutoSaveTime = 7;
    ASSERT_TRUE(SaveSettingsFile(old));
    const std::string before = *platform::ReadWholeFile("Pelorin.ini");
    const std::vector<std::string> entriesBefore = Entries("*");

    Settings changed;
    changed.Save = 1;
    changed.AutoSaveTime = 1440;
    changed.ResizeWait = 300000;
    const std::size_t size = before.size() + 8;  // the new text is a few digits longer

    int failures = 0;
    for (const Fault& fault : EveryFault(size)) {
        SCOPED_TRACE(fault.what);
        fault.arm(files);
        ASSERT_FALSE(SaveSettingsFile(changed));
        ASSERT_EQ(platform::ReadWholeFile("Pelorin.ini"), before);
        ASSERT_EQ(Entries("*"), entriesBefore);
        files.ClearFaults();
        Settings loaded;
        LoadSettingsFile(loaded);
        ASSERT_EQ(loaded, old);
        ++failures;
    }
    EXPECT_EQ(failures, static_cast<int>(size) + 3);
    ASSERT_TRUE(SaveSettingsFile(changed));
    Settings loaded;
    LoadSettingsFile(loaded);
    EXPECT_EQ(loaded, changed);
}

class SnapshotSaveFaults : public testing::Test {
protected:
    void SetUp() override {
        ResetLastWrittenSnapshot();
        ASSERT_TRUE(EnsureSaveFolder());
    }
    void TearDown() override { ResetLastWrittenSnapshot(); }

    sim::Desktop desktop_;
    TestFolder folder_;
};

// The clock stands still, so each save aims at the very file the first one
// wrote: a torn replace would show in it.
TEST_F(SnapshotSaveFaults, SnapshotSaveOverTheSameName) {
    sim::FileSystem& files = *sim::CurrentFileSystem();
    desktop_.AddBrowserFrame(1, "first", "http://a/");
    CSnapshotManager manager;
    ASSERT_TRUE(manager.SaveSnapshot());
    const std::string path = NewestSnapshotFile();
    const std::string before = *platform::ReadWholeFile(path);
    const ProfileData written = LastWrittenSnapshot();

    desktop_.AddBrowserFrame(2, "\x83\x5C\x83\x74\x83\x67 %s%n", "http://b/?q=%d");
    for (const Fault& fault : EveryFault(2 * before.size() + 16)) {
        SCOPED_TRACE(fault.what);
        fault.arm(files);
        ASSERT_FALSE(manager.SaveSnapshot());
        ASSERT_EQ(platform::ReadWholeFile(path), before);
        ASSERT_EQ(Entries("save\\*"), std::vector<std::string>{"20050412153012.txt"});
        ASSERT_EQ(LastWrittenSnapshot(), written) << "a failed save must not count as written";
        files.ClearFaults();
    }
    ASSERT_TRUE(manager.SaveSnapshot());
    EXPECT_EQ(ReadSnapshotFile(path).size(), 2u);
    EXPECT_FALSE(manager.SaveSnapshot()) << "unchanged windows write nothing";
}

// The next save after failures with the clock moving on makes a new file and
// keeps every earlier one.
TEST_F(SnapshotSaveFaults, FailuresThenANewSecond) {
    sim::FileSystem& files = *sim::CurrentFileSystem();
    desktop_.AddBrowserFrame(1, "first", "http://a/");
    CSnapshotManager manager;
    ASSERT_TRUE(manager.SaveSnapshot());
    const std::string before = *platform::ReadWholeFile("save\\20050412153012.txt");

    desktop_.AddBrowserFrame(2, "second", "http://b/");
    for (const Fault& fault : EveryFault(0)) {
        platform::SleepFor(1000);
        fault.arm(files);
        ASSERT_FALSE(manager.SaveSnapshot()) << fault.what;
        files.ClearFaults();
    }
    EXPECT_EQ(ListSnapshotFiles(), std::vector<std::string>{"save\\20050412153012.txt"});
    platform::SleepFor(1000);
    ASSERT_TRUE(manager.SaveSnapshot());
    EXPECT_EQ(ListSnapshotFiles(),
              (std::vector<std::string>{"save\\20050412153012.txt", "save\\20050412153016.txt"}));
    EXPECT_EQ(platform::ReadWholeFile("save\\20050412153012.txt"), before);
}

// The other calls a save or a restore depends on, failing one at a time.
TEST_F(SnapshotSaveFaults, LaunchPlacementAndListingFailures) {
    sim::FileSystem& files = *sim::CurrentFileSystem();
    ASSERT_TRUE(platform::ReplaceWholeFile(
        "save\\20050412153000.txt",
        "[0]\r\nname=IEFrame\r\noption=http://r/\r\nstyle=3\r\ntitle=R\r\n"
        "w_height=300\r\nw_width=400\r\nw_x=20\r\nw_y=30\r\n"));

    struct Case {
        const char* what;
        std::function<void()> arm;
        std::size_t launches;
        std::vector<std::string> movesAndShows;  // with "#" for the started frame
    };
    const std::vector<Case> cases = {
        {"nothing fails", [] {}, 1, {"move # 20 30 400 300", "move # 20 30 400 300", "show # 3"}},
        {"launch fails", [this] { desktop_.LaunchFails(true); }, 1, {}},
        {"listing fails", [&files] { files.FailListing(); }, 0, {}},
        {"started process opens no frame", [this] { desktop_.LaunchCreatesNothing(); }, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desktop_.ClearLog();
        const std::size_t launchesBefore = desktop_.Launches().size();
        c.arm();
        CSnapshotManager manager;
        manager.Restore(std::string());
        std::vector<std::string> lines;
        for (const sim::Operation& op : desktop_.Log()) {
            if (op.kind != sim::Operation::Kind::Moved && op.kind != sim::Operation::Kind::Shown)
                continue;
            std::string line = op.ToString();
            line.replace(line.find('#'), line.find(' ', line.find('#')) - line.find('#'), "#");
            lines.push_back(line);
        }
        EXPECT_EQ(desktop_.Launches().size() - launchesBefore, c.launches);
        EXPECT_EQ(lines, c.movesAndShows);
        // Every restore waits its resize wait once, even with nothing started.
        ASSERT_FALSE(desktop_.Sleeps().empty());
        EXPECT_EQ(desktop_.Sleeps().back(), 500u);
        files.ClearFaults();
        desktop_.LaunchFails(false);
        desktop_.OnLaunch([](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
            d.AddBrowserFrame(pid, "", arg);
        });
        for (platform::WindowHandle w : desktop_.ZOrder())
            desktop_.RemoveWindow(w);
    }

    // A frame whose placement cannot be read is saved at its current
    // rectangle, shown normally.
    desktop_.AddWindow({.className = "IEFrame",
                        .title = "unplaceable",
                        .pid = 9,
                        .placement = {2, {1, 1, 2, 2}},
                        .placementQueryFails = true,
                        .rect = {5, 6, 705, 506}});
    platform::SleepFor(1000);
    CSnapshotManager manager;
    ASSERT_TRUE(manager.SaveSnapshot());
    const BrowserWindowList saved = ReadNewestSnapshot();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ((std::vector<std::int32_t>{saved.front().style, saved.front().w_x, saved.front().w_y,
                                         saved.front().w_width, saved.front().w_height}),
              (std::vector<std::int32_t>{1, 5, 6, 700, 500}));
}

}  // namespace
