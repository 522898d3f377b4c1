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
// but no longer than kAnswerWaitMs, and not at all for a window that is gone
// or that the system already takes for hung. Messages sent to this thread
// meanwhile are answered.
template <typename Done>
void AwaitRequest(HWND window, Done done) {
    const DWORD start = GetTickCount();
    while (IsWindow(window) && !done() && !IsHungAppWindow(window) &&
           GetTickCount() - start < kAnswerWaitMs) {
        SleepFor(kPollMs);
    }
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
    RECT before = {};
    GetWindowRect(hwnd, &before);
    // MoveWindow with repaint, as a request: no Z-order change, no activation.
    SetWindowPos(hwnd, nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    // Done when the window is where it was sent, or has moved at all: the
    // system may clamp the size to the window's limits.
    const RECT target = {x, y, Edge(x, width), Edge(y, height)};
    AwaitRequest(hwnd, [&] {
        RECT now = {};
        GetWindowRect(hwnd, &now);
        return EqualRect(&now, &target) || !EqualRect(&now, &before);
    });
}

void ShowWindowAs(WindowHandle window, std::int32_t showCmd) {
    const HWND hwnd = ToHwnd(window);
    ShowWindowAsync(hwnd, showCmd);
    AwaitRequest(hwnd, [&] { return ShownAs(hwnd, showCmd); });
}

WindowHandle NextWindowBelow(WindowHandle window) {
    return ToHandle(GetWindow(ToHwnd(window), GW_HWNDNEXT));
}

bool IsWindowShown(WindowHandle window) {
    return IsWindowVisible(ToHwnd(window)) != FALSE;
}

void SetTopmost(WindowHandle window, bool topmost) {
    const HWND hwnd = ToHwnd(window);
    SetWindowPos(hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    AwaitRequest(hwnd, [&] {
        return ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) == topmost;
    });
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
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

}  // namespace platform
