// The settings dialog of the real program: what it shows, what OK writes and
// applies, what Cancel leaves alone.
#include <gtest/gtest.h>

#include "resource.h"
#include "shell_test.h"

namespace shell_e2e {
namespace {

class ShellSettingsTest : public ShellTest {
protected:
    static LRESULT Check(HWND dialog, int id) {
        return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0);
    }
    static void SetText(HWND dialog, int id, const char* text) {
        SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    static void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    void Close(HWND dialog, int button) {
        PostMessageA(dialog, WM_COMMAND, button, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }));
        ASSERT_TRUE(pelorin_.WaitResponsive());
    }
};

constexpr int kChecks[] = {IDC_EXIT_IE_WHEN_RESTORE, IDC_AUTO_SAVE, IDC_SAVE, IDC_EXIT_IE_WHEN_EXIT,
                           IDC_RESTORE_WHEN_START};

TEST_F(ShellSettingsTest, ShowsTheLoadedValues) {
    WriteIni("[Setting]\r\nAutoSave=1\r\nAutoSaveTime=10\r\nCreateWait=300\r\nResizeWait=500\r\n");
    StartResident(pelorin_);
    const HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned Pelorin 設定";
    EXPECT_EQ(Check(dialog, IDC_AUTO_SAVE), BST_CHECKED);
    for (int id :
         {IDC_EXIT_IE_WHEN_RESTORE, IDC_SAVE, IDC_EXIT_IE_WHEN_EXIT, IDC_RESTORE_WHEN_START}) {
        EXPECT_EQ(Check(dialog, id), BST_UNCHECKED) << "box " << id;
    }
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_AUTO_SAVE_TIME)), "10");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_CREATE_WAIT)), "300");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_RESIZE_WAIT)), "500");
    RECT area = {};
    GetWindowRect(dialog, &area);
    InflateRect(&area, 16, 16);
    EXPECT_TRUE(TakeScreenshot("settings-dialog.png", area));
    Close(dialog, IDCANCEL);
}

TEST_F(ShellSettingsTest, ShowsEveryFlagTicked) {
    WriteIni(
        "[Setting]\r\nAutoSave=1\r\nExitIEWhenExit=1\r\nExitIEWhenRestore=1\r\nRestoreWhenStart="
        "1\r\nSave=1\r\n");
    StartResident(pelorin_);
    const HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    for (int id : kChecks)
        EXPECT_EQ(Check(dialog, id), BST_CHECKED) << "box " << id;
    Close(dialog, IDCANCEL);
}

// OK writes the nine lines in byte order, with the numbers as typed (no
// range check), and the values take effect at once: Save and ExitIEWhenExit
// act at the exit that follows.
TEST_F(ShellSettingsTest, OkWritesTheFileByteForByteAndAppliesTheValues) {
    StartFixture("about:applied");
    StartResident(pelorin_);
    const HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_SAVE);
    Click(dialog, IDC_EXIT_IE_WHEN_EXIT);
    SetText(dialog, IDC_AUTO_SAVE_TIME, "0");
    SetText(dialog, IDC_CREATE_WAIT, "50");
    SetText(dialog, IDC_RESIZE_WAIT, "99999999999");  // beyond 32 bits: saturates
    Close(dialog, IDOK);
    EXPECT_EQ(ReadOr("Pelorin.ini"),
              "[Setting]\r\nAutoSave=0\r\nAutoSaveTime=0\r\nCreateWait=50\r\nExitIEWhenExit=1\r\n"
              "ExitIEWhenRestore=0\r\nResizeWait=2147483647\r\nRestoreWhenStart=0\r\nSave=1\r\n");

    pelorin_.PostCommand(IDM_EXIT);
    ASSERT_EQ(pelorin_.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(SnapshotFiles(directory_).size(), 1u) << "Save was not applied";
    EXPECT_TRUE(e2e::WaitUntil([] { return e2e::BrowserFrames().empty(); }))
        << "ExitIEWhenExit was not applied";
}

TEST_F(ShellSettingsTest, OkWithDefaultsWritesTheDefaultFile) {
    StartResident(pelorin_);
    const HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    Close(dialog, IDOK);
    EXPECT_EQ(ReadOr("Pelorin.ini"),
              "[Setting]\r\nAutoSave=0\r\nAutoSaveTime=1\r\nCreateWait=300\r\nExitIEWhenExit=0\r\n"
              "ExitIEWhenRestore=0\r\nResizeWait=500\r\nRestoreWhenStart=0\r\nSave=0\r\n");
}

