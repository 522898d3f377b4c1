#include "shell/framework/application.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "shell/framework/frame_window.h"

namespace fw {

namespace {
// The one global the framework keeps: the application object itself, which
// WinMain must find before any window exists.
Application* g_application = nullptr;

// A copy started from a download folder would otherwise look there first for
// the DLLs that the dialogs and the visual styles load by name as they go, so
// a planted one would run inside the program. The imports themselves are
// resolved by the loader before any code of ours runs, and the one static
// object (the application) loads nothing, so the start of WinMain is early
// enough. SetDefaultDllDirectories came with Windows 8 (and an update for
// Vista and 7); SetDllDirectoryA(""), from XP SP1, at least takes the
// current folder out of the search.
void SearchDllsInTheSystemFolderOnly() {
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (!kernel32)
        return;
    using SetDefault = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCSTR);
    // Through the generic function type, which GCC accepts without warning.
    if (const FARPROC found = GetProcAddress(kernel32, "SetDefaultDllDirectories")) {
        if (reinterpret_cast<SetDefault>(reinterpret_cast<void (*)()>(found))(
                LOAD_LIBRARY_SEARCH_SYSTEM32))
            return;
    }
    if (const FARPROC older = GetProcAddress(kernel32, "SetDllDirectoryA"))
        reinterpret_cast<SetDirectory>(reinterpret_cast<void (*)()>(older))("");
}
}  // namespace

Application::Application() {
    g_application = this;
}

Application::~Application() {
    if (g_application == this)
        g_application = nullptr;
}

Application* Application::Current() {
    return g_application;
}

int Application::Run(HINSTANCE instance) {
    instance_ = instance;
    if (!InitInstance())
        return ExitInstance();
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            exitCode_ = 1;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int Application::ExitInstance() {
    return exitCode_;
}

const char* Application::RegisterFrameClass(UINT classStyle, HCURSOR cursor, HBRUSH background,
                                            HICON icon) {
    // Handles are pointer-sized: cut to a 32-bit long (as unsigned long is
    // on 64-bit Windows) two of them could name the same class.
    // In hex by to_chars: C++ code gets MinGW's own snprintf, some 25 KB.
    char* at = className_;
    char* const end = className_ + sizeof className_ - 1;
    at = std::copy_n("Pelorin", 7, at);
    for (const uintptr_t part :
         {uintptr_t{classStyle}, reinterpret_cast<uintptr_t>(cursor),
          reinterpret_cast<uintptr_t>(background), reinterpret_cast<uintptr_t>(icon)}) {
        *at++ = ':';
        at = std::to_chars(at, end, part, 16).ptr;
    }
    *at = '\0';
    WNDCLASSA wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = FrameWindow::ProcedureForClass();
    wc.hInstance = instance_;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className_;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return "";
    return className_;
}

}  // namespace fw

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    fw::SearchDllsInTheSystemFolderOnly();
    fw::Application* app = fw::Application::Current();
    if (!app)
        return 1;
    try {
        return app->Run(instance);
    } catch (...) {
        // Out of memory during start-up or end: fail instead of terminate,
        // whose abort would show the system's crash dialog.
        return 1;
    }
}
