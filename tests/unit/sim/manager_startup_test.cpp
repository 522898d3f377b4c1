// The manager's start-up step: save folder, error box, settings, restore.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_files.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

// "\"save\" フォルダが作成できません" and "エラー" in code page 932.
const std::string kErrorText =
    "\"save\" \x83\x74\x83\x48\x83\x8b\x83\x5f\x82\xaa\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc"
    "\x82\xb9\x82\xf1";
const std::string kErrorCaption = "\x83\x47\x83\x89\x81\x5b";

const std::string kSettings =
    "[Setting]\r\nExitIEWhenRestore=0\r\nAutoSave=1\r\nAutoSaveTime=5\r\nSave=1\r\n"
    "CreateWait=100\r\nResizeWait=600\r\nExitIEWhenExit=0\r\nRestoreWhenStart=1\r\n";

class Startup : public testing::Test {
protected:
    void SetUp() override { ResetLastWrittenSnapshot(); }
    void TearDown() override { ResetLastWrittenSnapshot(); }

    sim::Desktop desktop_;
    TestFolder folder_;
};

TEST_F(Startup, MakesTheFolderLoadsTheSettingsAndRestores) {
    ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", kSettings));
    CSnapshotManager manager;
    ASSERT_TRUE(manager.Startup());

    EXPECT_TRUE(platform::IsDirectory("save"));
    EXPECT_TRUE(desktop_.errorBoxes.empty());
    EXPECT_EQ(manager.AutoSave, 1);
    EXPECT_EQ(manager.AutoSaveTime, 5);
    EXPECT_EQ(manager.CreateWait, 100);
    EXPECT_EQ(manager.ResizeWait, 600);
    // The restore found no snapshot in the new save folder: it did nothing.
    EXPECT_EQ(desktop_.LogLines(), std::vector<std::string>{});
}

TEST_F(Startup, RestoresTheNewestSnapshotOnlyWhenAsked) {
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt",
                                           "[0]\r\noption=http://a/\r\nstyle=1\r\n"));
    {
        CSnapshotManager manager;
        ASSERT_TRUE(manager.Startup());  // no settings file: RestoreWhenStart is 0
    }
    EXPECT_TRUE(desktop_.Launches().empty());

    ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "[Setting]\r\nRestoreWhenStart=1\r\n"));
    CSnapshotManager manager;
    ASSERT_TRUE(manager.Startup());
    ASSERT_EQ(desktop_.Launches().size(), 1u);
    EXPECT_EQ(desktop_.Launches().front().commandLine,
              "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" http://a/");
}

TEST_F(Startup, ClearsWhatKilledSavesLeftBehind) {
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt", "[0]\r\nstyle=1\r\n"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153013.txt~pelorin.tmp", "[0]\r\nsty"));
    ASSERT_TRUE(
        platform::ReplaceWholeFile("Pelorin.ini~pelorin.tmp", "[Setting]\r\nAutoSave=1\r\n"));
    CSnapshotManager manager;
    ASSERT_TRUE(manager.Startup());
    EXPECT_EQ(platform::ListMatchingEntries("save\\*"),
              std::vector<std::string>{"20050412153012.txt"});
    EXPECT_TRUE(platform::ListMatchingEntries("*.tmp").empty());
    EXPECT_EQ(manager.AutoSave, 0) << "a cut settings save is not read";
}

TEST(StartupFailure, FolderThatCannotBeMadeShowsTheErrorAndStops) {
    using Obstacle = void (*)();
    const std::pair<const char*, Obstacle> obstacles[] = {
        {"a file named save", [] { ASSERT_TRUE(platform::ReplaceWholeFile("save", "")); }},
        {"creation fails", [] { sim::CurrentFileSystem()->FailCreateDirectory(); }},
    };
    for (const auto& [what, obstacle] : obstacles) {
        SCOPED_TRACE(what);
        sim::Desktop desktop;
        TestFolder folder;
        ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", kSettings));
        obstacle();

        CSnapshotManager manager;
        EXPECT_FALSE(manager.Startup());
        EXPECT_EQ(desktop.errorBoxes,
                  (std::vector<std::pair<std::string, std::string>>{{kErrorText, kErrorCaption}}));
        EXPECT_EQ(static_cast<const Settings&>(manager), Settings()) << "settings not loaded";
        EXPECT_TRUE(desktop.LogLines().empty()) << "no restore";
    }
}

}  // namespace
