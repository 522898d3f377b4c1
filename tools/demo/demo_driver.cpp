// Drives Pelorin.exe under Wine for scripts/run.
//
// The fixture browser is shaped as IE 8 to 11 and merges its frames into
// the frame process that already runs, as the IE a user can run today does.
//
//   pelorin_demo.exe cycle PELORIN_EXE FIXTURE_BROWSER OUT_DIR
//     plays the whole cycle against three fixture browser windows (normal,
//     maximised, minimised): save, close all, restore the newest snapshot;
//     prints the before/after table and exits 0 only when every window came
//     back as it was saved. Pelorin runs in OUT_DIR\pelorin.
//   pelorin_demo.exe open PELORIN_EXE FIXTURE_BROWSER OUT_DIR
//     opens three browser windows, starts Pelorin.exe and stays until
//     Pelorin ends (the user's session on a real display).
//
// Screenshots are taken by the calling script, which watches this program's
// output: a line "@screenshot NAME X Y W H" asks for the area of the screen
// as OUT_DIR\NAME, and the script answers by creating that file, or
// NAME.failed when it could not.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fixture_document.h"
#include "fixture_protocol.h"
#include "resource.h"
#include "shell_support.h"
#include "support/browser_fixture.h"
#include "window_table.h"

namespace {

using namespace std::chrono_literals;

struct DemoWindow {
    const char* address;
    e2e::FramePlacement placement;
};

// One window in each show state on a 1280 x 1024 screen, started in this
// order so that the normal window lies over the maximised one, as after a
// restore; the minimised and the maximised one keep a normal rectangle of
// their own.
const DemoWindow kCycleWindows[] = {
    {"http://www.example.org/news/", {SW_SHOWMAXIMIZED, {700, 160, 1220, 620}}},
    {"http://www.example.com/", {SW_SHOWNORMAL, {80, 120, 680, 560}}},
    {"http://www.example.net/mail/", {SW_SHOWMINIMIZED, {360, 420, 900, 860}}},
};

// Normal windows cascaded inside the 1024 x 768 Wine desktop of "open".
const DemoWindow kOpenWindows[] = {
    {"http://www.example.com/", {SW_SHOWNORMAL, {40, 40, 560, 420}}},
    {"http://www.example.org/news/", {SW_SHOWNORMAL, {200, 140, 720, 520}}},
    {"http://www.example.net/mail/", {SW_SHOWNORMAL, {360, 240, 880, 620}}},
};

const char kSettings[] =
    "[Setting]\r\nAutoSave=0\r\nAutoSaveTime=1\r\nCreateWait=1000\r\nExitIEWhenExit=0\r\n"
    "ExitIEWhenRestore=0\r\nResizeWait=3000\r\nRestoreWhenStart=0\r\nSave=0\r\n";

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    // The script reads this output through a pipe as it comes.
    std::fflush(stdout);
}

// Paths and the snapshot's lines come from Wine in the ANSI code page (932);
// this program's own text, and so everything it prints, is UTF-8.
std::string Shown(const std::string& ansi) {
    const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
    std::wstring text(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), text.data(), wide);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The address bar text, read where IE 8 to 11 show it.
std::string AddressOf(HWND frame) {
    HWND control = frame;
    for (const char* name : {"WorkerW", "ReBarWindow32", "Address Band Root", "Edit"}) {
        control = FindWindowExA(control, nullptr, name, nullptr);
        if (!control)
            return std::string();
    }
    return shell_e2e::TextOf(control);
}

// What the table compares: the show state as the fixture itself reports it
// (another process is told the wrong normal rectangle by Wine, but the right
// show command by the window itself), and the rectangle on the screen.
std::optional<demo::WindowState> StateOf(HWND frame) {
    const auto placement = e2e::AskFixturePlacement(frame);
    RECT rect{};
    if (!placement || !GetWindowRect(frame, &rect))
        return std::nullopt;
    return demo::WindowState{AddressOf(frame), int(placement->showCmd), int(rect.left),
                             int(rect.top),    int(rect.right),         int(rect.bottom)};
}

// Each frame's tabs by its address, in the order of the tab windows, the
// front one marked "*": "a *b c".
std::map<std::string, std::string> BrowserTabs() {
    std::map<std::string, std::string> tabs;
    for (HWND frame : e2e::BrowserFrames()) {
        std::string& line = tabs[AddressOf(frame)];
        for (HWND holder = FindWindowExA(frame, nullptr, "Frame Tab", nullptr); holder;
             holder = FindWindowExA(frame, holder, "Frame Tab", nullptr)) {
            const HWND tab = FindWindowExA(holder, nullptr, "TabWindowClass", nullptr);
            line += (line.empty() ? "" : " ") + std::string(IsWindowVisible(tab) ? "*" : "") +
                    shell_e2e::TextOf(tab);
        }
    }
    return tabs;
}

