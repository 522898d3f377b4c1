// A settings save that fails part-way leaves the earlier file as it was.
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

}  // namespace
