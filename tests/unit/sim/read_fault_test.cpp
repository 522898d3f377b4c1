// Reads that fail part-way through a file. The bytes before the error are a
// prefix of the file, and a prefix can end inside a number ("AutoSaveTime=3"
// of "AutoSaveTime=30") or drop the later windows of a snapshot: taken as the
// file, that is a wrong value the user never wrote. A failed read must count
// as no file at all.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_files.h"
#include "storage/settings_file.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

BrowserWindowList ThreeWindows() {
    BrowserWindowList list;
    for (int i = 0; i < 3; ++i) {
        list.emplace_back("IEFrame", "page " + std::to_string(i),
                          "http://example.com/" + std::to_string(i), 100 * i, 50, 800, 600);
        list.back().style = 1 + i;
    }
    return list;
}

TEST(ReadFaults, TheFaultItselfCutsAtTheByteAndLetsAShorterFileThrough) {
    TestFolder folder;
    sim::FileSystem& files = *sim::CurrentFileSystem();
    const std::string content(10000, 'x');  // more than one host read buffer
    ASSERT_TRUE(platform::ReplaceWholeFile("big.bin", content));
    for (const std::size_t k :
         {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{9999}}) {
        files.FailReadAfter(k);
        EXPECT_EQ(platform::ReadWholeFile("big.bin"), std::nullopt) << k;
    }
    for (const std::size_t k : {std::size_t{10000}, std::size_t{10001}}) {
        files.FailReadAfter(k);
        EXPECT_EQ(platform::ReadWholeFile("big.bin"), content) << k;
    }
}

TEST(ReadFaults, ASettingsFileCutAtAnyByteChangesNoRunningValue) {
    TestFolder folder;
    sim::FileSystem& files = *sim::CurrentFileSystem();
    Settings stored;
    stored.AutoSave = 1;
    stored.AutoSaveTime = 30;
    stored.CreateWait = 1000;
    stored.ResizeWait = 2000;
    ASSERT_TRUE(SaveSettingsFile(stored));
    const std::size_t size = platform::ReadWholeFile("Pelorin.ini")->size();

    Settings running;
    running.Save = 1;
    running.AutoSaveTime = 5;
    for (std::size_t k = 0; k < size; ++k) {
        files.FailReadAfter(k);
        Settings loaded = running;
        LoadSettingsFile(loaded);
        ASSERT_EQ(loaded, running) << "read failing after " << k << " of " << size << " bytes";
    }
    files.FailReadAfter(size);
    Settings loaded = running;
    LoadSettingsFile(loaded);
    EXPECT_EQ(loaded, stored);
}

TEST(ReadFaults, ASnapshotCutAtAnyByteRestoresNothing) {
    sim::Desktop desktop;  // the clock that names the file
    TestFolder folder;
    ResetLastWrittenSnapshot();
    sim::FileSystem& files = *sim::CurrentFileSystem();
    ASSERT_TRUE(EnsureSaveFolder());
    ASSERT_TRUE(WriteSnapshotFile(ThreeWindows()));
    const std::string path = NewestSnapshotFile();
    ASSERT_FALSE(path.empty());
    const std::size_t size = platform::ReadWholeFile(path)->size();

    for (std::size_t k = 0; k < size; ++k) {
        files.FailReadAfter(k);
        ASSERT_TRUE(ReadSnapshotFile(path).empty()) << "read failing after " << k << " bytes";
        ASSERT_TRUE(ReadNewestSnapshot().empty()) << k;
        BrowserWindowList kept = ThreeWindows();
        ASSERT_FALSE(ReadSnapshotFile(path, kept));
        ASSERT_EQ(kept, ThreeWindows()) << "a failed read leaves the list as it was";
    }
    files.FailReadAfter(size);
    EXPECT_EQ(ReadSnapshotFile(path), ThreeWindows());
    ResetLastWrittenSnapshot();
}

}  // namespace
