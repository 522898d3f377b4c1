// The window operations of the platform seam: thin ANSI user32 calls, the
// address read excepted.
#include <windows.h>

#include <iterator>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32/stored_address.h"

#if !defined(_WIN64)
static_assert(sizeof(WINDOWPLACEMENT) == 44, "the placement structure of 32-bit Windows");
#endif

namespace platform {
namespace {

HWND ToHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}
WindowHandle ToHandle(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<WindowHandle>*>(context)->push_back(ToHandle(window));
    return TRUE;
}

// How long a message sent to another program's window, or a request handed to
// its thread, may hold this thread up.
constexpr UINT kAnswerWaitMs = 1000;
constexpr std::uint32_t kPollMs = 1;

// The frame registered by the shell. The one piece of state of this backend:
// it stands in for the application framework's main-window pointer.
WindowHandle registeredMainWindow = nullptr;

Rect ToRect(const RECT& r) {
    return {static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
            static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

// from + span as 32-bit arithmetic wraps it, for any edges a snapshot holds.
LONG Edge(std::int32_t from, std::int32_t span) {
    return static_cast<LONG>(static_cast<std::int32_t>(static_cast<std::uint32_t>(from) +
                                                       static_cast<std::uint32_t>(span)));
}

// A request handed to another window's thread is carried out when that thread
// next reads its messages. Waits until `done` holds, so that a window that
// answers is placed by the time the call returns, as by the sending forms;
// but no longer than kAnswerWaitMs, and not at all for a request the system
// refused (`requested` FALSE: the window is gone, or belongs to a program of
// a higher integrity level), for a window that is gone or one that the system
// already takes for hung. Messages sent to this thread meanwhile are answered.
template <typename Done>
void AwaitRequest(BOOL requested, HWND window, Done done) {
    const DWORD start = GetTickCount();
    while (requested && IsWindow(window) && !done() && !IsHungAppWindow(window) &&
           GetTickCount() - start < kAnswerWaitMs) {
        SleepFor(kPollMs);
    }
}

// While it lives, the thread is DPI-unaware: the system then gives and takes
// every other program's window, monitor and work area in 96-DPI units, scaled
// per monitor, as it does for every program on systems without per-monitor
// DPI, and as every snapshot so far holds them. A per-monitor aware thread
// would see physical pixels instead. Where the call does not exist (before
// Windows 10 1607) the whole program is unaware already and nothing changes.
class UnawareDpiScope {
public:
    UnawareDpiScope() {
        const HMODULE user32 = GetModuleHandleA("user32.dll");
        const FARPROC found =
            user32 ? GetProcAddress(user32, "SetThreadDpiAwarenessContext") : nullptr;
        // Through the generic function type, which GCC accepts without warning.
        set_ = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(found));
        if (set_ != nullptr)
            previous_ = set_(kUnaware);
    }
    ~UnawareDpiScope() {
        if (set_ != nullptr && previous_ != nullptr)
            set_(previous_);
    }
    UnawareDpiScope(const UnawareDpiScope&) = delete;
    UnawareDpiScope& operator=(const UnawareDpiScope&) = delete;

private:
    // DPI_AWARENESS_CONTEXT and DPI_AWARENESS_CONTEXT_UNAWARE, which the
    // headers declare only for newer targets than this program's.
    using Context = HANDLE;
    using SetContext = Context(WINAPI*)(Context);
    static inline const Context kUnaware = reinterpret_cast<Context>(-1);

    SetContext set_ = nullptr;
    Context previous_ = nullptr;
};

// Whether the window stands at the top of its band of the Z order: nothing
// above it but topmost windows.
bool AtTopOfBand(HWND window) {
    const bool topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const HWND above = GetWindow(window, GW_HWNDPREV);
    return above == nullptr ||
           (!topmost && (GetWindowLongA(above, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
}

// Returns once the window's thread has handled the messages sent to it
// before this one (on Wine the asynchronous requests are among them); at most
// kAnswerWaitMs, at once for a thread the system takes for hung.
void AwaitQueued(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &ignored);
}

// Whether the windows stand from the top down in the order given, the first
// at the top of its band; other windows may stand between them. A walk down
// the Z order with GetWindow may go round for good while windows move, so it
// takes no more steps than there are top-level windows.
bool StackedInOrder(const std::vector<HWND>& topFirst) {
    if (!AtTopOfBand(topFirst.front()))
        return false;
    std::size_t steps = TopLevelWindows().size();
    std::size_t next = 1;
    for (HWND w = GetWindow(topFirst.front(), GW_HWNDNEXT);
         w != nullptr && next < topFirst.size() && steps-- > 0; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == topFirst[next])
            ++next;
    }
    return next == topFirst.size();
}

// Whether the window is in the state that `showCmd` leaves it in, as far as
// another process can tell.
bool ShownAs(HWND window, std::int32_t showCmd) {
    const bool visible = IsWindowVisible(window) != FALSE;
    const bool minimised = IsIconic(window) != FALSE;
    const bool maximised = IsZoomed(window) != FALSE;
    switch (showCmd) {
        case SW_HIDE:
            return !visible;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
        case SW_FORCEMINIMIZE:
            return minimised;
        case SW_SHOWMAXIMIZED:
            return visible && maximised;
        case SW_SHOWNORMAL:
        case SW_SHOWNOACTIVATE:
        case SW_RESTORE:
            return visible && !minimised && !maximised;
        default:  // SW_SHOW, SW_SHOWNA, SW_SHOWDEFAULT and values of no command
            return visible;
    }
}

// The window's visibility, minimised and maximised state as three bits.
int ShowState(HWND window) {
    return (IsWindowVisible(window) ? 1 : 0) | (IsIconic(window) ? 2 : 0) |
           (IsZoomed(window) ? 4 : 0);
}

}  // namespace

std::vector<WindowHandle> TopLevelWindows() {
    // Collected first and handed out afterwards: the caller's per-window work
    // then runs outside the enumeration, on the same thread, in the same order.
    std::vector<WindowHandle> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string WindowClassName(WindowHandle window) {
    char buffer[1024] = {};
    GetClassNameA(ToHwnd(window), buffer, sizeof buffer);
    return buffer;
}

std::string WindowTitle(WindowHandle window) {
    char buffer[1024] = {};
    GetWindowTextA(ToHwnd(window), buffer, sizeof buffer);
    return buffer;
}

ProcessId WindowProcess(WindowHandle window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(ToHwnd(window), &pid);
    return pid;
}

std::optional<Placement> WindowPlacement(WindowHandle window) {
    const UnawareDpiScope unaware;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;  // 44 on 32-bit Windows
    if (!GetWindowPlacement(ToHwnd(window), &placement))
        return std::nullopt;
    return Placement{static_cast<std::int32_t>(placement.showCmd),
                     ToRect(placement.rcNormalPosition)};
}

bool WindowExists(WindowHandle window) {
    return IsWindow(ToHwnd(window)) != FALSE;
}

std::optional<Rect> WindowRect(WindowHandle window) {
    const UnawareDpiScope unaware;
    RECT rect = {};
    if (!GetWindowRect(ToHwnd(window), &rect))
        return std::nullopt;
    return ToRect(rect);
}

WindowHandle FindChildWindow(WindowHandle parent, const std::string& className) {
    return ToHandle(FindWindowExA(ToHwnd(parent), nullptr, className.c_str(), nullptr));
}

std::string AddressBarText(WindowHandle addressBar) {
    // The control belongs to another program's window thread, which may hang
    // (a busy script, a stuck plug-in); a plain send would then block this,
    // the program's only thread, for good. After kAnswerWaitMs, or at once
    // when the system already takes the thread for hung, the text is empty,
    // as for a frame without an address bar. A control that copies nothing
    // leaves the first character zero: empty text as well. Read wide: the
    // ANSI message would hand over characters the code page lacks as "?" or
    // as a look-alike, and the restore would open another page.
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(ToHwnd(addressBar), WM_GETTEXT, std::size(buffer),
                             reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, kAnswerWaitMs,
                             &copied)) {
        return std::string();
    }
    buffer[std::size(buffer) - 1] = L'\0';
    std::wstring_view shown(buffer);
    // A text the buffer cut may end in the first half of a surrogate pair.
    if (shown.size() == std::size(buffer) - 1 && IS_HIGH_SURROGATE(shown.back()))
        shown.remove_suffix(1);
    return StoredAddress(shown);
}

void PostCloseRequest(WindowHandle window) {
    PostMessageA(ToHwnd(window), WM_CLOSE, 0, 0);
}

// Moving, showing and changing the Z order of another program's window wait
// for its thread to handle the messages they send, for good when it hangs.
// The asynchronous forms hand the request to that thread's queue instead, and
// AwaitRequest gives a window that answers the time to carry it out. Each
// window's requests are queued in the order they are made, so a restore still
// moves every window to its normal rectangle before showing it, hung or not.
void MoveWindowTo(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height) {
    const HWND hwnd = ToHwnd(window);
    const UnawareDpiScope unaware;
    RECT before = {};
    GetWindowRect(hwnd, &before);
    // MoveWindow with repaint, as a request: no Z-order change, no activation.
    const BOOL requested = SetWindowPos(hwnd, nullptr, x, y, width, height,
                                        SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    // Done when the window is where it was sent, or has moved at all: the
    // system may clamp the size to the window's limits.
    const RECT target = {x, y, Edge(x, width), Edge(y, height)};
    AwaitRequest(requested, hwnd, [&] {
        RECT now = {};
        GetWindowRect(hwnd, &now);
        return EqualRect(&now, &target) || !EqualRect(&now, &before);
    });
}

void ShowWindowAs(WindowHandle window, std::int32_t showCmd) {
    const HWND hwnd = ToHwnd(window);
    const int before = ShowState(hwnd);
    const BOOL requested = ShowWindowAsync(hwnd, showCmd);
    // Done also when the state changed otherwise: a window minimised from
    // maximised comes back maximised from SW_SHOWNOACTIVATE, and would else
    // hold the restore up for the whole wait.
    AwaitRequest(requested, hwnd,
                 [&] { return ShownAs(hwnd, showCmd) || ShowState(hwnd) != before; });
}

WindowHandle NextWindowBelow(WindowHandle window) {
    return ToHandle(GetWindow(ToHwnd(window), GW_HWNDNEXT));
}

bool IsWindowShown(WindowHandle window) {
    return IsWindowVisible(ToHwnd(window)) != FALSE;
}

void SetTopmost(WindowHandle window, bool topmost) {
    const HWND hwnd = ToHwnd(window);
    const BOOL requested = SetWindowPos(hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                                        SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    AwaitRequest(requested, hwnd, [&] {
        return ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) == topmost;
    });
    // Carried out by the window's own thread, the request cannot activate it:
    // that thread has no right to take the foreground. This program, which
    // holds it after its own menu, gives it. SetForegroundWindow waits for no
    // answer from the window's thread, so a hung window cannot hold us up.
    if (requested)
        SetForegroundWindow(hwnd);
}

void StackWindows(const std::vector<WindowHandle>& topFirst) {
    // Gone and hung windows have no say: the first cannot be stacked, the
    // second would only cost the wait.
    std::vector<HWND> windows;
    for (WindowHandle window : topFirst) {
        const HWND hwnd = ToHwnd(window);
        if (IsWindow(hwnd) && !IsHungAppWindow(hwnd))
            windows.push_back(hwnd);
    }
    if (windows.empty())
        return;
    // The shows just asked for may still be on their way, and each activating
    // one raises its window when its thread carries it out: stacked before
    // that, the last shown would come out on top again.
    for (HWND hwnd : windows)
        AwaitQueued(hwnd);
    // Only the first comes to the top, activated. The request is carried out
    // by its own thread, which may bring a window to the top only with the
    // right to set the foreground window: this program, which usually holds
    // that right after its own menu, hands it to the process that owns the
    // window (after merging or hand-off, not the one it started), and uses
    // it itself as well. A browser that took the foreground with its own
    // activating show holds the right already. Each next window goes
    // directly below the one before it, which asks no other window to move.
    // The requests go to different threads, which would carry them out in
    // any order, so each is awaited before the next is made. Wine carries
    // out some activations late, as its display server reports them: the
    // order is checked and made again, within the wait.
    DWORD owner = 0;
    GetWindowThreadProcessId(windows.front(), &owner);
    const DWORD start = GetTickCount();
    do {
        AllowSetForegroundWindow(owner);
        if (SetWindowPos(windows.front(), HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS))
            AwaitQueued(windows.front());
        SetForegroundWindow(windows.front());
        for (std::size_t i = 1; i < windows.size(); ++i) {
            if (SetWindowPos(windows[i], windows[i - 1], 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS))
                AwaitQueued(windows[i]);
        }
    } while (!StackedInOrder(windows) && GetTickCount() - start < kAnswerWaitMs);
}

WindowHandle MainWindow() {
    return registeredMainWindow;
}

void SetMainWindow(WindowHandle window) {
    registeredMainWindow = window;
}

void ShowErrorBox(const std::string& text, const std::string& caption) {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), 0);
}

namespace {

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        reinterpret_cast<std::vector<Monitor>*>(context)->push_back(
            {ToRect(info.rcMonitor), ToRect(info.rcWork)});
    }
    return TRUE;
}

}  // namespace

std::vector<Monitor> Monitors() {
    const UnawareDpiScope unaware;
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

}  // namespace platform
