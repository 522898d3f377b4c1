#include "shell/tray_frame.h"

#include <commdlg.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "shell/auto_save_interval.h"
#include "shell/framework/application.h"
#include "shell/framework/current_directory.h"
#include "shell/framework/open_file_dialog.h"
#include "shell/resources/resource.h"
#include "shell/setting_dlg.h"
#include "storage/snapshot_files.h"

namespace {

// NOTIFYICONDATAA up to and including dwInfoFlags; the trailing guidItem
// and hBalloonIcon are not passed. In the 32-bit layout that is the
// 488-byte record every shell since version 5 accepts; the 64-bit layout
// pads around its handles, so there the same fields take their own size.
constexpr DWORD kTrayIconSize = offsetof(NOTIFYICONDATAA, guidItem);
static_assert(sizeof(void*) != 4 || kTrayIconSize == 488);
static_assert(kLongestTimerPeriodMs == USER_TIMER_MAXIMUM);

// A taskbar that is still starting (the program runs at logon) or too busy
// to answer in time refuses the icon; it is tried again this often.
constexpr UINT kTrayIconRetryMs = 2000;
constexpr int kTrayIconRetries = 5;

HINSTANCE Instance() {
    fw::Application* app = fw::Application::Current();
    return app ? app->Instance() : GetModuleHandleA(nullptr);
}

// The icon at the small-icon size of the system's DPI (16 pixels at 96 DPI,
// 24 at 144), picked from the sizes the resource holds rather than one image
// stretched: LoadIconA would take the large size and let the shell shrink it.
// LoadIconMetric exists in version 6 of the common controls only (Vista on),
// which the manifest selects, so it is looked up at run time.
HICON LoadSmallIcon(int id) {
    using LoadIconMetricCall = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    constexpr int kSmall = 0;  // LIM_SMALL
    HICON icon = nullptr;
    // Kept loaded: the settings dialog's controls come from the same DLL.
    if (const HMODULE comctl32 = LoadLibraryA("comctl32.dll")) {
        // Through the generic function type, which GCC accepts without warning.
        if (const FARPROC found = GetProcAddress(comctl32, "LoadIconMetric")) {
            const auto load =
                reinterpret_cast<LoadIconMetricCall>(reinterpret_cast<void (*)()>(found));
            if (FAILED(load(Instance(), MAKEINTRESOURCEW(id), kSmall, &icon)))
                icon = nullptr;
        }
    }
    if (!icon) {
        icon = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
    }
    return icon;
}

// The first visible window of the thread that `owner` owns.
struct PopupSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindShownPopup(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<PopupSearch*>(context);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

std::string LoadText(UINT id) {
    char text[128] = {};
    LoadStringA(Instance(), id, text, sizeof text);
    return text;
}

}  // namespace

CTrayFrame::CTrayFrame(const char* className) : TrayIcon{}, ownFolder_(fw::CurrentDirectory()) {
    taskbarCreatedMessage_ = RegisterWindowMessageA("TaskbarCreated");
    Create(className, LoadText(IDS_FRAME_TITLE).c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
           CW_USEDEFAULT, 240, 100);
}

CTrayFrame::~CTrayFrame() {
    // The window is gone; nothing may reach it through the seam while the
    // manager's shutdown runs.
    platform::SetMainWindow(nullptr);
}

LRESULT CTrayFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (commandRunning_ && StartsCommand(message, wParam)) {
        if (message == kTrayCallbackMessage && dialogUp_)
            return OnTrayNotifyInDialog(lParam);
        // Kept, it would open the menu again as soon as it closed.
        if (message == kTrayCallbackMessage && menuUp_)
            return 0;
        Defer(message, wParam, lParam);
        return 0;
    }
    if (message == kTrayCallbackMessage)
        return OnTrayNotify(lParam);
    if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
        OnTaskbarCreated();
        return 0;
    }
    return fw::FrameWindow::WindowProc(message, wParam, lParam);
}

int CTrayFrame::OnCreate(const CREATESTRUCTA& create) {
    if (fw::FrameWindow::OnCreate(create) == -1)
        return -1;
    TrayIcon.cbSize = kTrayIconSize;
    TrayIcon.hWnd = hwnd();
    TrayIcon.uID = 0;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = kTrayCallbackMessage;
    TrayIcon.hIcon = LoadSmallIcon(IDI_TRAY);
    lstrcpynA(TrayIcon.szTip, LoadText(IDS_TRAY_TIP).c_str(), sizeof TrayIcon.szTip);
    AllowTaskbarCreated();
    AddTrayIcon();
    return 0;
}

