#include "shell/framework/frame_window.h"

#include "shell/framework/application.h"

namespace fw {

FrameWindow::~FrameWindow() = default;

bool FrameWindow::Create(const char* className, const char* title, DWORD style, int x, int y,
                         int width, int height) {
    HINSTANCE instance = Application::Current() ? Application::Current()->Instance() : nullptr;
    // A window whose WM_CREATE fails is destroyed inside CreateWindowExA; the
    // object must survive that, since the caller still holds it.
    ownedByWindow_ = false;
    const HWND created = CreateWindowExA(0, className, title, style, x, y, width, height, nullptr,
                                         nullptr, instance, this);
    ownedByWindow_ = created != nullptr;
    return ownedByWindow_;
}

LRESULT CALLBACK FrameWindow::Trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        // Bind before anything else arrives, so WM_CREATE already finds the
        // object; messages before WM_NCCREATE (WM_GETMINMAXINFO) go to the
        // default procedure.
        self = static_cast<FrameWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    // An exception must not unwind through the system's code that called
    // us; a handler that throws (out of memory) has done nothing more.
    try {
        if (message == WM_NCDESTROY) {
            const LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->OnNcDestroy();  // deletes the object
            return result;
        }
        return self->WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT FrameWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(*reinterpret_cast<CREATESTRUCTA*>(lParam));
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam)))
                return 0;
            break;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(lParam) ? TRUE : FALSE;
        case WM_ENDSESSION:
            OnEndSession(wParam != FALSE, lParam);
            return 0;
    }
    return Default(message, wParam, lParam);
}

LRESULT FrameWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

int FrameWindow::OnCreate(const CREATESTRUCTA&) {
    return 0;
}
void FrameWindow::OnDestroy() {}
void FrameWindow::OnTimer(UINT_PTR) {}
bool FrameWindow::OnCommand(UINT) {
    return false;
}

void FrameWindow::OnPaint() {
    PAINTSTRUCT ps;
    BeginPaint(hwnd_, &ps);
    EndPaint(hwnd_, &ps);
}

bool FrameWindow::OnQueryEndSession(LPARAM) {
    return true;
}

// The system ends the process after this message without destroying any
// window, so the application's end runs here and nothing else does.
void FrameWindow::OnEndSession(bool ending, LPARAM) {
    Application* app = Application::Current();
    if (ending && app && app->MainWindow() == this)
        app->ExitInstance();
}

void FrameWindow::OnNcDestroy() {
    Application* app = Application::Current();
    hwnd_ = nullptr;
    if (app && app->MainWindow() == this) {
        PostQuitMessage(0);
        app->SetMainWindow(nullptr);
    }
    if (ownedByWindow_)
        delete this;
}

}  // namespace fw
