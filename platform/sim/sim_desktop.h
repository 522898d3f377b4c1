// The simulated desktop behind platform.h on Linux: a small stateful model of
// top-level windows and their children, started processes, a virtual clock,
// the program's main window and its one message box.
//
// A test creates one `sim::Desktop` on the stack; while it lives, every window,
// process and clock operation of the platform seam works on it. Without one,
// the seam sees an empty desktop with the real clock, so portable tests that
// only need the time still run.
//
// The model logs every call that changes the desktop (close requests, moves,
// shows, topmost changes, process starts and sleeps) in call order, also calls
// on a null or vanished window, so a test can assert on exactly what was done.
#pragma once

#include <climits>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace sim {

// One window of the model. Used both to describe a window to add and to
// inspect it afterwards.
struct Window {
    std::string className{};
    std::string title{};
    platform::ProcessId pid = 0;
    platform::Placement placement{1, {0, 0, 800, 600}};
    // Minimised from maximised: brought back (SW_SHOWNOACTIVATE, SW_RESTORE)
    // it is maximised again.
    bool restoresMaximized = false;
    bool placementQueryFails = false;
    // Closed just as its placement is asked for: the query fails and the
    // window (with its children) is gone afterwards.
    bool closesWhenPlacementQueried = false;
    platform::Rect rect{0, 0, 800, 600};  // the current rectangle
    // The size the system lets it have (on Windows the screen's, plus its
    // borders): a move to a larger one gets this.
    std::int32_t maxWidth = INT32_MAX;
    std::int32_t maxHeight = INT32_MAX;
    bool rectQueryFails = false;
    bool visible = true;
    bool topmost = false;
    // The scale (percent) of the monitor the window was last moved onto: a
    // browser that scales per monitor resizes itself by the ratio of the
    // scales when a move takes it to a monitor of another scale.
    std::int32_t scale = 100;
    // A posted close request removes the window (and its children) at once.
    bool closesOnRequest = false;
    std::string text{};  // what WM_GETTEXT copies (controls)
    // A frame's tabs as FrameTabs reads them; OpenTabs adds to them unless
    // the frame refuses, which stops it.
    std::vector<platform::FrameTab> tabs{};
    bool refusesTabs = false;

    platform::WindowHandle parent = nullptr;
    std::vector<platform::WindowHandle> children{};  // in creation order
};

struct Operation {
    enum class Kind {
        CloseRequested,
        Moved,
        Shown,
        TopmostSet,
        Stacked,
        Launched,
        Slept,
        TabOpened
    };
    Kind kind{};
    platform::WindowHandle window = nullptr;
    std::int32_t values[4] = {0, 0, 0, 0};
    std::string text{};  // Launched: the command line; Stacked: the windows; TabOpened: the address

    // "close #3", "move #3 100 50 800 600", "show #3 2", "topmost #3 on",
    // "stack #3 #5" (top down), "launch <command line>", "sleep 300",
    // "tab #3 front <address>" or "tab #3 behind <address>".
    std::string ToString() const;
};

// Where a browser frame keeps its address bar, below WorkerW > ReBarWindow32.
enum class FrameShape {
    IE6,  // a ComboBoxEx32
    IE7,  // a ComboBoxEx32 under "Address Band Root"
    IE8,  // an Edit under "Address Band Root", as in IE 8 to 11
};

// Which process owns the frame that a start opens.
enum class Opens {
    InItself,   // the started process
    Merged,     // the owner of a browser frame open already; else the started process
    HandedOff,  // a new process that the started one started
};

struct Launch {
    std::string application;
    std::string commandLine;
    platform::ProcessId pid = 0;  // 0 for a start that failed
};

class Desktop {
public:
    // What a started process does: it is given the new process id and the
    // argument (the command line after the quoted or unquoted program name
    // and one space).
    using LaunchHandler =
        std::function<void(Desktop&, platform::ProcessId, const std::string& argument)>;

    Desktop();  // installs this desktop for the platform seam
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // The installed desktop, or an empty one with the real clock.
    static Desktop& Current();

    // ---- building the desktop ----
    // A top-level window, placed at the top of the non-topmost band.
    platform::WindowHandle AddWindow(Window window);
    // A child, after the parent's existing children.
    platform::WindowHandle AddChild(platform::WindowHandle parent, Window child);
    // An "IEFrame" owned by `pid` whose address bar, of `shape`, holds `address`.
    platform::WindowHandle AddBrowserFrame(platform::ProcessId pid, const std::string& title,
                                           const std::string& address,
                                           platform::Placement placement = {1, {0, 0, 800, 600}},
                                           FrameShape shape = FrameShape::IE6);
    void RemoveWindow(platform::WindowHandle window);
    // Puts a top-level window at the top of its band, as activating it would.
    void BringToTop(platform::WindowHandle window);

    // ---- inspecting it ----
    bool Exists(platform::WindowHandle window) const;
    Window& At(platform::WindowHandle window);  // aborts for an unknown handle
    std::vector<platform::WindowHandle> ZOrder() const { return zOrder_; }
    static std::uintptr_t Id(platform::WindowHandle window) {
        return reinterpret_cast<std::uintptr_t>(window);
    }
    static std::string Name(platform::WindowHandle window) {  // "#3", as in the log
        return "#" + std::to_string(Id(window));
    }

