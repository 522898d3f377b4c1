// The hidden main window: owns the tray icon, the tray menu and its
// commands, the auto-save timer and the one snapshot manager.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "shell/framework/frame_window.h"
#include "snapshot/snapshot_manager.h"

class CTrayFrame : public fw::FrameWindow {
public:
    // Constructs the manager, then creates the hidden window, which adds the
    // tray icon while it is being created. hwnd() is null when that failed.
    explicit CTrayFrame(const char* className);
    ~CTrayFrame() override;

    // Arms timer 1 with AutoSaveTime minutes (one minute when that is no
    // usable period); an armed timer restarts its count.
    void ArmAutoSaveTimer();
    void StopAutoSaveTimer();

    // The manager's start-up, which may restore, run as a command is.
    void StartManager();

    // The record given to Shell_NotifyIconA; only the fields up to
    // dwInfoFlags are passed (488 bytes in the 32-bit build), as the oldest
    // shells accept.
    NOTIFYICONDATAA TrayIcon;
    UINT_PTR TimerId = 0;
    CSnapshotManager Manager;

    static constexpr UINT kTrayCallbackMessage = WM_USER + 100;
    static constexpr UINT_PTR kAutoSaveTimerId = 1;
    // Retries an icon that the taskbar did not take.
    static constexpr UINT_PTR kTrayIconTimerId = 2;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(const CREATESTRUCTA& create) override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR timerId) override;
    bool OnCommand(UINT id) override;
    bool OnQueryEndSession(LPARAM reasons) override;
    void OnEndSession(bool ending, LPARAM reasons) override;

private:
    LRESULT OnTrayNotify(LPARAM mouseEvent);
    LRESULT OnTrayNotifyInDialog(LPARAM mouseEvent);
    void OnTaskbarCreated();
    void OnTrayIconRetry();
    void AddTrayIcon();
    void AllowTaskbarCreated();
    void OnExit();
    void OnSave();
    void OnRestoreNewest();
    void OnRestoreFromFile();
    void OnCloseAll();
    void OnSaveAndCloseAll();
    void OnTopmost();
    void OnSettings();
    void RemoveTrayIcon();

    // Runs `work`, an operation of the manager or one of the program's modal
    // dialogs, as a command. Some of its calls answer messages that other
    // threads send (the restore's waits, moving or reading another program's
    // window), and a dialog's own message loop dispatches posted ones too; a
    // command, auto-save tick, tray click or close request among them is
    // kept and posted again once `work` is over, so that no command ever
    // runs inside another. A tray click while a dialog is up is not kept: it
    // brings the dialog to the front instead; one while the tray menu is open
    // is dropped.
    template <typename Work>
    void RunCommand(Work&& work);
    bool StartsCommand(UINT message, WPARAM wParam) const;
    void Defer(UINT message, WPARAM wParam, LPARAM lParam);
    void DropHeldTicks();

    // Sent by the shell to every top-level window when the notification
    // area has been rebuilt (explorer restarted): icons must be added again.
    UINT taskbarCreatedMessage_ = 0;
    // Adds of the icon still to try on kTrayIconTimerId.
    int trayIconRetriesLeft_ = 0;
    bool commandRunning_ = false;
    bool dialogUp_ = false;
    bool menuUp_ = false;
    bool restoring_ = false;
    std::vector<MSG> deferred_;
    // The last end-of-session query wrote the snapshot, or found it written.
    bool sessionSaved_ = false;
    // The exit under way is the one the system asked for.
    bool closingForTheSystem_ = false;
    // The current directory at start, where the save folder is: the
    // open-file dialog may have moved it when the session ends.
    std::wstring ownFolder_;
};
