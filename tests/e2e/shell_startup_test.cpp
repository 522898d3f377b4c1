// Start and end of the real Pelorin.exe: single instance, save folder and its
// error box, restore at start, exit order, end of session, tray icon.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <thread>

#include "resource.h"
#include "shell_test.h"

namespace shell_e2e {
namespace {

using ShellStartupTest = ShellTest;

// A taskbar that is not ready: a window of the shell's tray class, found by
// Shell_NotifyIcon before the real one, that refuses every request.
class RefusingTaskbar {
public:
    RefusingTaskbar() : thread_([this] { Run(); }) {
        e2e::WaitUntil([this] { return window_.load() != nullptr; });
    }
    ~RefusingTaskbar() { Close(); }
    void Close() {
        if (!thread_.joinable())
            return;
        PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    int Refused() const { return refused_; }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RefusingTaskbar*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            ++self->refused_;
            return FALSE;
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    void Run() {
        WNDCLASSA type = {};
        type.lpfnWndProc = Procedure;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&type);
        const HWND window =
            CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, type.lpszClassName, nullptr, WS_POPUP,
                            0, 0, 0, 0, nullptr, nullptr, type.hInstance, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = window;
        MSG message;
        while (window && GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        UnregisterClassA(type.lpszClassName, type.hInstance);
    }

    std::atomic<HWND> window_{nullptr};
    std::atomic<int> refused_{0};
    std::thread thread_;
};

TEST_F(ShellStartupTest, SecondCopyEndsSilentlyAndLeavesTheFirstAlone) {
    StartResident(pelorin_);
    const HWND firstFrame = pelorin_.Frame();

    PelorinProcess second;
    ASSERT_TRUE(second.Start(directory_));
    const auto code = second.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the second copy did not end";
    EXPECT_EQ(*code, 0u);
    EXPECT_TRUE(WindowsOf(second.pid(), nullptr).empty()) << "the second copy left a window";

    EXPECT_TRUE(pelorin_.Running());
    EXPECT_EQ(pelorin_.Frame(), firstFrame);
    EXPECT_TRUE(pelorin_.WaitResponsive(2000ms));
    EXPECT_TRUE(MutexExists());
    EXPECT_EQ(FindWindowOf(pelorin_.pid(), "#32770", nullptr), nullptr) << "a message box appeared";
}

// A copy in another security context (elevated, say) holds a mutex that this
// one may not open: CreateMutexA gives no handle and ERROR_ACCESS_DENIED. A
// mutex whose DACL grants nothing stands in for it.
TEST_F(ShellStartupTest, MutexOfAnotherSecurityContextCountsAsAFirstCopy) {
    SECURITY_DESCRIPTOR descriptor;
    ACL nobody;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(InitializeAcl(&nobody, sizeof nobody, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &nobody, FALSE));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    const HANDLE held = CreateMutexA(&attributes, TRUE, kMutexName);
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName), nullptr);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ASSERT_TRUE(pelorin_.Start(directory_));
    const auto code = pelorin_.WaitForExit();
    CloseHandle(held);
    ASSERT_TRUE(code.has_value()) << "the copy ran on beside the other one";
    EXPECT_EQ(*code, 0u);
    EXPECT_TRUE(WindowsOf(pelorin_.pid(), nullptr).empty()) << "it left a window";
    EXPECT_EQ(GetFileAttributesA(Path("save").c_str()), INVALID_FILE_ATTRIBUTES)
        << "it went on with its start-up";
}

TEST_F(ShellStartupTest, CreatesTheSaveFolderAndAddsTheIconAtStart) {
    ASSERT_EQ(GetFileAttributesA(Path("save").c_str()), INVALID_FILE_ATTRIBUTES);
    StartResident(pelorin_);
    const DWORD attributes = GetFileAttributesA(Path("save").c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(e2e::WaitUntil(TrayWindowShown)) << "no tray icon";
    EXPECT_FALSE(IsWindowVisible(pelorin_.Frame())) << "the frame must stay hidden";
    RECT frame = {};
    GetWindowRect(pelorin_.Frame(), &frame);
    EXPECT_EQ(frame.right - frame.left, 240);
    EXPECT_EQ(frame.bottom - frame.top, 100);
    // Its class: style 0, no cursor, background or icon.
    EXPECT_EQ(GetClassLongA(pelorin_.Frame(), GCL_STYLE), 0u);
    EXPECT_EQ(GetClassLongPtrA(pelorin_.Frame(), GCLP_HCURSOR), 0u);
    EXPECT_EQ(GetClassLongPtrA(pelorin_.Frame(), GCLP_HBRBACKGROUND), 0u);
    EXPECT_EQ(GetClassLongPtrA(pelorin_.Frame(), GCLP_HICON), 0u);
    EXPECT_EQ(GetWindowLongA(pelorin_.Frame(), GWL_STYLE) & WS_OVERLAPPEDWINDOW,
              static_cast<LONG>(WS_OVERLAPPEDWINDOW));
    // Asked to end before the browsers, which keep the default 0x280.
    PelorinProbe probe(pelorin_.Frame());
    const std::optional<LONG> level = probe.ShutdownLevel(pelorin_.Frame());
    ASSERT_TRUE(level.has_value()) << "pelorin_probe.dll did not answer";
    EXPECT_GE(*level, 0x300);
    EXPECT_LE(*level, 0x3FF);
}

// A file named save blocks the folder: the error box, then a resident
// program on its construction values, which ignored Pelorin.ini.
TEST_F(ShellStartupTest, FileNamedSaveGivesTheErrorBoxThenRunsOnDefaults) {
    ASSERT_TRUE(WriteFileBytes(Path("save"), "not a folder"));
    WriteIni("[Setting]\r\nAutoSave=1\r\nAutoSaveTime=10\r\nCreateWait=1000\r\nSave=1\r\n");
    ASSERT_TRUE(pelorin_.Start(directory_));

    const HWND box = WaitForWindowOf(pelorin_.pid(), "#32770", kErrorCaption);
    ASSERT_NE(box, nullptr) << "no error box captioned エラー";
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), kErrorText);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "the box has one OK button only";
    // The box comes before the message loop: the tray menu cannot be used yet.
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(box); }));
    ASSERT_TRUE(pelorin_.WaitResponsive());
    EXPECT_TRUE(pelorin_.Running());

    const HWND dialog = OpenSettings(pelorin_);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_AUTO_SAVE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_SAVE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_AUTO_SAVE_TIME)), "1");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_CREATE_WAIT)), "300");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_RESIZE_WAIT)), "500");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }));
}

