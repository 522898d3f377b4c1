// The one object that does the program's work: save, close all, restore,
// always-on-top, with the eight settings it runs on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "snapshot/browser_capture.h"
#include "snapshot/browser_window.h"
#include "storage/settings_file.h"

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

    // Replaces Windows with the browser frames open now.
    void Capture();
    // Captures and writes a snapshot file unless it equals the last one
    // written; true when a file was written.
    bool SaveSnapshot();
    bool TimedSave();
    // Captures and asks every browser frame to close, without waiting.
    void CloseAll();
    // Starts one browser per record of the snapshot at `path` (empty: the
    // newest), waits, then moves and shows each new frame as recorded.
    // Never changes Windows (except through CloseAll, once the snapshot was
    // read, when asked to). With no snapshot to read, does nothing.
    void Restore(const std::string& path);
    // Makes the first visible window below the main window topmost, or takes
    // the remembered one out of the topmost band; the new Topmost, or 0 when
    // no window was found.
    std::int32_t ToggleTopmost();
    // The id of the browser started with `option`, or 0.
    platform::ProcessId LaunchBrowser(const std::string& option);
    void LoadSettings();
    bool SaveSettings();  // false when the file was not written
    // Saves if Save is set, then closes all if ExitIEWhenExit is set.
    void Shutdown();

    std::int32_t Topmost = 0;
    std::string BrowserPath;
    BrowserWindowList Windows;
    platform::WindowHandle TopmostTarget = nullptr;
    // Set when the user's session is ending: the restore in progress starts
    // no further browser (those already started are still placed). Every
    // restore clears it as it begins.
    bool SessionEnding = false;
};
