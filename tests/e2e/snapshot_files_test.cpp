// The save folder and snapshot files on a real file system under Wine: the
// folder made or refused, a capture of three fixture frames written and read
// back byte for byte, and the listing and choice of the newest file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "fixture_protocol.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/browser_desktop_test.h"

namespace e2e {
namespace {

bool IsDirectoryHere(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFile(const std::string& path, const std::string& bytes) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string LocalStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[16];
    std::snprintf(stamp, sizeof(stamp), "%04u%02u%02u%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return stamp;
}

using SaveFolderTest = BrowserDesktopTest;

TEST_F(SaveFolderTest, MadeWhenMissingKeptWhenPresent) {
    ASSERT_FALSE(IsDirectoryHere("save"));
    EXPECT_TRUE(EnsureSaveFolder());
    EXPECT_TRUE(IsDirectoryHere("save"));
    EXPECT_TRUE(EnsureSaveFolder());

    // A folder that carries other attribute bits is still the save folder.
    ASSERT_TRUE(SetFileAttributesA("save", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(EnsureSaveFolder());
    SetFileAttributesA("save", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SaveFolderTest, FileNamedSaveIsRefusedAndLeftAlone) {
    ASSERT_TRUE(MakeFile("save", "not a folder"));
    EXPECT_FALSE(EnsureSaveFolder());
    EXPECT_FALSE(IsDirectoryHere("save"));
    EXPECT_EQ(ReadFileBytes("save"), "not a folder");
}

using SnapshotFileTest = BrowserDesktopTest;

struct FrameCase {
    const char* address;
    FramePlacement placement;
};

TEST_F(SnapshotFileTest, CaptureOfThreeFramesWrittenAndReadBackByteForByte) {
    const FrameCase cases[] = {
        {"http://normal.test/page", {SW_SHOWNORMAL, {100, 50, 900, 650}}},
        {"http://maximised.test/", {SW_SHOWMAXIMIZED, {120, 80, 1120, 780}}},
        {"about:minimised", {SW_SHOWMINIMIZED, {30, 40, 530, 440}}},
    };
    for (const auto& c : cases)
        ASSERT_NE(StartFixture(c.address, c.placement).hwnd, nullptr);
    ASSERT_TRUE(EnsureSaveFolder());

    BrowserWindowList list;
    CaptureBrowserWindows(list);
    ASSERT_EQ(list.size(), 3u);
    const std::string before = LocalStamp();
    ASSERT_TRUE(WriteSnapshotFile(list));
    const std::string after = LocalStamp();

    // What the file must hold, built from the desktop rather than from the
    // captured list: one section per frame in enumeration order, keys in
    // byte order, CR LF after every line.
    std::string expected;
    int section = 0;
    for (HWND frame : BrowserFrames()) {
        char address[1024] = {};
        HWND bar = FindWindowExA(frame, nullptr, "WorkerW", nullptr);
        bar = FindWindowExA(bar, nullptr, "ReBarWindow32", nullptr);
        bar = FindWindowExA(bar, nullptr, "ComboBoxEx32", nullptr);
        SendMessageA(bar, WM_GETTEXT, sizeof(address), reinterpret_cast<LPARAM>(address));
        const auto seen = PlacementSeenFromHere(frame);
        ASSERT_TRUE(seen.has_value());
        const RECT& r = seen->normal;
        char text[1600];
        std::snprintf(text, sizeof(text),
                      "[%d]\r\nname=IEFrame\r\noption=%s\r\nstyle=%u\r\ntitle=%s\r\n"
                      "w_height=%ld\r\nw_width=%ld\r\nw_x=%ld\r\nw_y=%ld\r\n",
                      section++, address, seen->showCmd, fixture::TitleFor(address).c_str(),
                      r.bottom - r.top, r.right - r.left, r.left, r.top);
        expected += text;
    }

    const std::vector<std::string> files = ListSnapshotFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string& name = files.front();
    ASSERT_EQ(name.size(), 23u) << name;
    EXPECT_EQ(name.substr(0, 5), "save\\");
    EXPECT_EQ(name.substr(19), ".txt");
    const std::string stamp = name.substr(5, 14);
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);

    const auto bytes = ReadFileBytes(name);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, expected) << "written:\n"
                                << Visible(*bytes) << "\nexpected:\n"
                                << Visible(expected);
    std::cout << "snapshot " << directory_ << "\\" << name << "\n" << Visible(*bytes);

    // Back into records: everything but the live handle and process id.
    BrowserWindowList stored = list;
    for (auto& record : stored) {
        record.hwnd = nullptr;
        record.pid = 0;
    }
    EXPECT_EQ(ReadSnapshotFile(name), stored);
    EXPECT_EQ(ReadNewestSnapshot(), stored);

    // The same windows again: nothing new is written.
    EXPECT_FALSE(WriteSnapshotFile(list));
    EXPECT_EQ(ListSnapshotFiles().size(), 1u);
}

TEST_F(SnapshotFileTest, ListedInByteOrderAndTheGreatestNameIsNewest) {
    ASSERT_TRUE(EnsureSaveFolder());
    const std::string one = "[0]\r\nname=IEFrame\r\noption=http://one.test/\r\nstyle=1\r\n";
    const std::string two = "[0]\r\nname=IEFrame\r\noption=http://two.test/\r\nstyle=3\r\n";
    ASSERT_TRUE(MakeFile("save\\20050101000000.txt", two));
    ASSERT_TRUE(MakeFile("save\\20041231235959.txt", one));
    ASSERT_TRUE(MakeFile("save\\20060101000000.dat", one));
    // Found through 8.3 aliases ending in ".TXT", but no snapshots.
    ASSERT_TRUE(MakeFile("save\\20990101000000.txt~", one));
    ASSERT_TRUE(MakeFile("save\\notes.txtold", one));
    // The later name wins whatever the file times say.
    const HANDLE older = CreateFileA("save\\20050101000000.txt", FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(older, INVALID_HANDLE_VALUE);
    FILETIME longAgo{0x10000000, 0x01A00000};
    SetFileTime(older, &longAgo, &longAgo, &longAgo);
    CloseHandle(older);

    const std::vector<std::string> expected = {"save\\20041231235959.txt",
                                               "save\\20050101000000.txt"};
    EXPECT_EQ(ListSnapshotFiles(), expected);
    EXPECT_EQ(NewestSnapshotFile(), "save\\20050101000000.txt");
    const BrowserWindowList newest = ReadNewestSnapshot();
    ASSERT_EQ(newest.size(), 1u);
    EXPECT_EQ(newest.front().option, "http://two.test/");
    EXPECT_EQ(newest.front().style, 3);

    // A name that begins with a letter sorts after every time stamp; a folder
    // that matches is listed like a file, and reads as no snapshot.
    ASSERT_TRUE(MakeFile("save\\notes.txt", one));
    EXPECT_EQ(NewestSnapshotFile(), "save\\notes.txt");
    ASSERT_TRUE(CreateDirectoryA("save\\old.txt", nullptr));
    EXPECT_EQ(NewestSnapshotFile(), "save\\old.txt");
    EXPECT_EQ(ListSnapshotFiles().size(), 4u);
    EXPECT_TRUE(ReadNewestSnapshot().empty());
}

TEST_F(SnapshotFileTest, SaveOfTheManagerWritesWhatItCaptured) {
    ASSERT_NE(
        StartFixture("http://manager.test/", FramePlacement{SW_SHOWNORMAL, {10, 20, 410, 320}})
            .hwnd,
        nullptr);
    ASSERT_TRUE(EnsureSaveFolder());
    CSnapshotManager manager;
    EXPECT_TRUE(manager.SaveSnapshot());
    ASSERT_EQ(manager.Windows.size(), 1u);
    const std::string newest = NewestSnapshotFile();
    ASSERT_NE(newest, "");
    EXPECT_EQ(ReadFileBytes(newest),
              "[0]\r\nname=IEFrame\r\noption=http://manager.test/\r\nstyle=1\r\n"
              "title=Fixture - http://manager.test/\r\nw_height=300\r\nw_width=400\r\n"
              "w_x=10\r\nw_y=20\r\n");
    EXPECT_FALSE(manager.SaveSnapshot());
}

}  // namespace
}  // namespace e2e
