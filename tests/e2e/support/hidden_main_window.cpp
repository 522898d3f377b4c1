#include "support/hidden_main_window.h"

#include "platform/platform.h"

namespace e2e {

namespace {
constexpr char kClassName[] = "PelorinE2EMainWindow";
}

HiddenMainWindow::HiddenMainWindow() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &HiddenMainWindow::Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when a previous test registered it
    hwnd_ = CreateWindowExA(0, kClassName, "Pelorin", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                            nullptr, instance, nullptr);
    platform::SetMainWindow(reinterpret_cast<platform::WindowHandle>(hwnd_));
}

HiddenMainWindow::~HiddenMainWindow() {
    platform::SetMainWindow(nullptr);
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void HiddenMainWindow::RaiseHidden() const {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK HiddenMainWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    // Nothing to handle: the window only has to exist, hidden, as the tray
    // frame does.
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace e2e