// Cancel writes nothing and changes nothing: the next opening shows the old
// values.
TEST_F(ShellSettingsTest, CancelWritesNothing) {
    StartResident(pelorin_);
    HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_AUTO_SAVE);
    Click(dialog, IDC_SAVE);
    SetText(dialog, IDC_AUTO_SAVE_TIME, "25");
    Close(dialog, IDCANCEL);
    EXPECT_EQ(ReadOr("Pelorin.ini"), "<missing>");
    dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Check(dialog, IDC_AUTO_SAVE), BST_UNCHECKED);
    EXPECT_EQ(Check(dialog, IDC_SAVE), BST_UNCHECKED);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_AUTO_SAVE_TIME)), "1");
    Close(dialog, IDCANCEL);
    EXPECT_EQ(ReadOr("Pelorin.ini"), "<missing>");
}

// Enter in an edit box is the default button: OK.
TEST_F(ShellSettingsTest, EnterInAnEditBoxActsAsOk) {
    StartResident(pelorin_);
    const HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    const HWND minutes = GetDlgItem(dialog, IDC_AUTO_SAVE_TIME);
    SetText(dialog, IDC_AUTO_SAVE_TIME, "15");
    PostMessageA(minutes, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(minutes, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }))
        << "Enter did not close the dialog";
    ASSERT_TRUE(pelorin_.WaitResponsive());
    EXPECT_NE(ReadOr("Pelorin.ini").find("\r\nAutoSaveTime=15\r\n"), std::string::npos);
}

// The start-up arms timer 1 only when AutoSave is 1 (a value the load keeps).
TEST_F(ShellSettingsTest, AutoSaveAtStartArmsTheTimerOnlyWhenOn) {
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on ? "AutoSave=1" : "AutoSave=0");
        WriteIni(std::string("[Setting]\r\nAutoSaveTime=1\r\nAutoSave=") + (on ? "1" : "0") +
                 "\r\n");
        PelorinProcess copy;
        StartResident(copy);
        {
            PelorinProbe probe(copy.Frame());
            ASSERT_TRUE(probe.Ready()) << "pelorin_probe.dll not hooked into Pelorin";
            EXPECT_EQ(probe.StopTimer(copy.Frame(), 1), std::optional<bool>(on));
        }
        copy.PostCommand(IDM_EXIT);
        ASSERT_EQ(copy.WaitForExit(), std::optional<DWORD>(0));
    }
}

// OK with AutoSave arms the timer (a zero period would tick every 10 ms and
// flood the folder: one minute is used instead).
TEST_F(ShellSettingsTest, OkWithAZeroIntervalDoesNotFloodTheSaveFolder) {
    StartFixture("about:flood");
    StartResident(pelorin_);
    HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_AUTO_SAVE);
    SetText(dialog, IDC_AUTO_SAVE_TIME, "0");
    Close(dialog, IDOK);
    // A 10 ms timer would tick within this deadline; a minute's does not.
    EXPECT_FALSE(e2e::WaitUntil([&] { return !pelorin_.Output().empty(); }, 1500ms))
        << "the timer fired at once";
    EXPECT_TRUE(SnapshotFiles(directory_).empty());
}

// A tick of the auto-save timer that arrives while a dialog is up waits for
// it. After Cancel, or after the open-file dialog, it saves once; after OK,
// which stops the timer or makes it count afresh, it is dropped. A tick of a
// timer that is not armed saves nothing.
TEST_F(ShellSettingsTest, TickHeldByADialogSavesAfterItUnlessOkRestartedTheTimer) {
    struct Case {
        const char* what;
        const char* autoSave;
        UINT command;  // 0: no dialog
        int button;
        bool untick;
        bool saves;
    };
    const Case cases[] = {
        {"設定, Cancel", "1", IDM_SETTINGS, IDCANCEL, false, true},
        {"設定, OK", "1", IDM_SETTINGS, IDOK, false, false},
        {"設定, auto-save unticked, OK", "1", IDM_SETTINGS, IDOK, true, false},
        {"ファイルから, Cancel", "1", IDM_RESTORE_FROM_FILE, IDCANCEL, false, true},
        {"no dialog, auto-save off", "0", 0, 0, false, false},
    };
    StartFixture("about:held");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteIni(std::string("[Setting]\r\nAutoSaveTime=1\r\nAutoSave=") + c.autoSave + "\r\n");
        PelorinProcess copy;
        ASSERT_NO_FATAL_FAILURE(StartResident(copy));
        HWND dialog = nullptr;
        if (c.command != 0) {
            copy.PostCommand(c.command);
            dialog = WaitForShownWindowOf(copy.pid(), "#32770", nullptr);
            ASSERT_NE(dialog, nullptr);
        }
        PostMessageA(copy.Frame(), WM_TIMER, 1, 0);
        if (dialog) {
            if (c.untick)
                Click(dialog, IDC_AUTO_SAVE);
            PostMessageA(dialog, WM_COMMAND, c.button, 0);
            ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }));
        }
        // Posted after whatever the dialog held, so shown once that has run.
        const HWND after = OpenSettings(copy);
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(copy.Output(), c.saves ? "Now Saving\r\nFixture - about:held\r\n" : "");
        PostMessageA(after, WM_COMMAND, IDCANCEL, 0);
        copy.PostCommand(IDM_EXIT);
        ASSERT_EQ(copy.WaitForExit(), std::optional<DWORD>(0));
    }
}

}  // namespace
}  // namespace shell_e2e