std::vector<demo::WindowState> BrowserWindowStates() {
    std::vector<demo::WindowState> states;
    for (HWND frame : e2e::BrowserFrames()) {
        if (auto state = StateOf(frame))
            states.push_back(*state);
    }
    return states;
}

class Demo {
public:
    Demo(std::string fixture, std::string out)
        : fixture_(std::move(fixture)), out_(std::move(out)) {
        folder_ = out_ + "\\pelorin";
    }

    int Cycle() {
        const int total = 11;
        // Three tabs in each window, the one in the middle in front; the
        // browsers the restore starts open with one, and Pelorin the others.
        SetEnvironmentVariableW(fixture::kTabsVariable,
                                L"http://www.example.com/first/ * http://www.example.com/last/");
        const bool started = StartBrowsers(1, total, kCycleWindows);
        SetEnvironmentVariableW(fixture::kTabsVariable, L"-");
        if (!started || !StartPelorin(4, total))
            return Finish(false);
        before_ = BrowserWindowStates();
        tabsBefore_ = BrowserTabs();
        Begin(5, total, "Screenshot " + Shown(out_) + "\\desktop-before.png");
        if (!Shoot("desktop-before.png", FullScreen()) || !TrayMenu(6, total) || !Save(7, total) ||
            !CloseAll(8, total) || !RestoreNewest(9, total)) {
            return Finish(false);
        }
        Begin(10, total, "Screenshot " + Shown(out_) + "\\desktop-after.png");
        // The maximised window, shown last, covers the other two; raised
        // over it (the Z order only, nothing of what was compared), each of
        // the three is seen.
        RaiseOverMaximised();
        Detail("the normal and the minimised window raised over the maximised one");
        if (!Shoot("desktop-after.png", FullScreen()))
            return Finish(false);
        const bool stopped = Stop(11, total);
        const auto rows = demo::CompareByAddress(before_, after_);
        Say("");
        Say("Browser windows before the save and after the restore (on-screen rectangle):");
        std::fputs(demo::FormatTable(rows).c_str(), stdout);
        Say("");
        Say("Their tabs before and after (the front one marked *):");
        for (const auto& [address, tabs] : tabsBefore_) {
            Say("  %s", address.c_str());
            Say("    before: %s", tabs.c_str());
            Say("    after:  %s%s", tabsAfter_[address].c_str(),
                tabsAfter_[address] == tabs ? "" : "   NO");
        }
        Say("");
        if (tabsAfter_ != tabsBefore_) {
            Say("FAILED: expected every window back with its tabs in order, the same in front");
            return 1;
        }
        if (!demo::AllMatch(rows)) {
            Say("FAILED: expected every window to come back with the address, state and "
                "rectangle it was saved with; rows marked NO did not");
            return 1;
        }
        if (!stopped)
            return 1;
        Say("All %u windows came back as saved.", unsigned(rows.size()));
        return 0;
    }

    int Open() {
        const int total = 4;
        if (!StartBrowsers(1, total, kOpenWindows) || !StartPelorin(4, total))
            return Finish(false);
        Say("Pelorin is running; its menu is on its icon in the tray of the Wine desktop.");
        // Stay while the user plays; the script ends the session after us.
        const auto code = pelorin_.WaitForExit(std::chrono::milliseconds(INFINITE));
        Say("Pelorin ended (exit code %lu).", code ? *code : 0ul);
        e2e::CloseEveryBrowserFrame();
        return 0;
    }

private:
    void Begin(int step, int total, const std::string& what) {
        step_ = step;
        what_ = what;
        Say("[%d/%d] %s", step, total, what.c_str());
    }
    bool Fail(const std::string& expected) {
        Say("FAILED at step %d (%s): expected %s", step_, what_.c_str(), expected.c_str());
        return false;
    }
    void Detail(const std::string& text) { Say("       %s", text.c_str()); }

    static RECT FullScreen() {
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }

    template <size_t N>
    bool StartBrowsers(int first, int total, const DemoWindow (&windows)[N]) {
        Begin(first, total,
              "Put the fixture browser in place of " + Shown(e2e::BrowserExecutablePath()));
        if (!e2e::InstallFixtureBrowser(fixture_))
            return Fail("the fixture browser copied there");
        Begin(first + 1, total, "Close any browser window left open");
        if (!e2e::CloseEveryBrowserFrame())
            return Fail("no browser window after 10 s");
        Begin(first + 2, total, "Open " + std::to_string(N) + " browser windows");
        for (const DemoWindow& window : windows) {
            const std::vector<HWND> before = e2e::BrowserFrames();
            const DWORD pid = e2e::StartBrowser(window.address, window.placement);
            if (pid == 0)
                return Fail(std::string("the browser to start for ") + window.address);
            const HWND frame = e2e::WaitForNewFrame(before);
            if (!frame)
                return Fail(std::string("a browser window for ") + window.address + " within 10 s");
            if (!e2e::WaitUntil([&] {
                    auto placement = e2e::AskFixturePlacement(frame);
                    return placement && placement->showCmd == window.placement.showCmd;
                })) {
                return Fail(std::string("the window of ") + window.address + " to be " +
                            demo::ShowStateName(int(window.placement.showCmd)));
            }
            const DWORD owner = e2e::OwnerOf(frame);
            Detail(std::string(window.address) + ": " +
                   demo::ShowStateName(int(window.placement.showCmd)) + ", started process " +
                   std::to_string(pid) +
                   (owner == pid ? std::string(", its own window")
                                 : ", opened by process " + std::to_string(owner)));
        }
        return true;
    }

    bool StartPelorin(int step, int total) {
        Begin(step, total, "Start Pelorin.exe in " + Shown(folder_));
        CreateDirectoryA(folder_.c_str(), nullptr);
        if (!FileExists(folder_))
            return Fail("the folder " + Shown(folder_) + " to exist");
        // The menu's Japanese text needs a font that has the glyphs.
        shell_e2e::SubstituteJapaneseFonts();
        // Longer waits than the defaults (300 and 500 ms): a browser that
        // opens its window after the waits is left where it opened, and
        // Wine on a busy machine can take that long.
        if (!shell_e2e::WriteFileBytes(folder_ + "\\Pelorin.ini", kSettings))
            return Fail("Pelorin.ini written in " + Shown(folder_));
        Detail("Pelorin.ini: CreateWait=1000, ResizeWait=3000 (milliseconds), the rest default");
        if (!pelorin_.Start(folder_))
            return Fail("Pelorin.exe (" + Shown(shell_e2e::Shell().pelorin) + ") to start");
        if (!pelorin_.WaitForFrame() || !pelorin_.WaitStarted())
            return Fail("its hidden window \"Pelorin\" ready within 10 s");
        Detail("process " + std::to_string(pelorin_.pid()) + ", tray icon added");
        return true;
    }

