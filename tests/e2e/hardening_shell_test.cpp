// The real program against a hostile file system and absurd settings: the
// settings file held open by another program, a read-only or vanished save
// folder, temporary files left by killed saves, and waits and intervals that
// no one should type.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resource.h"
#include "shell_test.h"

namespace shell_e2e {
namespace {

class HardeningTest : public ShellTest {
protected:
    static void SetText(HWND dialog, int id, const char* text) {
        SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    // Opens the dialog, lets `edit` change it, presses OK and waits until the
    // program is back in its loop, which is after the settings were saved.
    template <typename Edit>
    void ConfirmSettings(Edit edit) {
        const HWND dialog = OpenSettings(pelorin_);
        ASSERT_NE(dialog, nullptr);
        edit(dialog);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }));
        ASSERT_TRUE(pelorin_.WaitResponsive());
    }
    // Posts `command`, then waits until a dialog opened by a command posted
    // after it shows: posted commands run in order, so `command` is done.
    void RunCommand(UINT command) {
        pelorin_.PostCommand(command);
        const HWND dialog = OpenSettings(pelorin_);
        ASSERT_NE(dialog, nullptr) << "the program did not come back from command " << command;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }));
    }
    // Every entry of save\ that is not a snapshot: temporary files left over.
    std::vector<std::string> StrayFiles() const {
        std::vector<std::string> stray;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(Path("save\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return stray;
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != ".." &&
                (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0))
                stray.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(stray.begin(), stray.end());
        return stray;
    }
};