void CTrayFrame::OnDestroy() {
    fw::FrameWindow::OnDestroy();
    RemoveTrayIcon();
    // Loaded at its size, the icon is this program's own, not a shared one.
    if (TrayIcon.hIcon)
        DestroyIcon(TrayIcon.hIcon);
    TrayIcon.hIcon = nullptr;
    StopAutoSaveTimer();
}

bool CTrayFrame::StartsCommand(UINT message, WPARAM wParam) const {
    switch (message) {
        case WM_COMMAND:
        case WM_CLOSE:
        case kTrayCallbackMessage:
            return true;
        case WM_TIMER:
            return wParam == kAutoSaveTimerId;
    }
    return false;
}

template <typename Work>
void CTrayFrame::RunCommand(Work&& work) {
    // Also when `work` throws: a flag left set would hold back every command.
    struct Running {
        CTrayFrame& frame;
        explicit Running(CTrayFrame& running) : frame(running) { frame.commandRunning_ = true; }
        ~Running() {
            frame.commandRunning_ = false;
            frame.dialogUp_ = false;
            frame.menuUp_ = false;
            frame.restoring_ = false;
            std::vector<MSG> deferred;
            deferred.swap(frame.deferred_);
            for (const MSG& message : deferred)
                PostMessageA(frame.hwnd(), message.message, message.wParam, message.lParam);
        }
    } running(*this);
    work();
}

void CTrayFrame::Defer(UINT message, WPARAM wParam, LPARAM lParam) {
    // A dialog left open for an hour would otherwise be followed by sixty
    // timed saves in a row: the ticks it held are one save afterwards.
    if (message == WM_TIMER) {
        for (const MSG& kept : deferred_) {
            if (kept.message == WM_TIMER && kept.wParam == wParam)
                return;
        }
    }
    // A timer's lParam would be called as its procedure when the posted copy
    // is dispatched; the auto-save timer has none.
    deferred_.push_back(MSG{hwnd(), message, wParam, message == WM_TIMER ? 0 : lParam, 0, {}});
}

// OK has stopped the timer or made it count afresh: a tick it held from
// before would save at once, or after auto-save was turned off.
void CTrayFrame::DropHeldTicks() {
    std::vector<MSG> kept;
    for (const MSG& message : deferred_) {
        if (message.message != WM_TIMER || message.wParam != kAutoSaveTimerId)
            kept.push_back(message);
    }
    deferred_.swap(kept);
}

void CTrayFrame::StartManager() {
    RunCommand([this] {
        restoring_ = true;
        Manager.Startup();
    });
}

void CTrayFrame::OnTimer(UINT_PTR timerId) {
    if (timerId == kTrayIconTimerId) {
        OnTrayIconRetry();
        return;
    }
    // A tick posted again after the timer was stopped, or queued before.
    if (timerId != kAutoSaveTimerId || TimerId == 0)
        return;
    // A diagnostic line nobody reads; flushed so that a redirected output
    // shows each tick as it happens.
    std::fputs("Now Saving\n", stdout);
    std::fflush(stdout);
    RunCommand([this] { Manager.TimedSave(); });
}

bool CTrayFrame::OnCommand(UINT id) {
    switch (id) {
        case IDM_EXIT:
            OnExit();
            return true;
        case IDM_SAVE:
            OnSave();
            return true;
        case IDM_RESTORE_NEWEST:
            OnRestoreNewest();
            return true;
        case IDM_CLOSE_ALL:
            OnCloseAll();
            return true;
        case IDM_SAVE_AND_CLOSE_ALL:
            OnSaveAndCloseAll();
            return true;
        case IDM_SETTINGS:
            OnSettings();
            return true;
        case IDM_RESTORE_FROM_FILE:
            OnRestoreFromFile();
            return true;
        case IDM_TOPMOST:
            OnTopmost();
            return true;
    }
    return false;
}

