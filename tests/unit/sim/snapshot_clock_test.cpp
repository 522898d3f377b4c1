// Snapshot files against the virtual clock and failing writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_files.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

class SnapshotClock : public testing::Test {
protected:
    void SetUp() override {
        ResetLastWrittenSnapshot();
        ASSERT_TRUE(EnsureSaveFolder());
    }
    void TearDown() override { ResetLastWrittenSnapshot(); }

    static BrowserWindowList Windows(const std::string& title) {
        return {BrowserWindowRecord("IEFrame", title, "http://x/", 0, 0, 640, 480)};
    }
    static std::vector<std::string> Titles(const BrowserWindowList& list) {
        std::vector<std::string> titles;
        for (const BrowserWindowRecord& record : list)
            titles.push_back(record.title);
        return titles;
    }

    sim::Desktop desktop_;
    TestFolder folder_;
};

TEST_F(SnapshotClock, NameFollowsTheLocalTime) {
    struct Case {
        int year, month, day, hour, minute, second;
        const char* name;
    };
    const Case cases[] = {
        {2005, 4, 12, 15, 30, 12, "save\\20050412153012.txt"},
        {1999, 12, 31, 23, 59, 59, "save\\19991231235959.txt"},
        {2038, 1, 19, 3, 14, 8, "save\\20380119031408.txt"},
        {2024, 2, 29, 0, 0, 0, "save\\20240229000000.txt"},
    };
    for (const Case& c : cases) {
        desktop_.SetLocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(MakeSnapshotFileName(), c.name);
    }
    desktop_.LocalTimeFails(true);
    EXPECT_EQ(MakeSnapshotFileName(), "");
}

TEST_F(SnapshotClock, NoTimeNoFileAndTheNextSaveTriesAgain) {
    desktop_.LocalTimeFails(true);
    EXPECT_FALSE(WriteSnapshotFile(Windows("a")));
    EXPECT_TRUE(ListSnapshotFiles().empty());
    EXPECT_TRUE(LastWrittenSnapshot().empty());

    desktop_.LocalTimeFails(false);
    EXPECT_TRUE(WriteSnapshotFile(Windows("a")));
    EXPECT_EQ(ListSnapshotFiles(), std::vector<std::string>{"save\\20050412153012.txt"});
}

TEST_F(SnapshotClock, SavesInOneSecondReplaceEachOther) {
    desktop_.SetLocalTime(2005, 4, 12, 15, 30, 12);
    ASSERT_TRUE(WriteSnapshotFile(Windows("first")));
    platform::SleepFor(999);  // still 15:30:12
    ASSERT_TRUE(WriteSnapshotFile(Windows("second")));
    EXPECT_EQ(ListSnapshotFiles(), std::vector<std::string>{"save\\20050412153012.txt"});
    EXPECT_EQ(Titles(ReadNewestSnapshot()), std::vector<std::string>{"second"});

    platform::SleepFor(1);  // 15:30:13
    ASSERT_TRUE(WriteSnapshotFile(Windows("third")));
    EXPECT_EQ(ListSnapshotFiles(),
              (std::vector<std::string>{"save\\20050412153012.txt", "save\\20050412153013.txt"}));
}

TEST_F(SnapshotClock, ClockSetBackKeepsTheLaterNameNewest) {
    desktop_.SetLocalTime(2005, 10, 30, 2, 30, 0);
    ASSERT_TRUE(WriteSnapshotFile(Windows("before")));
    desktop_.SetLocalTime(2005, 10, 30, 2, 0, 0);  // daylight saving ends
    ASSERT_TRUE(WriteSnapshotFile(Windows("after")));
    EXPECT_EQ(NewestSnapshotFile(), "save\\20051030023000.txt");
    EXPECT_EQ(Titles(ReadNewestSnapshot()), std::vector<std::string>{"before"});

    desktop_.SetLocalTime(2005, 10, 30, 2, 30, 1);
    ASSERT_TRUE(WriteSnapshotFile(Windows("passed")));
    EXPECT_EQ(Titles(ReadNewestSnapshot()), std::vector<std::string>{"passed"});
    EXPECT_EQ(ListSnapshotFiles().size(), 3u);
}

TEST_F(SnapshotClock, FailedWriteIsReportedAndRetried) {
    sim::FileSystem& files = *sim::CurrentFileSystem();
    ASSERT_TRUE(WriteSnapshotFile(Windows("kept")));
    const ProfileData kept = LastWrittenSnapshot();
    platform::SleepFor(1000);

    using Fault = void (*)(sim::FileSystem&);
    const Fault faults[] = {
        [](sim::FileSystem& f) { f.FailWriteAfter(0); },
        [](sim::FileSystem& f) { f.FailWriteAfter(20); },
        [](sim::FileSystem& f) { f.FailFlush(); },
        [](sim::FileSystem& f) { f.FailRename(); },
    };
    for (Fault fault : faults) {
        fault(files);
        EXPECT_FALSE(WriteSnapshotFile(Windows("new")));
        EXPECT_EQ(LastWrittenSnapshot(), kept);
        EXPECT_EQ(ListSnapshotFiles().size(), 1u);
        files.ClearFaults();
    }
    EXPECT_TRUE(WriteSnapshotFile(Windows("new")));
    EXPECT_EQ(Titles(ReadNewestSnapshot()), std::vector<std::string>{"new"});
    EXPECT_FALSE(WriteSnapshotFile(Windows("new")));
}

TEST_F(SnapshotClock, SaveFolderRemovedAfterStartIsNotMadeAgain) {
    ASSERT_TRUE(WriteSnapshotFile(Windows("a")));
    std::filesystem::remove_all(sim::CurrentFileSystem()->HostPath("save"));

    platform::SleepFor(1000);
    EXPECT_FALSE(WriteSnapshotFile(Windows("b")));
    platform::SleepFor(1000);
    EXPECT_FALSE(WriteSnapshotFile(Windows("b"))) << "tried again, failed again";
    EXPECT_FALSE(platform::IsDirectory("save"));
    EXPECT_EQ(LastWrittenSnapshot().Get("0", "title"), "a");
}

}  // namespace