namespace shell_e2e {
namespace {

// Slow: the one-minute timer armed at start fires after a minute and saves;
// Cancel leaves its count alone and OK, even with AutoSave unchanged, starts
// it afresh.
TEST_F(ShellSettingsTest, SlowCancelKeepsTheCountAndOkStartsItAfresh) {
    WriteIni("[Setting]\r\nAutoSave=1\r\nAutoSaveTime=1\r\n");
    StartFixture("about:count");
    StartResident(pelorin_);
    const DWORD started = GetTickCount();  // the timer was armed just before
    const std::string oneTick = "Now Saving\r\nFixture - about:count\r\n";
    auto ticks = [&] { return pelorin_.Output().size() / oneTick.size(); };

    // Cancel 25 s in: the tick still comes a minute after the start, not
    // a minute after the Cancel.
    EXPECT_FALSE(e2e::WaitUntil([&] { return ticks() > 0; }, 25000ms)) << "an early tick";
    HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    Close(dialog, IDCANCEL);
    ASSERT_TRUE(e2e::WaitUntil([&] { return ticks() == 1; },
                               75000ms - std::chrono::milliseconds(GetTickCount() - started)))
        << "Cancel started the count afresh";
    const DWORD ticked = GetTickCount();
    // The timer armed at start from the file: a minute, not less, and a save.
    EXPECT_GE(ticked - started, 55000u) << "the timer fired too early";
    EXPECT_TRUE(e2e::WaitUntil([&] { return SnapshotFiles(directory_).size() == 1; }));

    // OK 25 s after that tick: the next one comes a minute after the OK, not
    // a minute after the tick.
    EXPECT_FALSE(e2e::WaitUntil([&] { return ticks() > 1; }, 25000ms)) << "an early tick";
    dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Check(dialog, IDC_AUTO_SAVE), BST_CHECKED);
    Close(dialog, IDOK);
    const DWORD confirmed = GetTickCount();
    EXPECT_FALSE(e2e::WaitUntil([&] { return ticks() > 1; }, 50000ms))
        << "OK kept the old count: a tick " << (GetTickCount() - ticked) << " ms after the last";
    EXPECT_TRUE(e2e::WaitUntil([&] { return ticks() == 2; }, 25000ms)) << "no tick after OK";
    EXPECT_GE(GetTickCount() - confirmed, 55000u);
}

// Slow: OK with AutoSave arms the one-minute timer; OK without it stops it.
TEST_F(ShellSettingsTest, SlowOkArmsTheTimerAndOkWithoutAutoSaveStopsIt) {
    StartFixture("about:rearm");
    StartResident(pelorin_);
    HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_AUTO_SAVE);
    Close(dialog, IDOK);
    const DWORD armed = GetTickCount();
    // One whole tick: its line and the capture's line for the one browser.
    const std::string oneTick = "Now Saving\r\nFixture - about:rearm\r\n";
    ASSERT_TRUE(e2e::WaitUntil([&] { return pelorin_.Output() == oneTick; }, 75000ms))
        << "no tick after OK: " << pelorin_.Output();
    EXPECT_GE(GetTickCount() - armed, 55000u) << "the timer fired too early";

    dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Check(dialog, IDC_AUTO_SAVE), BST_CHECKED);
    Click(dialog, IDC_AUTO_SAVE);
    Close(dialog, IDOK);
    EXPECT_FALSE(e2e::WaitUntil([&] { return pelorin_.Output() != oneTick; }, 70000ms))
        << "a tick came after auto-save was switched off";
}

}  // namespace
}  // namespace shell_e2e
