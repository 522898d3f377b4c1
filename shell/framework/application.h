// The application object: one per program, created as a global before
// WinMain runs. WinMain (in application.cpp) hands control to Run().
#pragma once

#include <windows.h>

namespace fw {

class FrameWindow;

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The one application object, or nullptr before it is constructed.
    static Application* Current();

    // InitInstance; then the message loop when it returned true; then
    // ExitInstance, whose result is the process exit code.
    int Run(HINSTANCE instance);

    HINSTANCE Instance() const { return instance_; }
    FrameWindow* MainWindow() const { return mainWindow_; }
    void SetMainWindow(FrameWindow* window) { mainWindow_ = window; }

    // Registers a frame window class with the given attributes under a name
    // made up from them, and returns that name ("" on failure). The same
    // attributes always give the same name, so registering twice is harmless.
    const char* RegisterFrameClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon);

    // Both are called by the framework: InitInstance once before the loop,
    // ExitInstance when the loop ends, after a false InitInstance, and when
    // the user's logon ends.
    virtual bool InitInstance() = 0;
    virtual int ExitInstance();

protected:
    // The code ExitInstance returns: the quit message's, or one that a
    // failed start-up sets.
    void SetExitCode(int code) { exitCode_ = code; }

private:
    HINSTANCE instance_ = nullptr;
    FrameWindow* mainWindow_ = nullptr;
    int exitCode_ = 0;
    char className_[80] = {};  // room for three 64-bit handles in hex
};

}  // namespace fw