    const std::vector<Operation>& Log() const { return log_; }
    std::vector<std::string> LogLines() const;
    std::vector<std::string> LogLines(Operation::Kind kind) const;
    void ClearLog() { log_.clear(); }

    // ---- processes ----
    platform::ProcessId NewProcessId() { return nextPid_++; }
    // Every later start runs `handler` (default: a browser frame owned by the
    // new process, its address bar holding the argument, at 0, 0, 800, 600).
    void OnLaunch(LaunchHandler handler) { launchHandler_ = std::move(handler); }
    void LaunchCreatesNothing();
    // A start (for OnLaunch) that opens a frame of `shape` at 0, 0, 800, 600,
    // holding the argument, in the process that `opens` names.
    static LaunchHandler Opening(Opens opens, FrameShape shape = FrameShape::IE8);
    void LaunchFails(bool fails) { launchFails_ = fails; }
    const std::vector<Launch>& Launches() const { return launches_; }

    // ---- clock ----
    // Sets the virtual local time (also backwards); sleeps advance it.
    void SetLocalTime(int year, int month, int day, int hour, int minute, int second);
    void LocalTimeFails(bool fails) { localTimeFails_ = fails; }
    const std::vector<std::uint32_t>& Sleeps() const { return sleeps_; }
    // Lets virtual time pass without a sleep of the program's, as while a
    // process it started takes time to come up (call it from a launch handler).
    void Advance(std::uint32_t milliseconds);
    std::uint64_t ElapsedMilliseconds() const { return elapsedMs_; }

    // ---- the rest of the system ----
    std::optional<std::string> programFiles = std::string("C:\\Program Files");
    // One screen of 1280 x 1024 whose work area is all of it. A window's
    // placement holds its normal rectangle in workspace coordinates (relative
    // to its monitor's work area), its rect the current one on the screen.
    std::vector<platform::Monitor> monitors{{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}};
    // The scale (percent) of each monitor, by index; 100 where none is given.
    std::vector<std::int32_t> monitorScales;
    // The shift from workspace to screen coordinates for a rectangle on the
    // screen: that of the monitor it covers most (else the first).
    std::pair<std::int32_t, std::int32_t> WorkAreaOffset(const platform::Rect& screen) const;
    // That monitor's index, or monitors.size() when there is none.
    std::size_t MonitorIndexOf(const platform::Rect& screen) const;
    std::vector<std::pair<std::string, std::string>> errorBoxes;  // text, caption
    // A fault: below the bottom window comes this one again, as when windows
    // change while the Z chain is walked. So that a walk with no bound of its
    // own still ends, the chain ends after kLoopingChainEnd steps.
    platform::WindowHandle zChainLoopsTo = nullptr;
    static constexpr int kLoopingChainEnd = 10000;
    int BelowSteps() const { return belowSteps_; }  // calls of NextWindowBelow

    // ---- the seam's operations (called from platform.h's functions) ----
    std::vector<platform::WindowHandle> TopLevelWindows() const { return zOrder_; }
    const Window* Find(platform::WindowHandle window) const;
    platform::WindowHandle FindChild(platform::WindowHandle parent,
                                     const std::string& className) const;
    void PostClose(platform::WindowHandle window);
    // Waits as the real backend does, in virtual time: the first move until
    // the window stands at the target or has moved at all, which a window
    // its size limit keeps elsewhere never does (a second passes); a move
    // again only until the window's thread has handled it, which it does at once.
    enum class MoveWait { UntilPlaced, UntilHandled };
    void Move(platform::WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
              std::int32_t height, MoveWait wait);
    void Show(platform::WindowHandle window, std::int32_t showCmd);
    platform::WindowHandle Below(platform::WindowHandle window) const;
    void SetTopmost(platform::WindowHandle window, bool topmost);
    void Stack(const std::vector<platform::WindowHandle>& topFirst);
    void OpenTabs(platform::WindowHandle frame, const std::vector<std::string>& addresses,
                  std::size_t front);
    platform::WindowHandle mainWindow = nullptr;
    platform::WindowHandle foreground = nullptr;  // the active window
    platform::ProcessId Start(const std::string& application, const std::string& commandLine);
    void Sleep(std::uint32_t milliseconds);
    std::optional<std::tm> LocalTime() const;

private:
    struct RealClockTag {};
    explicit Desktop(RealClockTag);

    void Erase(platform::WindowHandle window);
    std::size_t TopOfBand(bool topmost) const;
    void Record(Operation op) { log_.push_back(std::move(op)); }

    std::map<std::uintptr_t, Window> windows_;    // every window, by id
    std::vector<platform::WindowHandle> zOrder_;  // top-level windows, top first
    std::uintptr_t nextId_ = 1;
    platform::ProcessId nextPid_ = 1000;
    LaunchHandler launchHandler_;
    bool launchFails_ = false;
    std::vector<Launch> launches_;
    std::vector<Operation> log_;
    mutable int belowSteps_ = 0;

    bool realClock_ = false;
    bool localTimeFails_ = false;
    std::int64_t epochSeconds_ = 0;  // the virtual local time, as if it were UTC
    std::uint32_t subSecondMs_ = 0;
    std::uint64_t elapsedMs_ = 0;
    std::vector<std::uint32_t> sleeps_;
    bool installed_ = false;
};

}  // namespace sim
