// A modal dialog from a dialog template, bound to a C++ object that lives on
// the caller's stack for one DoModal.
#pragma once

#include <windows.h>

namespace fw {

class ModalDialog {
public:
    ModalDialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}
    virtual ~ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // IDOK after OK (or Enter), IDCANCEL after Cancel, Esc or the close box,
    // -1 when the dialog could not be created.
    INT_PTR DoModal();

protected:
    // FALSE when the initialisation failed; TRUE lets the system give the
    // focus to the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    static INT_PTR CALLBACK Trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleInitDialog();
    bool HandleCommand(UINT id);
    void CentreIfUnmoved(const RECT& before);

    int templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;
};

}  // namespace fw
