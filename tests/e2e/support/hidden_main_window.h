// A hidden top-level window owned by the test process, registered as the
// program's main window, as the tray frame is in the real program.
#pragma once

#include <windows.h>

namespace e2e {

class HiddenMainWindow {
public:
    HiddenMainWindow();
    ~HiddenMainWindow();
    HiddenMainWindow(const HiddenMainWindow&) = delete;
    HiddenMainWindow& operator=(const HiddenMainWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Puts the window at the top of the Z order without showing it, so the
    // window beneath it is the one the test has just placed there.
    void RaiseHidden() const;

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

}  // namespace e2e