LRESULT CTrayFrame::OnTrayNotify(LPARAM mouseEvent) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (mouseEvent != WM_RBUTTONDOWN)
        return 0;
    // The menu's own loop dispatches what is posted to the frame: an exit or
    // close request run there would delete this object under the code after
    // TrackPopupMenu. The chosen item's command comes after the call returns.
    RunCommand([this, cursor] {
        // Without the foreground the menu would not close when the user
        // clicks elsewhere; the WM_NULL after it makes the next tray click
        // work at once.
        SetForegroundWindow(hwnd());
        SetFocus(hwnd());
        HMENU menu = LoadMenuA(Instance(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
        HMENU popup = GetSubMenu(menu, 0);
        CheckMenuItem(popup, IDM_TOPMOST,
                      MF_BYCOMMAND | (Manager.Topmost ? MF_CHECKED : MF_UNCHECKED));
        menuUp_ = true;
        TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, cursor.x, cursor.y, 0,
                       hwnd(), nullptr);
        menuUp_ = false;
        PostMessageA(hwnd(), WM_NULL, 0, 0);
        DestroyMenu(menu);
    });
    return 0;
}

// The click that would open the menu brings the dialog that is up to the
// front instead, where the user may have lost it behind other windows.
LRESULT CTrayFrame::OnTrayNotifyInDialog(LPARAM mouseEvent) {
    if (mouseEvent != WM_RBUTTONDOWN)
        return 0;
    // The dialog is found among this thread's windows as the frame's visible
    // popup: the frame's last active popup is the frame itself while the
    // dialog has never been active (it opened as another program took the
    // foreground). Within the dialog, whatever it shows in front of itself,
    // such as a message box.
    PopupSearch search{hwnd(), nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindShownPopup, reinterpret_cast<LPARAM>(&search));
    if (search.found)
        SetForegroundWindow(GetLastActivePopup(search.found));
    return 0;
}

// Answered with consent, always, and soon: a program without a visible
// window that takes more than five seconds is ended by the system. The save
// an exit would make is made now, while every browser window still exists,
// in the program's own folder whatever the open-file dialog did to the
// current directory. Not during a restore: its half-opened windows would
// become the newest snapshot in place of the one being restored.
bool CTrayFrame::OnQueryEndSession(LPARAM) {
    Manager.SessionEnding = true;
    sessionSaved_ = false;
    try {
        if (Manager.Save != 0 && !restoring_) {
            const fw::CurrentDirectoryScope inOwnFolder(ownFolder_);
            Manager.SaveSnapshot();
            // Also when the windows were those of the last snapshot, which
            // the save then did not write again.
            sessionSaved_ = !SnapshotChanged(Manager.Windows);
        }
    } catch (...) {
        // A save that could not be made must not keep the session from ending.
    }
    return true;
}

// ENDSESSION_CLOSEAPP: the Restart Manager asks the program to go (an
// installer wants its file, say); posted, so that a command or dialog in
// progress ends first. No restart is registered: a copy the system started
// again would not run in the folder the user started this one in, where its
// files are. A session that goes on after all forgets the query's save.
void CTrayFrame::OnEndSession(bool ending, LPARAM reasons) {
    if (!ending) {
        Manager.SessionEnding = false;
        sessionSaved_ = false;
        return;
    }
    if ((reasons & ENDSESSION_CLOSEAPP) != 0) {
        closingForTheSystem_ = true;
        PostMessageA(hwnd(), WM_COMMAND, IDM_EXIT, 0);
        return;
    }
    fw::FrameWindow::OnEndSession(ending, reasons);
}

void CTrayFrame::OnTaskbarCreated() {
    AddTrayIcon();
}

// Without an icon the program can neither be used nor ended, and its mutex
// keeps the user from starting another copy: an add the taskbar refuses is
// tried again a few times on a timer of its own.
void CTrayFrame::AddTrayIcon() {
    if (Shell_NotifyIconA(NIM_ADD, &TrayIcon)) {
        trayIconRetriesLeft_ = 0;
        KillTimer(hwnd(), kTrayIconTimerId);
        return;
    }
    trayIconRetriesLeft_ = kTrayIconRetries;
    SetTimer(hwnd(), kTrayIconTimerId, kTrayIconRetryMs, nullptr);
}

// An add that timed out may still have reached the taskbar, and a second add
// of the same icon fails: when the icon can be modified, it is there.
void CTrayFrame::OnTrayIconRetry() {
    const bool shown =
        Shell_NotifyIconA(NIM_MODIFY, &TrayIcon) || Shell_NotifyIconA(NIM_ADD, &TrayIcon);
    if (shown || --trayIconRetriesLeft_ <= 0) {
        trayIconRetriesLeft_ = 0;
        KillTimer(hwnd(), kTrayIconTimerId);
    }
}

