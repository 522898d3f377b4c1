// The Win32 file backend where only a real system can show it: other
// handles holding a file, read-only files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "storage/profile_document.h"
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

// A program that holds the file open for reading and writing, sharing both
// but not deletion: no move can replace it, but the settings can still be
// written into it. One that shares no writing keeps it as it was.
TEST(Win32Files, AHeldFileIsOverwrittenWhereItsSharingAllows) {
    const struct {
        DWORD share;
        const char* after;
    } cases[] = {{FILE_SHARE_READ | FILE_SHARE_WRITE, "new"}, {FILE_SHARE_READ, "old"}};
    for (const auto& c : cases) {
        TestFolder folder;
        ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "old"));
        HANDLE held = CreateFileA("Pelorin.ini", GENERIC_READ | GENERIC_WRITE, c.share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(platform::ReplaceWholeFile("Pelorin.ini", "new"));
        EXPECT_EQ(ReplaceOrOverwriteWholeFile("Pelorin.ini", "new"), std::string(c.after) == "new");
        CloseHandle(held);
        EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), c.after);
        EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"Pelorin.ini"});
    }
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

// Windows may refuse to move over a read-only file, Wine does not; either way
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

// The settings file may be hidden by its user; a save must not show it.
TEST(Win32Files, AReplacedFileKeepsItsHiddenAndSystemAttributes) {
    for (DWORD attributes :
         {DWORD(FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)}) {
        SCOPED_TRACE(attributes);
        TestFolder folder;
        ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "old"));
        ASSERT_TRUE(SetFileAttributesA("Pelorin.ini", attributes));
        ASSERT_TRUE(ReplaceOrOverwriteWholeFile("Pelorin.ini", "new"));
        ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", "newer"));
        EXPECT_EQ(GetFileAttributesA("Pelorin.ini") & attributes, attributes);
        EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), "newer");
        SetFileAttributesA("Pelorin.ini", FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"Pelorin.ini"});
    }
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

// In code page 932, "\x83\x5C" and "\x95\x5C" are single characters whose
// second byte is the backslash: the temporary file must still go into the
// right folder, and names must come back byte for byte.
TEST(Win32Files, ShiftJisNamesWithABackslashByte) {
    if (GetACP() != 932) {
        GTEST_SKIP() << "needs the Japanese ANSI code page 932, not " << GetACP();
    }
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("\x83\x5C"));
    ASSERT_TRUE(platform::ReplaceWholeFile("\x83\x5C\\\x95\x5C.txt", "x"));
    ASSERT_TRUE(platform::ReplaceWholeFile("\x83\x5C\\\x95\x5C.txt", "y"));
    EXPECT_EQ(platform::ListMatchingEntries("\x83\x5C\\*"),
              std::vector<std::string>{"\x95\x5C.txt"});
    EXPECT_EQ(platform::ReadWholeFile("\x83\x5C\\\x95\x5C.txt"), "y");
    EXPECT_TRUE(platform::IsDirectory("\x83\x5C"));
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"\x83\x5C"});
}

}  // namespace

// A save killed half-way leaves its temporary file behind. The next save of
// the same file must take it over rather than fail or leave a second one, so
// that killed saves can never use up the names a save needs.
TEST(Win32Files, ATemporaryFileLeftByAKilledSaveIsTakenOver) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\1.txt~pelorin.tmp", "half a sna"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\1.txt", "whole"));
    EXPECT_EQ(platform::ReadWholeFile("save\\1.txt"), "whole");
    EXPECT_EQ(platform::ListMatchingEntries("save\\*"), std::vector<std::string>{"1.txt"});
    EXPECT_EQ(platform::ListMatchingEntries("save\\*.txt"), std::vector<std::string>{"1.txt"});
}
