#include "shell/tray_app.h"

#include "shell/tray_frame.h"

namespace {
CTrayApp theApp;
// In the range Windows keeps for the applications that end first
// (0x300-0x3FF).
constexpr DWORD kShutdownLevel = 0x300;
}  // namespace

bool CTrayApp::InitInstance() {
    InstanceMutex = CreateMutexA(nullptr, TRUE, "PelorinMutex");
    const DWORD mutexError = GetLastError();
    if (!InstanceMutex && mutexError == ERROR_ACCESS_DENIED) {
        // The mutex exists but may not be opened: a copy runs in another
        // security context (elevated, say). It is running all the same, so
        // this copy ends as silently as any second one.
        return false;
    }
    if (mutexError == ERROR_ALREADY_EXISTS) {
        // Another copy runs: end silently and leave it alone.
        ReleaseMutex(InstanceMutex);
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
        return false;
    }
    // Asked to end before the programs of the default level (0x280), the
    // browsers among them: the save at the end of the session then still
    // finds their windows.
    SetProcessShutdownParameters(kShutdownLevel, 0);
    const char* className = RegisterFrameClass(0, nullptr, nullptr, nullptr);
    auto* frame = new CTrayFrame(className);
    if (!frame->hwnd()) {
        // Without its window the program can do nothing, not even be ended by
        // the user; it stops at once with a failure code and frees the mutex.
        delete frame;
        SetExitCode(1);
        return false;
    }
    SetMainWindow(frame);
    platform::SetMainWindow(reinterpret_cast<platform::WindowHandle>(frame->hwnd()));
    frame->StartManager();
    // The error box of the start-up step runs a message loop of its own while
    // the tray icon already works. Commands are held back until the step is
    // over, but should the window be gone all the same, the frame and its
    // manager went with it: nothing of them may be used, and the program ends
    // as an exit from the menu ends.
    if (MainWindow() == nullptr) {
        SetExitCode(0);
        return false;
    }
    if (frame->Manager.AutoSave == 1)
        frame->ArmAutoSaveTimer();
    ShowWindow(frame->hwnd(), SW_HIDE);
    UpdateWindow(frame->hwnd());
    return true;
}

int CTrayApp::ExitInstance() {
    if (InstanceMutex) {
        ReleaseMutex(InstanceMutex);
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
    return fw::Application::ExitInstance();
}