    static void RaiseOverMaximised() {
        for (HWND frame : e2e::BrowserFrames()) {
            if (!IsZoomed(frame))
                SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }

    // Part of the step in progress: the picture is one of its results.
    bool Shoot(const std::string& name, RECT area) {
        const std::string path = out_ + "\\" + name;
        DeleteFileA(path.c_str());
        DeleteFileA((path + ".failed").c_str());
        Say("@screenshot %s %ld %ld %ld %ld", name.c_str(), area.left, area.top,
            area.right - area.left, area.bottom - area.top);
        if (!e2e::WaitUntil([&] { return FileExists(path) || FileExists(path + ".failed"); },
                            30s)) {
            return Fail("the script to write it within 30 s");
        }
        if (!FileExists(path))
            return Fail("the picture written (the script could not take it)");
        return true;
    }

    bool Save(int step, int total) {
        Begin(step, total, "Save: menu command \"保存\" (id 103)");
        const size_t had = shell_e2e::SnapshotFiles(folder_).size();
        pelorin_.PostCommand(IDM_SAVE);
        std::vector<std::string> files;
        if (!e2e::WaitUntil([&] {
                files = shell_e2e::SnapshotFiles(folder_);
                return files.size() > had;
            })) {
            return Fail("a new snapshot file in " + Shown(folder_) + "\\save within 10 s");
        }
        const std::string path = folder_ + "\\save\\" + files.back();
        Detail("snapshot file " + Shown(path) + ":");
        const auto bytes = e2e::ReadFileBytes(path);
        if (!bytes)
            return Fail("the snapshot file readable");
        std::string line;
        for (char c : *bytes) {
            if (c == '\n') {
                Detail("  " + Shown(line));
                line.clear();
            } else if (c != '\r') {
                line += c;
            }
        }
        if (!line.empty())
            Detail("  " + Shown(line));
        return true;
    }

    bool CloseAll(int step, int total) {
        Begin(step, total,
              "Close every browser window through Pelorin: menu command \"IEの全終了\" (id 40006)");
        pelorin_.PostCommand(IDM_CLOSE_ALL);
        if (!e2e::WaitUntil([] { return e2e::BrowserFrames().empty(); }))
            return Fail("no browser window left within 10 s");
        Detail("no browser window open");
        return true;
    }

    bool RestoreNewest(int step, int total) {
        Begin(step, total, "Restore the newest snapshot: menu command \"最新\" (id 104)");
        const size_t count = before_.size();
        pelorin_.PostCommand(IDM_RESTORE_NEWEST);
        if (!e2e::WaitUntil([&] { return e2e::BrowserFrames().size() >= count; }, 30s))
            return Fail(std::to_string(count) + " browser windows started within 30 s");
        // The frames exist, so the restore has begun. Its waits sleep on
        // Pelorin's only thread, yet the reply to a sent message is no proof
        // that it ended: while that thread moves a browser window under Wine
        // it waits on a message sent to the browser and answers ours (seen:
        // windows read right after the reply were half moved). So the
        // windows are watched until they are back as saved, and what they
        // show at the deadline is the result.
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutA(pelorin_.Frame(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored))
            return Fail("Pelorin to finish the restore within 60 s");
        const DWORD started = GetTickCount();
        const bool back = e2e::WaitUntil(
            [&] {
                after_ = BrowserWindowStates();
                tabsAfter_ = BrowserTabs();
                return demo::AllMatch(demo::CompareByAddress(before_, after_)) &&
                       tabsAfter_ == tabsBefore_;
            },
            20s);
        Detail(std::to_string(after_.size()) + " browser windows open; " +
               (back ? "all back as saved after " + std::to_string(GetTickCount() - started) + " ms"
                     : std::string("not all back as saved after 20 s")));
        return true;
    }

    bool TrayMenu(int step, int total) {
        Begin(step, total, "Open the tray menu: tray callback 1124 with WM_RBUTTONDOWN");
        RECT area = {0, 0, 320, 240};
        if (HWND tray = FindWindowA(nullptr, "Wine System Tray")) {
            // Where a right click on the icon would be.
            POINT icon = {GetSystemMetrics(SM_CXSMICON) / 2 + 2,
                          GetSystemMetrics(SM_CYSMICON) / 2 + 2};
            ClientToScreen(tray, &icon);
            SetCursorPos(icon.x, icon.y);
            GetWindowRect(tray, &area);
        }
        PostMessageA(pelorin_.Frame(), shell_e2e::kTrayCallback, 0, WM_RBUTTONDOWN);
        HWND menu = nullptr;
        if (!e2e::WaitUntil([&] {
                menu = shell_e2e::FindWindowOf(pelorin_.pid(), "#32768", nullptr);
                return menu && IsWindowVisible(menu);
            })) {
            return Fail("the menu to open within 10 s");
        }
        RECT at{};
        GetWindowRect(menu, &at);
        UnionRect(&area, &area, &at);
        InflateRect(&area, 16, 16);
        area.left = std::max<LONG>(area.left, 0);
        area.top = std::max<LONG>(area.top, 0);
        Detail("picture " + Shown(out_) + "\\tray-menu.png");
        const bool shot = Shoot("tray-menu.png", area);
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        if (!e2e::WaitUntil([&] { return !IsWindowVisible(menu); }))
            return Fail("the menu to close on Esc within 10 s");
        return shot;
    }

    bool Stop(int step, int total) {
        Begin(step, total, "Stop: menu command \"終了\" (id 101), then close the browsers");
        pelorin_.PostCommand(IDM_EXIT);
        const auto code = pelorin_.WaitForExit();
        if (!code)
            return Fail("Pelorin to end within 10 s");
        if (!e2e::CloseEveryBrowserFrame())
            return Fail("every browser window closed within 10 s");
        Detail("Pelorin ended with exit code " + std::to_string(*code) + "; browsers closed");
        return true;
    }

    int Finish(bool ok) {
        pelorin_.Kill();
        e2e::CloseEveryBrowserFrame();
        return ok ? 0 : 1;
    }

    std::string fixture_;
    std::string out_;
    std::string folder_;
    shell_e2e::PelorinProcess pelorin_;
    std::vector<demo::WindowState> before_;
    std::vector<demo::WindowState> after_;
    std::map<std::string, std::string> tabsBefore_;
    std::map<std::string, std::string> tabsAfter_;
    int step_ = 0;
    std::string what_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 5 ? argv[1] : "";
    if (mode != "cycle" && mode != "open") {
        std::fprintf(stderr, "usage: %s cycle|open PELORIN_EXE FIXTURE_BROWSER OUT_DIR\n", argv[0]);
        return 2;
    }
    shell_e2e::SetShell({e2e::ToWindowsPath(argv[2]), std::string()});
    // Inherited by every browser started from here on, Pelorin's too.
    SetEnvironmentVariableA(fixture::kShapeVariable, "ie11");
    SetEnvironmentVariableA(fixture::kMergeVariable, "1");
    Demo demo(e2e::ToWindowsPath(argv[3]), e2e::ToWindowsPath(argv[4]));
    return mode == "cycle" ? demo.Cycle() : demo.Open();
}