// Another program holds Pelorin.ini open without sharing: the save retries,
// gives up, and the file stays as it was; once let go, the next OK writes.
TEST_F(HardeningTest, SettingsHeldOpenByAnotherProgram) {
    const std::string old = "[Setting]\r\nAutoSaveTime=7\r\n";
    WriteIni(old);
    StartResident(pelorin_);
    HANDLE held = CreateFileA(Path("Pelorin.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const DWORD started = GetTickCount();
    ConfirmSettings([](HWND dialog) { SetText(dialog, IDC_AUTO_SAVE_TIME, "9"); });
    const DWORD took = GetTickCount() - started;
    CloseHandle(held);
    EXPECT_EQ(ReadOr("Pelorin.ini"), old) << "written through a sharing violation";
    EXPECT_TRUE(StrayFiles().empty());
    EXPECT_LT(took, 5000u) << "the retries held the program too long";

    ConfirmSettings([](HWND dialog) { SetText(dialog, IDC_AUTO_SAVE_TIME, "9"); });
    EXPECT_NE(ReadOr("Pelorin.ini").find("\r\nAutoSaveTime=9\r\n"), std::string::npos)
        << e2e::Visible(ReadOr("Pelorin.ini"));
}

// The save folder goes away while the program runs: saves write nothing and
// do not make it again; once it is back, the next save writes.
TEST_F(HardeningTest, SaveFolderRemovedAfterStartUp) {
    StartFixture("about:vanished");
    StartResident(pelorin_);
    ASSERT_TRUE(RemoveDirectoryA(Path("save").c_str()));
    RunCommand(IDM_SAVE);
    EXPECT_EQ(GetFileAttributesA(Path("save").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(pelorin_.Running());

    ASSERT_TRUE(CreateDirectoryA(Path("save").c_str(), nullptr));
    pelorin_.PostCommand(IDM_SAVE);
    EXPECT_TRUE(e2e::WaitUntil([&] { return SnapshotFiles(directory_).size() == 1; }));
    EXPECT_TRUE(StrayFiles().empty());
}

// Saves killed half-way leave their temporary files behind; the next start
// clears them and leaves the snapshots and every other file alone, also the
// user's own ".tmp" files.
TEST_F(HardeningTest, StartClearsWhatKilledSavesLeftBehind) {
    WriteSnapshot("20261209010203.txt", {"about:kept"});
    const std::string kept = ReadOr("save\\20261209010203.txt");
    ASSERT_TRUE(WriteFileBytes(Path("save\\20261209010204.txt~pelorin.tmp"), "[0]\r\nopt"));
    ASSERT_TRUE(WriteFileBytes(Path("Pelorin.ini~pelorin.tmp"), "[Setting]\r\nAuto"));
    ASSERT_TRUE(WriteFileBytes(Path("save\\notes.tmp"), "mine"));
    ASSERT_TRUE(WriteFileBytes(Path("save\\20261209010205.txt.tmp"), "mine"));
    ASSERT_TRUE(WriteFileBytes(Path("Pelorin.ini.tmp"), "mine"));
    StartResident(pelorin_);
    EXPECT_EQ(StrayFiles(), (std::vector<std::string>{"20261209010205.txt.tmp", "notes.tmp"}));
    EXPECT_EQ(GetFileAttributesA(Path("Pelorin.ini~pelorin.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadOr("Pelorin.ini.tmp"), "mine");
    EXPECT_EQ(ReadOr("save\\20261209010203.txt"), kept);
}

// A read-only save folder. Windows ignores the attribute on folders; Wine
// takes the write permission away, and the save then fails. Either way no
// file is torn and nothing temporary is left, and clearing the attribute lets
// the next save write.
TEST_F(HardeningTest, ReadOnlySaveFolder) {
    StartFixture("about:readonly");
    StartResident(pelorin_);
    ASSERT_TRUE(SetFileAttributesA(Path("save").c_str(), FILE_ATTRIBUTE_READONLY));
    RunCommand(IDM_SAVE);
    const std::vector<std::string> written = SnapshotFiles(directory_);
    for (const std::string& name : written) {
        EXPECT_NE(ReadOr("save\\" + name).find("option=about:readonly\r\n"), std::string::npos);
    }
    EXPECT_TRUE(StrayFiles().empty());
    ASSERT_TRUE(SetFileAttributesA(Path("save").c_str(), FILE_ATTRIBUTE_NORMAL));
    if (written.empty()) {
        pelorin_.PostCommand(IDM_SAVE);
        EXPECT_TRUE(e2e::WaitUntil([&] { return SnapshotFiles(directory_).size() == 1; }));
    }
    std::printf("[ info     ] save into a read-only folder wrote %zu file(s)\n", written.size());
}

// Waits and intervals typed into the dialog beyond every bound: no timer
// fires at once, and a restore takes the default waits instead of hanging.
TEST_F(HardeningTest, AbsurdWaitsAndIntervalsFromTheDialog) {
    for (const char* typed : {"-1", "0", "-2147483648", "99999999999", "4294967296"}) {
        SCOPED_TRACE(typed);
        PelorinProcess copy;
        WriteSnapshot("20050412153012.txt", {"about:absurd"});
        ASSERT_TRUE(copy.Start(directory_));
        ASSERT_TRUE(copy.WaitForFrame());
        ASSERT_TRUE(copy.WaitStarted());
        const HWND dialog = OpenSettings(copy);
        ASSERT_NE(dialog, nullptr);
        SendMessageA(GetDlgItem(dialog, IDC_AUTO_SAVE), BM_SETCHECK, BST_CHECKED, 0);
        for (int id : {IDC_AUTO_SAVE_TIME, IDC_CREATE_WAIT, IDC_RESIZE_WAIT})
            SetText(dialog, id, typed);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }));
        ASSERT_TRUE(copy.WaitResponsive());

        const DWORD started = GetTickCount();
        copy.PostCommand(IDM_RESTORE_NEWEST);
        ASSERT_TRUE(e2e::WaitUntil([] { return e2e::BrowserFrames().size() == 1; }));
        // The restore answers sent messages while it waits; a posted command
        // runs only once it is over.
        const HWND after = OpenSettings(copy);
        ASSERT_NE(after, nullptr) << "the restore hangs";
        EXPECT_LT(GetTickCount() - started, 5000u);
        PostMessageA(after, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(after); }));
        // A storm of 10 ms ticks would print at once; a minute's timer not yet.
        EXPECT_FALSE(e2e::WaitUntil([&] { return !copy.Output().empty(); }, 1000ms))
            << copy.Output();
        copy.PostCommand(IDM_EXIT);
        ASSERT_TRUE(copy.WaitForExit().has_value());
        ASSERT_TRUE(e2e::CloseEveryBrowserFrame());
        DeleteFileA(Path("Pelorin.ini").c_str());
    }
}

}  // namespace
}  // namespace shell_e2e
