// The window operations of the platform seam: thin ANSI user32 calls.
#include <windows.h>

#include "platform/platform.h"

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

// The frame registered by the shell. The one piece of state of this backend:
// it stands in for the application framework's main-window pointer.
WindowHandle registeredMainWindow = nullptr;

Rect ToRect(const RECT& r) {
    return {static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
            static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
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

std::string ControlText(WindowHandle control) {
    // A control that copies nothing leaves the first byte zero: empty text.
    char buffer[1024] = {};
    SendMessageA(ToHwnd(control), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

void PostCloseRequest(WindowHandle window) {
    PostMessageA(ToHwnd(window), WM_CLOSE, 0, 0);
}

void MoveWindowTo(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height) {
    MoveWindow(ToHwnd(window), x, y, width, height, TRUE);
}

void ShowWindowAs(WindowHandle window, std::int32_t showCmd) {
    ShowWindow(ToHwnd(window), showCmd);
}

WindowHandle NextWindowBelow(WindowHandle window) {
    return ToHandle(GetWindow(ToHwnd(window), GW_HWNDNEXT));
}

bool IsWindowShown(WindowHandle window) {
    return IsWindowVisible(ToHwnd(window)) != FALSE;
}

void SetTopmost(WindowHandle window, bool topmost) {
    SetWindowPos(ToHwnd(window), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
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

}  // namespace platform
