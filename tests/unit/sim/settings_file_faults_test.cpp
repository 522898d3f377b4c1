// A settings save that fails part-way leaves the earlier file as it was; one
// that cannot replace the file writes it in place instead.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_files.h"
#include "storage/settings_file.h"
#include "support/test_folder.h"

namespace {

TEST(SettingsFileFaults, FailedSaveKeepsTheOldFile) {
    struct Fault {
        const char* what;
        std::function<void(sim::FileSystem&)> arm;
    };
    const std::vector<Fault> faults = {
        {"write error after 0 bytes", [](sim::FileSystem& fs) { fs.FailWriteAfter(0); }},
        {"write error after 20 bytes", [](sim::FileSystem& fs) { fs.FailWriteAfter(20); }},
        {"flush error", [](sim::FileSystem& fs) { fs.FailFlush(); }},
        {"rename error", [](sim::FileSystem& fs) { fs.FailRename(); }},
    };
    const std::string old = "[Setting]\r\nAutoSave=1\r\nAutoSaveTime=7\r\n";
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        TestFolder folder;
        sim::FileSystem& files = *sim::CurrentFileSystem();
        ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", old));
        fault.arm(files);

        Settings confirmed;
        confirmed.AutoSaveTime = 30;
        confirmed.CreateWait = 50;
        EXPECT_FALSE(SaveSettingsFile(confirmed));
        EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), old);
        // The old file is what the next start reads.
        files.ClearFaults();
        Settings next;
        LoadSettingsFile(next);
        EXPECT_EQ(next.AutoSave, 1);
        EXPECT_EQ(next.AutoSaveTime, 7);
        // And a later save goes through.
        EXPECT_TRUE(SaveSettingsFile(confirmed));
        EXPECT_NE(platform::ReadWholeFile("Pelorin.ini"), old);
    }
}

// The folder lets no file be made beside Pelorin.ini, or another program
// holds it open for writing: the settings go into the file itself, and the
// save says whether they got there.
TEST(SettingsFileFaults, WrittenInPlaceWhereItCannotBeReplaced) {
    struct Case {
        const char* what;
        std::function<void(sim::FileSystem&)> arm;
        bool folderInTheWay;
        bool saved;
    };
    const std::vector<Case> cases = {
        {"no file can be made beside it", [](sim::FileSystem& fs) { fs.FailCreateTemporary(); },
         false, true},
        {"held open by another program", [](sim::FileSystem& fs) { fs.HoldTarget(); }, false, true},
        {"no file beside it, and a folder in its place",
         [](sim::FileSystem& fs) { fs.FailCreateTemporary(); }, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        if (c.folderInTheWay) {
            ASSERT_TRUE(platform::CreateDirectoryAt("Pelorin.ini"));
        } else {
            ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "[Setting]\r\nAutoSave=1\r\n"));
        }
        sim::CurrentFileSystem()->ClearFaults();
        c.arm(*sim::CurrentFileSystem());
        Settings confirmed;
        confirmed.AutoSaveTime = 30;
        EXPECT_EQ(SaveSettingsFile(confirmed), c.saved);
        sim::CurrentFileSystem()->ClearFaults();
        Settings next;
        LoadSettingsFile(next);
        EXPECT_EQ(next.AutoSaveTime, c.saved ? 30 : 1);
        EXPECT_EQ(platform::IsDirectory("Pelorin.ini"), c.folderInTheWay);
        EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"Pelorin.ini"});
    }
}

// Written in place, a write that fails after any byte leaves every key at
// its old value or its new one: never an empty file, never a line torn into
// a third value (old "AutoSaveTime=1440", new "AutoSaveTime=5", cut after the
// 5, would read 5440). The values differ in length so that lines shift.
TEST(SettingsFileFaults, AnInPlaceWriteCutAtAnyByteLeavesEachKeyOldOrNew) {
    // In the order of the members: ExitIEWhenRestore, AutoSave, AutoSaveTime,
    // Save, CreateWait, ResizeWait, ExitIEWhenExit, RestoreWhenStart.
    const Settings old{0, 1, 1440, 0, 60000, 300000, 0, 1};
    const Settings now{0, 0, 5, 1, 100, 500, 1, 0};
    constexpr std::int32_t Settings::*kKeys[] = {
        &Settings::ExitIEWhenRestore, &Settings::AutoSave,
        &Settings::AutoSaveTime,      &Settings::Save,
        &Settings::CreateWait,        &Settings::ResizeWait,
        &Settings::ExitIEWhenExit,    &Settings::RestoreWhenStart};
    // Every k until one lets the whole content through.
    bool saved = false;
    for (std::size_t k = 0; !saved && k < 1000; ++k) {
        TestFolder folder;
        sim::FileSystem& files = *sim::CurrentFileSystem();
        ASSERT_TRUE(SaveSettingsFile(old));
        files.FailCreateTemporary();
        files.FailWriteAfter(k);
        saved = SaveSettingsFile(now);
        files.ClearFaults();
        Settings loaded;
        LoadSettingsFile(loaded);
        for (std::int32_t Settings::*key : kKeys) {
            ASSERT_TRUE(loaded.*key == old.*key || loaded.*key == now.*key)
                << "write failing after " << k
                << " bytes: " << *platform::ReadWholeFile("Pelorin.ini");
        }
        if (saved) {
            EXPECT_EQ(loaded, now) << "reported saved with a write failing after " << k;
        }
    }
    EXPECT_TRUE(saved);
}

}  // namespace
