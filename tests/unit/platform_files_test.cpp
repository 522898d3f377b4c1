// The file calls of the platform seam, as every backend must answer them:
// on Linux against the simulated file system, under Wine against Win32.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "support/test_folder.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PlatformFiles, ReplaceThenReadGivesTheBytesBack) {
    TestFolder folder;
    std::string large;
    for (int i = 0; large.size() < 3 * 1024 * 1024 + 17; ++i) {
        large += static_cast<char>(i * 131 % 256);  // every byte value, CR and LF included
    }
    const std::string contents[] = {std::string("a\r\nb\0c\x1A\x83\x5C\r", 10), "", large, "x"};
    for (const std::string& content : contents) {
        ASSERT_TRUE(platform::ReplaceWholeFile("x.txt", content)) << content.size();
        EXPECT_EQ(platform::ReadWholeFile("x.txt"), content) << content.size();
    }
    // Only the file itself is left: no temporary file of any name.
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"x.txt"});
}

TEST(PlatformFiles, ReadFindsNothingWhereThereIsNoFile) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("dir"));
    for (const char* path : {"missing.txt", "dir", "dir\\missing.txt", "nofolder\\x.txt"}) {
        EXPECT_EQ(platform::ReadWholeFile(path), std::nullopt) << path;
    }
}

TEST(PlatformFiles, ReplaceFailsWhereNoFileCanBe) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("dir"));
    EXPECT_FALSE(platform::ReplaceWholeFile("dir", "x"));  // not even an empty folder is replaced
    EXPECT_TRUE(platform::IsDirectory("dir"));
    EXPECT_FALSE(platform::ReplaceWholeFile("nofolder\\x.txt", "x"));
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"dir"});
    EXPECT_TRUE(platform::ListMatchingEntries("dir\\*").empty());
}

TEST(PlatformFiles, CreateDirectoryFailsWhenTheNameIsTakenOrTheParentIsMissing) {
    TestFolder folder;
    ASSERT_TRUE(platform::ReplaceWholeFile("file", "x"));
    EXPECT_TRUE(platform::CreateDirectoryAt("dir"));
    EXPECT_TRUE(platform::CreateDirectoryAt("dir\\sub"));
    EXPECT_FALSE(platform::CreateDirectoryAt("dir"));
    EXPECT_FALSE(platform::CreateDirectoryAt("file"));
    EXPECT_FALSE(platform::CreateDirectoryAt("a\\b"));
    EXPECT_TRUE(platform::IsDirectory("dir"));
    EXPECT_TRUE(platform::IsDirectory("dir\\sub"));
    EXPECT_FALSE(platform::IsDirectory("file"));
    EXPECT_FALSE(platform::IsDirectory("missing"));
    EXPECT_EQ(platform::ReadWholeFile("file"), "x");
}

TEST(PlatformFiles, ListingMatchesTheExtensionWithoutRegardToCase) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    for (const char* name : {"a.txt", "B.TXT", "c.Txt", "y.txt.tmp", "txt", "20050412153012.ini"}) {
        ASSERT_TRUE(platform::ReplaceWholeFile(std::string("save\\") + name, "x")) << name;
    }
    ASSERT_TRUE(platform::CreateDirectoryAt("save\\folder.txt"));
    EXPECT_EQ(Sorted(platform::ListMatchingEntries("save\\*.txt")),
              (std::vector<std::string>{"B.TXT", "a.txt", "c.Txt", "folder.txt"}));
    EXPECT_EQ(Sorted(platform::ListMatchingEntries("save\\*")),
              (std::vector<std::string>{"20050412153012.ini", "B.TXT", "a.txt", "c.Txt",
                                        "folder.txt", "txt", "y.txt.tmp"}));
    EXPECT_TRUE(platform::ListMatchingEntries("missing\\*.txt").empty());
    EXPECT_TRUE(platform::ListMatchingEntries("*.txt").empty());
}

// A save killed between writing its temporary file and moving it leaves the
// target's name plus the program's own suffix. Clearing those must not touch
// anything else: the snapshots themselves, files a user named ".tmp" (a
// renamed snapshot, a backup of the settings), other names, folders.
TEST(PlatformFiles, InterruptedReplacementsAreRemovedAndNothingElse) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    for (const char* name :
         {"save\\20050412153012.txt~pelorin.tmp", "save\\20050412153013.TXT~pelorin.tmp",
          "Pelorin.ini~pelorin.tmp", "save\\20050412153012.txt", "save\\20050412153014.txt.tmp",
          "Pelorin.ini.tmp", "save\\notes.tmp", "save\\a.txt~pelorin.tmp.bak",
          "save\\Pelorin.ini~pelorin.tmp", "other.ini~pelorin.tmp"}) {
        ASSERT_TRUE(platform::ReplaceWholeFile(name, "x")) << name;
    }
    ASSERT_TRUE(platform::CreateDirectoryAt("save\\folder.txt~pelorin.tmp"));

    platform::RemoveInterruptedReplacements("save\\*.txt");
    platform::RemoveInterruptedReplacements("Pelorin.ini");
    EXPECT_EQ(Sorted(platform::ListMatchingEntries("save\\*")),
              (std::vector<std::string>{"20050412153012.txt", "20050412153014.txt.tmp",
                                        "Pelorin.ini~pelorin.tmp", "a.txt~pelorin.tmp.bak",
                                        "folder.txt~pelorin.tmp", "notes.tmp"}));
    EXPECT_EQ(Sorted(platform::ListMatchingEntries("*.tmp")),
              (std::vector<std::string>{"Pelorin.ini.tmp", "other.ini~pelorin.tmp"}));
    EXPECT_EQ(platform::ReadWholeFile("save\\20050412153012.txt"), "x");
}

}  // namespace