// The error box runs its own message loop while the tray icon already works:
// 終了 chosen then ends the program once the box is dismissed, as it always
// does, and nothing of the frame is used once it is gone.
TEST_F(ShellStartupTest, ExitChosenWhileTheErrorBoxIsUpEndsTheProgram) {
    ASSERT_TRUE(WriteFileBytes(Path("save"), "not a folder"));
    ASSERT_TRUE(pelorin_.Start(directory_));
    const HWND box = WaitForWindowOf(pelorin_.pid(), "#32770", kErrorCaption);
    ASSERT_NE(box, nullptr) << "no error box";
    pelorin_.PostCommand(IDM_EXIT);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(pelorin_.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_FALSE(MutexExists());
    EXPECT_TRUE(WindowsOf(pelorin_.pid(), nullptr).empty());
}

// The restore runs inside the start-up, before the message loop: the first
// command posted runs after it and sees the browser of the newest snapshot
// started and placed. (The restore's waits answer sent messages, which Wine
// already counts as waiting for input, so WaitStarted would come too early.)
TEST_F(ShellStartupTest, RestoreWhenStartRestoresTheNewestSnapshotBeforeTheMenuAnswers) {
    WriteIni("[Setting]\r\nCreateWait=1500\r\nResizeWait=1000\r\nRestoreWhenStart=1\r\n");
    WriteSnapshot("20050101000000.txt", {"about:older"});
    WriteSnapshot("20060101000000.txt", {"about:newest"});
    ASSERT_TRUE(pelorin_.Start(directory_));
    ASSERT_TRUE(pelorin_.WaitForFrame());
    pelorin_.PostCommand(IDM_SAVE);
    ASSERT_TRUE(e2e::WaitUntil([&] { return SnapshotFiles(directory_).size() == 3; }, 20000ms));
    const auto frames = e2e::BrowserFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(TextOf(frames[0]), "Fixture - about:newest");
    const std::string saved = ReadOr("save\\" + SnapshotFiles(directory_).back());
    EXPECT_NE(saved.find("option=about:newest\r\n"), std::string::npos) << e2e::Visible(saved);
    EXPECT_NE(saved.find("w_x=40\r\nw_y=40\r\n"), std::string::npos)
        << "the command posted at start ran before the restore: " << e2e::Visible(saved);
}

TEST_F(ShellStartupTest, ExitRemovesTheIconSavesClosesAndReleasesTheMutex) {
    WriteIni("[Setting]\r\nExitIEWhenExit=1\r\nSave=1\r\n");
    const auto browser = StartFixture("about:exit");
    StartResident(pelorin_);
    ASSERT_TRUE(e2e::WaitUntil(TrayWindowShown));

    pelorin_.PostCommand(IDM_EXIT);
    const auto code = pelorin_.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "Pelorin did not end";
    EXPECT_EQ(*code, 0u);
    const auto files = SnapshotFiles(directory_);
    ASSERT_EQ(files.size(), 1u) << "no snapshot written at exit";
    EXPECT_NE(ReadOr("save\\" + files[0]).find("option=about:exit\r\n"), std::string::npos);
    EXPECT_TRUE(e2e::WaitUntil([] { return e2e::BrowserFrames().empty(); }))
        << "browser not closed";
    EXPECT_TRUE(e2e::WaitUntil([] { return !TrayWindowShown(); })) << "icon not removed";
    EXPECT_FALSE(MutexExists());

    PelorinProcess again;
    StartResident(again);
    EXPECT_TRUE(again.Running());
}

TEST_F(ShellStartupTest, WmCloseFromOutsideEndsTheProgramTheSameWay) {
    WriteIni("[Setting]\r\nSave=1\r\n");
    StartFixture("about:close");
    StartResident(pelorin_);
    PostMessageA(pelorin_.Frame(), WM_CLOSE, 0, 0);
    ASSERT_EQ(pelorin_.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(SnapshotFiles(directory_).size(), 1u);
    EXPECT_EQ(e2e::BrowserFrames().size(), 1u) << "ExitIEWhenExit is off";
    EXPECT_FALSE(MutexExists());
}

// The tray menu runs a message loop of its own. A close request or 終了 that
// arrives while it is open ends the program once the menu has closed, not
// inside it; a right click on the icon meanwhile does not open the menu again.
TEST_F(ShellStartupTest, ExitOrCloseWhileTheTrayMenuIsOpenEndsTheProgramAfterIt) {
    WriteIni("[Setting]\r\nSave=1\r\n");
    StartFixture("about:menu");
    for (const UINT arrives : {UINT(WM_CLOSE), UINT(WM_COMMAND), UINT(WM_NULL)}) {
        SCOPED_TRACE(arrives == WM_CLOSE ? "WM_CLOSE" : arrives == WM_COMMAND ? "終了" : "nothing");
        PelorinProcess copy;
        ASSERT_NO_FATAL_FAILURE(StartResident(copy));
        auto openMenu = [&] {
            const HWND menu = FindWindowOf(copy.pid(), "#32768", nullptr);
            return menu && IsWindowVisible(menu) ? menu : nullptr;
        };
        PostMessageA(copy.Frame(), kTrayCallback, 0, WM_RBUTTONDOWN);
        ASSERT_TRUE(e2e::WaitUntil([&] { return openMenu() != nullptr; })) << "no menu";
        const HWND menu = openMenu();
        PostMessageA(copy.Frame(), arrives, arrives == WM_COMMAND ? IDM_EXIT : 0, 0);
        PostMessageA(copy.Frame(), kTrayCallback, 0, WM_RBUTTONDOWN);
        EXPECT_FALSE(copy.WaitForExit(1000ms).has_value()) << "it ended inside the menu";
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        if (arrives == WM_NULL) {
            ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(menu); }));
            EXPECT_FALSE(e2e::WaitUntil([&] { return openMenu() != nullptr; }, 1000ms))
                << "the click was kept and opened the menu again";
            if (const HWND again = openMenu())
                PostMessageA(again, WM_KEYDOWN, VK_ESCAPE, 0);
            copy.PostCommand(IDM_EXIT);
        }
        EXPECT_EQ(copy.WaitForExit(), std::optional<DWORD>(0)) << "it did not end cleanly";
        EXPECT_FALSE(MutexExists());
    }
    EXPECT_FALSE(SnapshotFiles(directory_).empty()) << "no save at the exit";
}

