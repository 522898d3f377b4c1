// Capture of ten fixture browser frames under Wine, against the same Win32
// calls made directly: the monitors with their work areas, EnumWindows, then
// per top-level window its process and class, and per frame its title, the
// FindWindowExA links to the address box (IE 6's chain, then the band of
// IE 7 to 11, where the IE 11-shaped fixtures of this run keep an Edit), its
// WM_GETTEXT (wide, with a timeout, then to the code page), GetWindowPlacement, for a normal window
// its rectangle on the screen in workspace coordinates, and the title line on standard output. The
// goal is at most 1.05 times the raw calls.
//
// With "tabs", each frame has three tabs, the first in front: per frame the
// FindWindowExA links to each tab's page and the tab's visibility, and per tab
// behind a thread that reads its document's URL by name (WM_HTML_GETOBJECT
// with a timeout, ObjectFromLresult, GetIDsOfNames, Invoke), waited for.
//
//   capture_wine_bench.exe <fixture_browser.exe> [rounds [shape [tabs]]]
// shape: the fixtures' PELORIN_FIXTURE_SHAPE, ie11 unless given.
#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fixture_document.h"
#include "fixture_protocol.h"
#include "raw_address_bar.h"
#include "snapshot/browser_capture.h"
#include "support/browser_fixture.h"

namespace {

constexpr int kWindows = 10;
constexpr int kCapturesPerRound = 50;

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info))
        reinterpret_cast<std::vector<MONITORINFO>*>(list)->push_back(info);
    return TRUE;
}

struct TabRead {
    HWND page = nullptr;
    wchar_t url[2048] = {};
};

DWORD WINAPI ReadTab(void* parameter) {
    auto* tab = static_cast<TabRead*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD_PTR result = 0;
    IDispatch* document = nullptr;
    if (SendMessageTimeoutW(tab->page, RegisterWindowMessageW(L"WM_HTML_GETOBJECT"), 0, 0,
                            SMTO_ABORTIFHUNG, 1000, &result) &&
        SUCCEEDED(ObjectFromLresult(LRESULT(result), IID_IDispatch, 0,
                                    reinterpret_cast<void**>(&document)))) {
        OLECHAR name[] = L"URL";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        DISPPARAMS none = {};
        VARIANT url = {};
        if (SUCCEEDED(document->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
            SUCCEEDED(document->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                       &none, &url, nullptr, nullptr)) &&
            url.vt == VT_BSTR) {
            lstrcpynW(tab->url, url.bstrVal, 2048);
        }
        VariantClear(&url);
        document->Release();
    }
    CoUninitialize();
    return 0;
}

// An IAccessible property by DISPID through IDispatch, of `child` (or of
// none, for the count), as the capture asks for it.
VARIANT RawProperty(IDispatch* object, DISPID id, LONG child, bool ofChild = true) {
    VARIANT argument = {};
    argument.vt = VT_I4;
    argument.lVal = child;
    DISPPARAMS parameters = {&argument, nullptr, ofChild ? 1u : 0u, 0};
    VARIANT value = {};
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &parameters, &value,
                   nullptr, nullptr);
    return value;
}

// The page tab list at or below `object` (three levels), held, or null.
IDispatch* RawTabList(IDispatch* object, int depth) {
    VARIANT role = RawProperty(object, DISPID_ACC_ROLE, CHILDID_SELF);
    if (role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_PAGETABLIST) {
        object->AddRef();
        return object;
    }
    VARIANT count = RawProperty(object, DISPID_ACC_CHILDCOUNT, 0, false);
    for (LONG child = 1; depth > 0 && count.vt == VT_I4 && child <= count.lVal; ++child) {
        VARIANT inner = RawProperty(object, DISPID_ACC_CHILD, child);
        IDispatch* list = inner.vt == VT_DISPATCH ? RawTabList(inner.pdispVal, depth - 1) : nullptr;
        VariantClear(&inner);
        if (list)
            return list;
    }
    return nullptr;
}

// The tab row's page tab names, in order, read on a thread as the capture does.
DWORD WINAPI ReadRow(void* parameter) {
    const HWND row = static_cast<HWND>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IDispatch* object = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(row, DWORD(OBJID_CLIENT), IID_IDispatch,
                                             reinterpret_cast<void**>(&object)))) {
        if (IDispatch* list = RawTabList(object, 3)) {
            VARIANT count = RawProperty(list, DISPID_ACC_CHILDCOUNT, 0, false);
            for (LONG child = 1; count.vt == VT_I4 && child <= count.lVal; ++child) {
                VARIANT inner = RawProperty(list, DISPID_ACC_CHILD, child);
                IDispatch* holder = inner.vt == VT_DISPATCH ? inner.pdispVal : list;
                const LONG id = inner.vt == VT_DISPATCH ? CHILDID_SELF : child;
                const VARIANT role = RawProperty(holder, DISPID_ACC_ROLE, id);
                if (role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_PAGETAB) {
                    VARIANT name = RawProperty(holder, DISPID_ACC_NAME, id);
                    VariantClear(&name);
                }
                VariantClear(&inner);
            }
            list->Release();
        }
        object->Release();
    }
    CoUninitialize();
    return 0;
}

