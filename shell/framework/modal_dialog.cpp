#include "shell/framework/modal_dialog.h"

#include "shell/framework/application.h"
#include "shell/framework/frame_window.h"

namespace fw {

INT_PTR ModalDialog::DoModal() {
    HINSTANCE instance = Application::Current() ? Application::Current()->Instance() : nullptr;
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId_), parent_, &Trampoline,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ModalDialog::Trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    // No exception may unwind through the dialog manager. One thrown while
    // the dialog opens ends it as cancelled, so the caller changes nothing.
    try {
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<ModalDialog*>(lParam);
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
            return self->HandleInitDialog();
        }
        if (!self)
            return FALSE;
        switch (message) {
            case WM_COMMAND:
                return self->HandleCommand(LOWORD(wParam)) ? TRUE : FALSE;
            case WM_NCDESTROY:
                SetWindowLongPtrA(hwnd, DWLP_USER, 0);
                self->hwnd_ = nullptr;
                return FALSE;
        }
    } catch (...) {
        if (message == WM_INITDIALOG)
            EndDialog(hwnd, IDCANCEL);
    }
    return FALSE;
}

INT_PTR ModalDialog::HandleInitDialog() {
    RECT before = {};
    GetWindowRect(hwnd_, &before);
    const BOOL result = OnInitDialog();
    CentreIfUnmoved(before);
    return result;
}

// IDOK arrives for the OK button and for Enter (it is the default button);
// IDCANCEL for the Cancel button, Esc and the close box.
bool ModalDialog::HandleCommand(UINT id) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

BOOL ModalDialog::OnInitDialog() {
    return TRUE;
}
void ModalDialog::OnOK() {
    EndDialog(hwnd_, IDOK);
}
void ModalDialog::OnCancel() {
    EndDialog(hwnd_, IDCANCEL);
}

// A dialog that its initialisation did not move is centred: on its owner
// when the owner is visible, otherwise (the owner here is the hidden tray
// frame) in the work area of the monitor that holds the main window.
void ModalDialog::CentreIfUnmoved(const RECT& before) {
    RECT now = {};
    if (!GetWindowRect(hwnd_, &now) || now.left != before.left || now.top != before.top)
        return;
    RECT area = {};
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        Application* app = Application::Current();
        HWND main = app && app->MainWindow() ? app->MainWindow()->hwnd() : owner;
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        if (!GetMonitorInfoA(MonitorFromWindow(main, MONITOR_DEFAULTTOPRIMARY), &info))
            return;
        area = info.rcWork;
    }
    const int width = now.right - now.left;
    const int height = now.bottom - now.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace fw
