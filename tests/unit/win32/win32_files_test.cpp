// The Win32 file backend where only a real system can show it: other
// handles holding a file, read-only files.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/platform.h"
#include "support/test_folder.h"

namespace {

// Opens the file as another program would: reading, sharing reads only, so
// neither a move over it nor a delete can happen while it is open.
HANDLE HoldOpen(const char* path, DWORD share) {
    return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

TEST(Win32Files, ReplaceFailsCleanlyWhileTheTargetStaysOpen) {
    TestFolder folder;
    ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "old"));
    HANDLE held = HoldOpen("Pelorin.ini", FILE_SHARE_READ);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::ReplaceWholeFile("Pelorin.ini", "new"));
    CloseHandle(held);
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), "old");
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"Pelorin.ini"});
}

TEST(Win32Files, ReplaceWaitsOutABriefHold) {
    TestFolder folder;
    ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "old"));
    HANDLE held = HoldOpen("Pelorin.ini", FILE_SHARE_READ);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // Let go well within the retries; the replace must not give up first.
    std::thread release([held] {
        Sleep(15);
        CloseHandle(held);
    });
    const bool replaced = platform::ReplaceWholeFile("Pelorin.ini", "new");
    release.join();
    EXPECT_TRUE(replaced);
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), "new");
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"Pelorin.ini"});
}

// Windows refuses to move over a read-only file, Wine does not; either way
// the file holds one whole content and no temporary file is left.
TEST(Win32Files, AReadOnlyFileIsReplacedWholeOrNotAtAll) {
    TestFolder folder;
    ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "old"));
    ASSERT_TRUE(SetFileAttributesA("Pelorin.ini", FILE_ATTRIBUTE_READONLY));
    const bool replaced = platform::ReplaceWholeFile("Pelorin.ini", "new");
    SetFileAttributesA("Pelorin.ini", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), replaced ? "new" : "old");
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"Pelorin.ini"});
}

TEST(Win32Files, AFileOpenedWithoutSharingCannotBeRead) {
    TestFolder folder;
    ASSERT_TRUE(platform::ReplaceWholeFile("a.txt", "x"));
    HANDLE held = HoldOpen("a.txt", 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(platform::ReadWholeFile("a.txt"), std::nullopt);
    CloseHandle(held);
    EXPECT_EQ(platform::ReadWholeFile("a.txt"), "x");
}

// Windows also matches "*.txt" against short names, so "x.txtx" (short name
// "X~1.TXT") can appear; the listing passes on what the system finds.
TEST(Win32Files, ListingReturnsNamesNotPaths) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt", "x"));
    EXPECT_EQ(platform::ListMatchingEntries("save\\*.txt"),
              std::vector<std::string>{"20050412153012.txt"});
}

}  // namespace
