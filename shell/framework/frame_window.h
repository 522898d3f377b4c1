// A top-level frame window bound to a C++ object. The object is created with
// new; the framework deletes it after its window is gone (WM_NCDESTROY), and
// when it was the application's main window it posts the quit message first.
#pragma once

#include <windows.h>

namespace fw {

class FrameWindow {
public:
    FrameWindow() = default;
    virtual ~FrameWindow();
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    // Creates the window; false when it could not be created, in which case
    // the object is not deleted by the framework and stays the caller's.
    bool Create(const char* className, const char* title, DWORD style, int x, int y, int width,
                int height);

    HWND hwnd() const { return hwnd_; }

    // The procedure every frame class is registered with.
    static WNDPROC ProcedureForClass() { return &Trampoline; }

protected:
    // Dispatches to the handlers below; a derived class may take messages
    // before the dispatch and pass the rest on.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    // -1 fails the creation.
    virtual int OnCreate(const CREATESTRUCTA& create);
    virtual void OnDestroy();
    virtual void OnTimer(UINT_PTR timerId);
    // True when the command was handled.
    virtual bool OnCommand(UINT id);
    virtual void OnPaint();
    // `reasons` is the ENDSESSION_ bit mask the system sends with both.
    virtual bool OnQueryEndSession(LPARAM reasons);
    virtual void OnEndSession(bool ending, LPARAM reasons);

private:
    static LRESULT CALLBACK Trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnNcDestroy();

    HWND hwnd_ = nullptr;
    bool ownedByWindow_ = false;
};

}  // namespace fw
