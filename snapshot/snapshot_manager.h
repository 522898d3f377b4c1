// The one object that does the program's work: save, close all, restore,
// always-on-top, with the eight settings it runs on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "snapshot/browser_window.h"
#include "storage/settings_file.h"

// Appends one record per top-level "IEFrame" window, in enumeration order.
void CaptureBrowserWindows(BrowserWindowList& list);
// The frame's address-bar text through WorkerW > ReBarWindow32 > ComboBoxEx32.
std::string GetAddressBarText(platform::WindowHandle frame);

// The settings are public members named after their keys (the base class).
class CSnapshotManager : public Settings {
public:
    CSnapshotManager();
    ~CSnapshotManager();  // runs Shutdown
    CSnapshotManager(const CSnapshotManager&) = delete;
    CSnapshotManager& operator=(const CSnapshotManager&) = delete;

    // Makes sure of the save folder (else shows the error box and returns
    // false), loads the settings, restores the newest snapshot when asked.
    bool Startup();

    void Capture();
    bool SaveSnapshot();
    bool TimedSave();
    void CloseAll();
    void Restore(const std::string& path);  // empty path: the newest snapshot
    std::int32_t ToggleTopmost();
    platform::ProcessId LaunchBrowser(const std::string& option);
    void LoadSettings();
    bool SaveSettings();
    void Shutdown();

    std::int32_t Topmost = 0;
    std::string BrowserPath;
    BrowserWindowList Windows;
    platform::WindowHandle TopmostTarget = nullptr;
};