// At the end of the logon the query saves as an exit would, and then only
// the application's end runs: the mutex goes, the frame and its manager stay,
// so nothing is closed. The Restart Manager's request (ENDSESSION_CLOSEAPP)
// ends the program.
TEST_F(ShellStartupTest, EndSessionSavesAtTheQueryAndClosesNothing) {
    WriteIni("[Setting]\r\nExitIEWhenExit=1\r\nSave=1\r\n");
    StartFixture("about:session");
    StartResident(pelorin_);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(pelorin_.Frame(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG,
                                    5000, &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    ASSERT_TRUE(SendMessageTimeoutA(pelorin_.Frame(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG,
                                    5000, &answer));
    EXPECT_FALSE(MutexExists());
    EXPECT_EQ(SnapshotFiles(directory_).size(), 1u) << "nothing saved at the query";
    EXPECT_EQ(e2e::BrowserFrames().size(), 1u);
    // The system ends the process next; a new logon's copy starts normally.
    pelorin_.Kill();
    PelorinProcess next;
    StartResident(next);
    // The Restart Manager's exit, with a browser closed between its query
    // and its end: the query's snapshot (here one found equal to the last
    // save) stays the newest, and the exit closes none of the user's browsers.
    const auto closed = StartFixture("about:closed");
    auto newest = [&] {
        const auto files = SnapshotFiles(directory_);
        return files.empty() ? std::string() : ReadOr("save\\" + files.back());
    };
    next.PostCommand(IDM_SAVE);
    ASSERT_TRUE(e2e::WaitUntil([&] { return newest().find("about:closed") != std::string::npos; }));
    SendMessageA(next.Frame(), WM_QUERYENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    PostMessageA(closed.hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([] { return e2e::BrowserFrames().size() == 1; }));
    SendMessageA(next.Frame(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_EQ(next.WaitForExit(), std::optional<DWORD>(0)) << "ENDSESSION_CLOSEAPP ended nothing";
    EXPECT_NE(newest().find("about:closed"), std::string::npos)
        << "the exit wrote a smaller snapshot: " << e2e::Visible(newest());
    EXPECT_EQ(e2e::BrowserFrames().size(), 1u) << "the exit closed the user's browser";
}

// Wine's end of the session (wineboot --end-session) takes one process after
// another in the order of their ids: the query and WM_ENDSESSION, both with
// lParam 0, then TerminateProcess. Browsers started after Pelorin still exist
// when Pelorin is asked.
TEST_F(ShellStartupTest, WinebootEndSessionLeavesASnapshotOfTheBrowsers) {
    WriteIni("[Setting]\r\nSave=1\r\n");
    StartResident(pelorin_);
    // Once enough processes have ended, Wine hands out their ids again, so a
    // browser may get an id below Pelorin's. It is left running, holding that
    // id (it is ended before Pelorin is asked), and the address is started
    // once more.
    for (const char* address : {"about:one", "about:two"}) {
        DWORD pid = 0;
        for (int start = 0; start < 32 && pid <= pelorin_.pid(); ++start)
            pid = StartFixture(address).pid;
        ASSERT_GT(pid, pelorin_.pid()) << "it would be ended first";
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION boot = {};
    char command[] = "wineboot.exe --end-session";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &boot));
    CloseHandle(boot.hThread);
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return WaitForSingleObject(boot.hProcess, 0) == 0; }, 30000ms));
    CloseHandle(boot.hProcess);
    EXPECT_TRUE(pelorin_.WaitForExit().has_value()) << "wineboot did not end Pelorin";
    const auto files = SnapshotFiles(directory_);
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadOr("save\\" + files[0]);
    EXPECT_TRUE(text.find("option=about:one\r\n") != text.npos &&
                text.find("option=about:two\r\n") != text.npos)
        << e2e::Visible(text);
}

// The shell rebuilt its notification area: the icon is added again.
TEST_F(ShellStartupTest, IconComesBackAfterTaskbarCreated) {
    StartResident(pelorin_);
    ASSERT_TRUE(e2e::WaitUntil(TrayWindowShown));
    // Lose the icon as a restarted shell would.
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = pelorin_.Frame();
    icon.uID = 0;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_TRUE(e2e::WaitUntil([] { return !TrayWindowShown(); }));

    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    EXPECT_TRUE(e2e::WaitUntil(TrayWindowShown)) << "the icon was not added again";
}

// At logon the taskbar may not take the icon yet; the program tries again.
TEST_F(ShellStartupTest, IconRefusedAtStartIsAddedOnARetry) {
    RefusingTaskbar taskbar;
    StartResident(pelorin_);
    ASSERT_TRUE(e2e::WaitUntil([&] { return taskbar.Refused() > 0; }))
        << "the stand-in was not asked";
    taskbar.Close();
    EXPECT_TRUE(e2e::WaitUntil(TrayWindowShown)) << "the refused icon was not added again";
}

}  // namespace
}  // namespace shell_e2e