// An elevated program gets no message from a less privileged process unless
// it lets it through, and the shell that broadcasts TaskbarCreated is one.
// The per-window filter exists from Windows 7 on, the process-wide one from
// Vista; older systems have neither and need neither, so both are looked up
// at run time.
void CTrayFrame::AllowTaskbarCreated() {
    if (taskbarCreatedMessage_ == 0)
        return;
    using WindowFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using ProcessFilter = BOOL(WINAPI*)(UINT, DWORD);
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the older call
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32)
        return;
    // Through the generic function type, which GCC accepts without warning.
    if (const FARPROC found = GetProcAddress(user32, "ChangeWindowMessageFilterEx")) {
        reinterpret_cast<WindowFilter>(reinterpret_cast<void (*)()>(found))(
            hwnd(), taskbarCreatedMessage_, kAllow, nullptr);
    } else if (const FARPROC older = GetProcAddress(user32, "ChangeWindowMessageFilter")) {
        reinterpret_cast<ProcessFilter>(reinterpret_cast<void (*)()>(older))(taskbarCreatedMessage_,
                                                                             kAllow);
    }
}

// Destroying the window ends the program: the framework deletes this object
// inside DestroyWindow, so nothing may follow it here.
void CTrayFrame::OnExit() {
    // The system, not the user, ends the program: the user's browsers stay
    // open, and the snapshot the query made stays the newest (browsers
    // closed since would leave a smaller one in its place).
    if (closingForTheSystem_) {
        Manager.ExitIEWhenExit = 0;
        if (sessionSaved_)
            Manager.Save = 0;
    }
    RemoveTrayIcon();
    StopAutoSaveTimer();
    DestroyWindow(hwnd());
}

void CTrayFrame::OnSave() {
    RunCommand([this] { Manager.SaveSnapshot(); });
}

void CTrayFrame::OnRestoreNewest() {
    RunCommand([this] {
        restoring_ = true;
        Manager.Restore(std::string());
    });
}

void CTrayFrame::OnRestoreFromFile() {
    RunCommand([this] {
        // OFN_NOCHANGEDIR: the save folder and Pelorin.ini are found against
        // the current directory, which browsing must not move (the dialog
        // call puts it back as well). OFN_FILEMUSTEXIST: a mistyped name must
        // not reach the restore, which may close every browser before finding
        // nothing to open.
        std::string path;
        dialogUp_ = true;
        const bool chosen = fw::ShowOpenFileDialog(
            hwnd(), "txt",
            OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST, path);
        dialogUp_ = false;
        if (!chosen)
            return;
        restoring_ = true;
        Manager.Restore(path);
    });
}

void CTrayFrame::OnCloseAll() {
    RunCommand([this] { Manager.CloseAll(); });
}

void CTrayFrame::OnSaveAndCloseAll() {
    RunCommand([this] {
        Manager.SaveSnapshot();
        Manager.CloseAll();
    });
}

void CTrayFrame::OnTopmost() {
    RunCommand([this] { Manager.ToggleTopmost(); });
}

void CTrayFrame::OnSettings() {
    RunCommand([this] {
        CSettingDlg dialog(hwnd());
        // Both hold the eight settings as their Settings base; the dialog
        // gets copies and hands them back, unchecked, only on OK.
        static_cast<Settings&>(dialog) = Manager;
        dialogUp_ = true;
        const INT_PTR ended = dialog.DoModal();
        dialogUp_ = false;
        if (ended != IDOK)
            return;
        static_cast<Settings&>(Manager) = dialog;
        Manager.SaveSettings();
        DropHeldTicks();
        if (Manager.AutoSave == 1) {
            ArmAutoSaveTimer();
        } else {
            StopAutoSaveTimer();
        }
    });
}

void CTrayFrame::ArmAutoSaveTimer() {
    TimerId = SetTimer(hwnd(), kAutoSaveTimerId, AutoSaveIntervalMs(Manager.AutoSaveTime), nullptr);
}

void CTrayFrame::StopAutoSaveTimer() {
    if (TimerId != 0)
        KillTimer(hwnd(), TimerId);
    TimerId = 0;
}

// Removing twice (exit command, then WM_DESTROY) is harmless: the second
// call finds no icon. A removed icon is not tried again.
void CTrayFrame::RemoveTrayIcon() {
    trayIconRetriesLeft_ = 0;
    KillTimer(hwnd(), kTrayIconTimerId);
    Shell_NotifyIconA(NIM_DELETE, &TrayIcon);
}
