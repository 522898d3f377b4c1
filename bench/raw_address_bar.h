// The address bar as a capture reads it, in bare Win32 calls, for the floors
// of the Wine benchmarks: IE 6's chain, then IE 7 to 11's band, each control
// looked up only when the one before read empty.
#pragma once

#include <windows.h>

#include <string>

inline std::string RawAddressBar(HWND frame) {
    wchar_t address[1024] = {};
    HWND rebar = FindWindowExA(frame, nullptr, "WorkerW", nullptr);
    if (rebar)
        rebar = FindWindowExA(rebar, nullptr, "ReBarWindow32", nullptr);
    HWND band = nullptr;
    for (int link = 0; rebar && address[0] == 0 && link < 3; ++link) {
        if (link == 1)
            band = FindWindowExA(rebar, nullptr, "Address Band Root", nullptr);
        const HWND bar =
            link == 0 ? FindWindowExA(rebar, nullptr, "ComboBoxEx32", nullptr)
            : band    ? FindWindowExA(band, nullptr, link == 1 ? "ComboBoxEx32" : "Edit", nullptr)
                      : nullptr;
        DWORD_PTR copied = 0;
        if (bar)
            SendMessageTimeoutW(bar, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(address),
                                SMTO_ABORTIFHUNG, 1000, &copied);
    }
    char stored[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, address, -1, stored, sizeof stored, nullptr, nullptr);
    return stored;
}
