// Test-side helpers for driving the real Pelorin.exe under Wine: start a copy
// in its own current folder with its standard output in a file, find its
// hidden frame by class and title, post commands, find its dialogs, watch
// files, and take screenshots.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace shell_e2e {

using namespace std::chrono_literals;

// Set by the test program's main from its command line.
struct ShellPrograms {
    std::string pelorin;      // Pelorin.exe, as a Windows path
    std::string screenshots;  // folder for the PNGs; empty: take none
};
const ShellPrograms& Shell();
void SetShell(const ShellPrograms& programs);

// The frame's class is made up by the framework from the attributes it is
// registered with (style 0, no cursor, brush or icon).
inline constexpr char kFrameClass[] = "Pelorin:0:0:0:0";
inline constexpr char kFrameTitle[] = "Pelorin";
inline constexpr UINT kTrayCallback = WM_USER + 100;
inline constexpr char kMutexName[] = "PelorinMutex";
// Texts in code page 932, as the program's ANSI calls see them.
inline constexpr char kErrorCaption[] = "\x83\x47\x83\x89\x81\x5b";  // エラー
inline constexpr char kErrorText[] =  // "save" フォルダが作成できません
    "\"save\" \x83\x74\x83\x48\x83\x8b\x83\x5f\x82\xaa\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc"
    "\x82\xb9\x82\xf1";
inline constexpr char kSettingsCaption[] = "Pelorin \x90\xdd\x92\xe8";  // Pelorin 設定

// One started copy of Pelorin.exe. The destructor ends it if it still runs.
class PelorinProcess {
public:
    PelorinProcess() = default;
    ~PelorinProcess();
    PelorinProcess(const PelorinProcess&) = delete;
    PelorinProcess& operator=(const PelorinProcess&) = delete;

    // Starts Pelorin.exe with `folder` as its current directory and its
    // standard output going to `folder`\stdout-<n>.txt.
    bool Start(const std::string& folder);

    DWORD pid() const { return pid_; }
    // The visible-or-hidden frame of this process: class and title both
    // match, so a message box titled alike is never taken for it.
    HWND Frame() const;
    HWND WaitForFrame(std::chrono::milliseconds limit = 10000ms) const;
    // True once the program first waits for input in a message loop (its
    // own, or a modal one such as a message box). Answering a sent message
    // is no proof of that: a thread waiting for the reply to its own
    // SendMessage (Shell_NotifyIconA does one) answers sent messages too.
    bool WaitStarted(std::chrono::milliseconds limit = 10000ms) const;
    // True once the frame answers a sent message.
    bool WaitResponsive(std::chrono::milliseconds limit = 10000ms) const;
    void PostCommand(UINT id) const;
    bool Running() const;
    // The exit code once the process has ended within `limit`.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds limit = 10000ms) const;
    std::string Output() const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    std::string outputPath_;
};

// Asks Pelorin's own process about its menu and timers, which can be read
// only there: pelorin_probe.dll, built beside the test program, is loaded
// into Pelorin by a message hook on the thread of its frame.
class PelorinProbe {
public:
    explicit PelorinProbe(HWND frame);
    ~PelorinProbe();
    PelorinProbe(const PelorinProbe&) = delete;
    PelorinProbe& operator=(const PelorinProbe&) = delete;

    bool Ready() const { return hook_ != nullptr && answer_ != nullptr; }
    // GetMenuState of item `id` in the menu shown by `menuWindow`.
    std::optional<UINT> MenuItemState(HWND menuWindow, UINT id);
    // Whether timer `id` of `window` was armed. It is stopped by the asking.
    std::optional<bool> StopTimer(HWND window, UINT_PTR id);
    // The level at which the system asks the process to end.
    std::optional<LONG> ShutdownLevel(HWND window) {
        return Ask(window, "PelorinShutdownProbe", 0);
    }

private:
    std::optional<LONG> Ask(HWND window, const char* message, WPARAM wParam);

    HANDLE mapping_ = nullptr;
    volatile LONG* answer_ = nullptr;
    HMODULE module_ = nullptr;
    HHOOK hook_ = nullptr;
    LONG tickets_ = 0;
};

// The first top-level window of `pid` with this class and title (either may
// be null: any), visible or not.
HWND FindWindowOf(DWORD pid, const char* className, const char* title);
HWND WaitForWindowOf(DWORD pid, const char* className, const char* title,
                     std::chrono::milliseconds limit = 10000ms);
std::vector<HWND> WindowsOf(DWORD pid, const char* className);
// As WaitForWindowOf, but only once the window is visible: a dialog becomes
// visible after its initialisation, so its controls hold their values then.
HWND WaitForShownWindowOf(DWORD pid, const char* className, const char* title,
                          std::chrono::milliseconds limit = 10000ms);

// Text of a window or control as WM_GETTEXT gives it, across processes.
std::string TextOf(HWND window);

// True while some process holds the named mutex.
bool MutexExists();

// Names of the entries matching `folder`\save\*.txt, sorted.
std::vector<std::string> SnapshotFiles(const std::string& folder);

// Whether Wine's tray window is shown: it is while at least one icon exists.
bool TrayWindowShown();

// Writes `bytes` to `path`, replacing it.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Saves `area` of the screen (cut to the screen) as a PNG in the screenshots
// folder, when one was given. True when written or when no folder was given.
bool TakeScreenshot(const std::string& name, RECT area);

// Routes the dialog font to the installed Japanese font, as a Japanese
// system would have it, so that screenshots show readable text.
void SubstituteJapaneseFonts();

}  // namespace shell_e2e