// The tabs behind the front one, each read on a thread of its own, after the
// tab row's order, read on a thread too.
void RawTabs(HWND frame) {
    if (const HWND band = FindWindowExA(frame, nullptr, "TabBandClass", nullptr)) {
        const HWND row = FindWindowExA(band, nullptr, "DirectUIHWND", nullptr);
        const HANDLE thread = CreateThread(nullptr, 0, ReadRow, row, 0, nullptr);
        WaitForSingleObject(thread, 1000);
        CloseHandle(thread);
    }
    std::vector<TabRead> tabs;
    for (HWND holder = FindWindowExA(frame, nullptr, "Frame Tab", nullptr); holder;
         holder = FindWindowExA(frame, holder, "Frame Tab", nullptr)) {
        const HWND tab = FindWindowExA(holder, nullptr, "TabWindowClass", nullptr);
        const HWND view = FindWindowExA(tab, nullptr, "Shell DocObject View", nullptr);
        const HWND page = FindWindowExA(view, nullptr, "Internet Explorer_Server", nullptr);
        if (!IsWindowVisible(tab))
            tabs.push_back({page});
    }
    std::vector<HANDLE> threads;
    for (TabRead& tab : tabs)
        threads.push_back(CreateThread(nullptr, 0, ReadTab, &tab, 0, nullptr));
    WaitForMultipleObjects(DWORD(threads.size()), threads.data(), TRUE, 1000);
    for (size_t i = 0; i < tabs.size(); ++i) {
        CloseHandle(threads[i]);
        char stored[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, tabs[i].url, -1, stored, sizeof stored, nullptr, nullptr);
    }
}

// What capture must do, written out in Win32 calls, keeping what it finds.
int RawCapture() {
    std::vector<MONITORINFO> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    int frames = 0;
    for (HWND window : windows) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char name[1024] = {};
        GetClassNameA(window, name, sizeof name);
        if (std::strcmp(name, "IEFrame") != 0)
            continue;
        char title[1024] = {};
        GetWindowTextA(window, title, sizeof title);
        // Read and converted as the capture does; the bare program keeps nothing.
        RawAddressBar(window);
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        GetWindowPlacement(window, &placement);
        if (placement.showCmd == SW_SHOWNORMAL &&
            GetWindowRect(window, &placement.rcNormalPosition)) {
            // Screen to workspace coordinates on the monitor holding the corner.
            RECT& r = placement.rcNormalPosition;
            for (const MONITORINFO& m : monitors) {
                if (PtInRect(&m.rcMonitor, POINT{r.left, r.top})) {
                    OffsetRect(&r, m.rcMonitor.left - m.rcWork.left,
                               m.rcMonitor.top - m.rcWork.top);
                    break;
                }
            }
        }
        RawTabs(window);
        std::printf("%s\n", title);
        ++frames;
    }
    return frames;
}

int PelorinCapture() {
    BrowserWindowList list;
    CaptureBrowserWindows(list);
    return static_cast<int>(list.size());
}

template <typename Capture>
double MillisecondsOf(Capture capture, int& frames) {
    const auto start = std::chrono::steady_clock::now();
    frames = capture();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One round: captures of both kinds taken in turns, so that a change of the
// machine's load (other builds share it) meets both alike; the first of each
// pair alternates, so neither always meets a cold cache. The mean per
// capture of each.
void Round(double& raw, double& pelorin, int& rawFrames, int& pelorinFrames) {
    raw = pelorin = 0;
    for (int i = 0; i < kCapturesPerRound; ++i) {
        if (i % 2 == 0) {
            raw += MillisecondsOf(RawCapture, rawFrames);
            pelorin += MillisecondsOf(PelorinCapture, pelorinFrames);
        } else {
            pelorin += MillisecondsOf(PelorinCapture, pelorinFrames);
            raw += MillisecondsOf(RawCapture, rawFrames);
        }
    }
    raw /= kCapturesPerRound;
    pelorin /= kCapturesPerRound;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FIXTURE_BROWSER [rounds]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const char* shape = argc > 3 ? argv[3] : "ie11";
    SetEnvironmentVariableA(fixture::kShapeVariable, shape);
    const bool tabs = argc > 4 && std::strcmp(argv[4], "tabs") == 0;
    if (tabs)
        SetEnvironmentVariableW(fixture::kTabsVariable, L"http://bench.test/b http://bench.test/c");
    if (!e2e::InstallFixtureBrowser(argv[1]) || !e2e::CloseEveryBrowserFrame()) {
        std::fprintf(stderr, "cannot install the fixture browser\n");
        return 1;
    }
    for (int i = 0; i < kWindows; ++i) {
        const DWORD pid = e2e::StartBrowser("http://bench.test/" + std::to_string(i));
        if (pid == 0 || e2e::WaitForFrameOf(pid) == nullptr) {
            std::fprintf(stderr, "fixture %d did not open\n", i);
            e2e::CloseEveryBrowserFrame();
            return 1;
        }
    }
    // The title lines go nowhere, the same for both.
    std::FILE* sink = std::freopen("NUL", "w", stdout);
    std::vector<double> raw, pelorin;
    int rawFrames = 0, pelorinFrames = 0;
    for (int round = 0; round < rounds; ++round) {
        double r = 0, p = 0;
        Round(r, p, rawFrames, pelorinFrames);
        raw.push_back(r);
        pelorin.push_back(p);
    }
    if (sink)
        std::fflush(stdout);
    std::FILE* err = stderr;
    const double r = Median(raw), p = Median(pelorin);
    std::fprintf(err,
                 "capture of %d %s-shaped frames%s (%d found raw), %d rounds of %d: raw calls "
                 "median %.3f ms, "
                 "CaptureBrowserWindows median %.3f ms: %.2fx (goal <= 1.05x)\n",
                 pelorinFrames, shape, tabs ? " of three tabs" : "", rawFrames, rounds,
                 kCapturesPerRound, r, p, p / r);
    e2e::CloseEveryBrowserFrame();
    return pelorinFrames == kWindows && rawFrames == kWindows ? 0 : 1;
}
