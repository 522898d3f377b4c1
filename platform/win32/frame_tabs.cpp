// A frame's tabs, read from and opened in another program's browser.
//
// Every call that reaches a page's document goes through COM into the
// browser's process, and a call into a hung tab blocks until the tab wakes,
// its Release included; COM has no call that would give up after a time
// (CoCancelCall aborts the process under Wine). So that work runs on worker
// threads that this thread waits for with a deadline and abandons when it
// passes. A worker touches nothing but its own block, which it and the
// caller share by a reference count, so an abandoned worker may finish or
// never finish without harm.
// windows.h must come first: the COM headers build on its types.
#include <windows.h>

#include <ole2.h>
#include <oleacc.h>
#include <servprov.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/stored_address.h"

namespace platform {
namespace {

// How long a frame's reading, or each tab it is asked to open, may hold the
// program up: as long as a message sent to its window.
constexpr DWORD kAnswerWaitMs = 1000;
// Workers left behind in hung browsers; once this many are stuck, frames are
// read without their tabs rather than leave more threads behind.
constexpr LONG kMaxStuckWorkers = 8;
// Tabs read side by side. A frame may hold hundreds: one thread each at once
// would take that many stacks of the 32-bit address space.
constexpr std::size_t kWorkersAtOnce = 16;
constexpr SIZE_T kWorkerStack = 256 * 1024;
// How deep below the tab row's window its list of tabs is looked for, and
// how many children of each object: a bound on a walk that a strange tree
// could make long.
constexpr int kRowDepth = 3;
constexpr LONG kRowChildren = 1024;

constexpr LONG kOpenInNewTab = 0x0800;         // navOpenInNewTab: selects the tab
constexpr LONG kOpenInBackgroundTab = 0x1000;  // navOpenInBackgroundTab
constexpr DISPID kNavigate2 = 500;             // IWebBrowser2::Navigate2
// SID_SWebBrowserApp, the service that is the page's browser: IWebBrowserApp's IID.
constexpr GUID kWebBrowserApp = {
    0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Workers given up on and not yet done, counted across calls: the only
// state shared with the workers besides their own blocks. Not those merely
// running: a frame of many tabs would then lose the tabs past the cap.
LONG stuckWorkers = 0;

// The COM entry points, loaded from the system folder when first needed:
// oleacc is no known DLL, and an import of it would be looked for beside
// the program first. Never unloaded, since abandoned workers may still use it.
struct ComApi {
    HRESULT(WINAPI* CoInitializeEx)(LPVOID, DWORD) = nullptr;
    void(WINAPI* CoUninitialize)() = nullptr;
    HRESULT(WINAPI* ObjectFromLresult)(LRESULT, REFIID, WPARAM, void**) = nullptr;
    HRESULT(WINAPI* AccessibleObjectFromWindow)(HWND, DWORD, REFIID, void**) = nullptr;
    BSTR(WINAPI* SysAllocString)(const OLECHAR*) = nullptr;
    void(WINAPI* SysFreeString)(BSTR) = nullptr;
    UINT(WINAPI* SysStringLen)(BSTR) = nullptr;
    HRESULT(WINAPI* VariantClear)(VARIANTARG*) = nullptr;
};

void* Resolve(const wchar_t* dll, const char* name) {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(dll) >= MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    lstrcpyW(path + length + 1, dll);
    const HMODULE module = LoadLibraryW(path);
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

template <typename Function>
bool Resolve(const wchar_t* dll, const char* name, Function& function) {
    function = reinterpret_cast<Function>(Resolve(dll, name));
    return function != nullptr;
}

bool LoadComApi(ComApi& api) {
    return Resolve(L"ole32.dll", "CoInitializeEx", api.CoInitializeEx) &&
           Resolve(L"ole32.dll", "CoUninitialize", api.CoUninitialize) &&
           Resolve(L"oleacc.dll", "ObjectFromLresult", api.ObjectFromLresult) &&
           Resolve(L"oleacc.dll", "AccessibleObjectFromWindow", api.AccessibleObjectFromWindow) &&
           Resolve(L"oleaut32.dll", "SysAllocString", api.SysAllocString) &&
           Resolve(L"oleaut32.dll", "SysFreeString", api.SysFreeString) &&
           Resolve(L"oleaut32.dll", "SysStringLen", api.SysStringLen) &&
           Resolve(L"oleaut32.dll", "VariantClear", api.VariantClear);
}

// One tab's windows: the TabWindowClass window's text (the tab's title), the
// page's "Internet Explorer_Server" below it (null when it has none) and
// whether it is the tab shown: a frame hides the windows of the tabs behind.
struct Work;
struct TabWindows {
    std::wstring title;
    HWND server = nullptr;
    bool front = false;
    Work* work = nullptr;  // reading it
};

// IE 7 keeps its tabs' windows below the frame, IE 8 and later each below a
// "Frame Tab" child of it; the page below TabWindowClass > Shell DocObject View.
// In the order of the windows, which may be that of the tabs' last activation.
void AddTabsBelow(HWND parent, std::vector<TabWindows>& tabs) {
    for (HWND tab = FindWindowExW(parent, nullptr, L"TabWindowClass", nullptr); tab;
         tab = FindWindowExW(parent, tab, L"TabWindowClass", nullptr)) {
        const HWND view = FindWindowExW(tab, nullptr, L"Shell DocObject View", nullptr);
        // Not GetWindowText: it reads another program's child windows as
        // empty, and WM_GETTEXT would wait on a hung browser. This reads the
        // text the system keeps and sends nothing.
        wchar_t title[1024] = {};
        InternalGetWindowText(tab, title, 1024);
        tabs.push_back(
            {title,
             view ? FindWindowExW(view, nullptr, L"Internet Explorer_Server", nullptr) : nullptr,
             IsWindowVisible(tab) != FALSE, nullptr});
    }
}

BOOL CALLBACK KeepTabBand(HWND child, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (lstrcmpW(name, L"TabBandClass") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// The window of the frame's tab row, or null: the "DirectUIHWND" of the
// "TabBandClass" band, which sits in the frame's rebar.
HWND FindTabRow(HWND frame) {
    HWND band = nullptr;
    EnumChildWindows(frame, KeepTabBand, reinterpret_cast<LPARAM>(&band));
    return band ? FindWindowExW(band, nullptr, L"DirectUIHWND", nullptr) : nullptr;
}

// Puts the windows in the tab row's order, given the row's titles: each
// title takes the first window not yet taken that bears it, so tabs of one
// title keep their windows' order. The windows taken fill, in the row's
// order, the places the taken ones held; the others keep their places.
void OrderAsRow(std::vector<TabWindows>& windows, const std::vector<std::wstring>& titles) {
    std::vector<bool> taken(windows.size(), false);
    std::vector<std::size_t> inRow;
    for (const std::wstring& title : titles) {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (!taken[i] && windows[i].title == title) {
                taken[i] = true;
                inRow.push_back(i);
                break;
            }
        }
    }
    std::vector<TabWindows> ordered = windows;
    std::size_t next = 0;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (taken[i])
            ordered[i] = windows[inRow[next++]];
    }
    windows.swap(ordered);
}

std::vector<TabWindows> FindTabs(HWND frame) {
    std::vector<TabWindows> tabs;
    AddTabsBelow(frame, tabs);
    for (HWND frameTab = FindWindowExW(frame, nullptr, L"Frame Tab", nullptr); frameTab;
         frameTab = FindWindowExW(frame, frameTab, L"Frame Tab", nullptr)) {
        AddTabsBelow(frameTab, tabs);
    }
    return tabs;
}

// Waits for `event` until `deadline` (GetTickCount), answering the messages
// sent to this thread meanwhile. True when it was set.
bool AwaitEvent(HANDLE event, DWORD deadline) {
    for (;;) {
        const LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0)
            return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(1, &event, static_cast<DWORD>(left), QS_SENDMESSAGE, 0);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken == WAIT_FAILED)
            return false;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD | PM_QS_SENDMESSAGE);
    }
}

// The page's document, asked of its window the documented way: the registered
// message, then the object it hands over. Null when either fails or the
// window does not answer in time.
IDispatch* DocumentOf(const ComApi& api, HWND server) {
    const UINT getObject = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    DWORD_PTR result = 0;
    if (getObject == 0 ||
        !SendMessageTimeoutW(server, getObject, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &result)) {
        return nullptr;
    }
    IDispatch* document = nullptr;
    // Through IDispatch, which needs no type library to cross processes.
    if (FAILED(api.ObjectFromLresult(static_cast<LRESULT>(result), IID_IDispatch, 0,
                                     reinterpret_cast<void**>(&document)))) {
        return nullptr;
    }
    return document;
}

// What one worker is given and gives back; shared with the caller.
enum WorkState : LONG { kRunning, kAbandoned, kFinished };

struct Work {
    ComApi api;
    HWND server = nullptr;               // the page, or the tab row with `row`
    bool row = false;                    // read the titles of the tab row
    std::vector<std::wstring> titles;    // read: the tab row's, in its order
    std::vector<std::string> addresses;  // to open but the first, as ANSI; none to read the URL
    std::size_t front = 0;
    std::wstring url;       // read: the document's URL
    LONG succeeded = 0;     // set once `url` is complete, or every tab was opened
    HANDLE done = nullptr;  // set when the worker is through
    LONG references = 2;
    LONG state = 0;  // kRunning, kAbandoned or kFinished: who counts it as stuck

    void Release() {
        if (InterlockedDecrement(&references) == 0) {
            CloseHandle(done);
            delete this;
        }
    }
};

bool ReadUrl(Work& work, IDispatch* document) {
    OLECHAR name[] = L"URL";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    if (FAILED(document->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return false;
    DISPPARAMS none = {};
    VARIANT url = {};  // VT_EMPTY
    const HRESULT got = document->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                         &none, &url, nullptr, nullptr);
    const bool read = SUCCEEDED(got) && url.vt == VT_BSTR;
    if (read && url.bstrVal != nullptr)
        work.url.assign(url.bstrVal, work.api.SysStringLen(url.bstrVal));
    work.api.VariantClear(&url);
    return read;
}

// An IAccessible property through IDispatch by its DISPID, of `child`
// (CHILDID_SELF for the object itself) or, for the count, of none: IAccessible
// is dual, and IDispatch crosses processes without its type library.
bool GetProperty(const ComApi& api, IDispatch* object, DISPID id, VARIANT& value, VARTYPE type,
                 LONG child = CHILDID_SELF, bool ofChild = true) {
    VARIANT argument = {};
    argument.vt = VT_I4;
    argument.lVal = child;
    DISPPARAMS parameters = {&argument, nullptr, ofChild ? 1u : 0u, 0};
    if (SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                 &parameters, &value, nullptr, nullptr)) &&
        value.vt == type) {
        return true;
    }
    api.VariantClear(&value);
    return false;
}

LONG ChildCount(const ComApi& api, IDispatch* object) {
    VARIANT count = {};
    if (!GetProperty(api, object, DISPID_ACC_CHILDCOUNT, count, VT_I4, 0, false))
        return 0;
    return std::min(count.lVal, kRowChildren);
}

LONG Role(const ComApi& api, IDispatch* object, LONG child = CHILDID_SELF) {
    VARIANT role = {};
    return GetProperty(api, object, DISPID_ACC_ROLE, role, VT_I4, child) ? role.lVal : 0;
}

// The object of `child`, or null when it is an element its parent answers for.
IDispatch* ChildObject(const ComApi& api, IDispatch* object, LONG child) {
    VARIANT value = {};
    return GetProperty(api, object, DISPID_ACC_CHILD, value, VT_DISPATCH, child) ? value.pdispVal
                                                                                 : nullptr;
}

// The page tab list at or below `object`, held; null when there is none.
// Children are asked for by the ids 1 to their count, as scripts that
// walk IE's tab row do: AccessibleChildren would need IAccessible itself
// marshalled.
IDispatch* FindTabList(const ComApi& api, IDispatch* object, int depth) {
    if (Role(api, object) == ROLE_SYSTEM_PAGETABLIST) {
        object->AddRef();
        return object;
    }
    const LONG count = depth > 0 ? ChildCount(api, object) : 0;
    for (LONG child = 1; child <= count; ++child) {
        IDispatch* inner = ChildObject(api, object, child);
        IDispatch* list = inner ? FindTabList(api, inner, depth - 1) : nullptr;
        if (inner)
            inner->Release();
        if (list)
            return list;
    }
    return nullptr;
}

// The names of the page tabs in the row's list, in its order: the tabs'
// titles. Other children (a button for a new tab) are passed over.
bool ReadRow(Work& work) {
    IDispatch* row = nullptr;
    if (FAILED(work.api.AccessibleObjectFromWindow(work.server, DWORD(OBJID_CLIENT), IID_IDispatch,
                                                   reinterpret_cast<void**>(&row))) ||
        row == nullptr) {
        return false;
    }
    IDispatch* list = FindTabList(work.api, row, kRowDepth);
    row->Release();
    if (list == nullptr)
        return false;
    const LONG count = ChildCount(work.api, list);
    for (LONG child = 1; child <= count; ++child) {
        IDispatch* inner = ChildObject(work.api, list, child);
        IDispatch* holder = inner ? inner : list;
        const LONG id = inner ? CHILDID_SELF : child;
        VARIANT name = {};
        if (Role(work.api, holder, id) == ROLE_SYSTEM_PAGETAB &&
            GetProperty(work.api, holder, DISPID_ACC_NAME, name, VT_BSTR, id)) {
            work.titles.emplace_back(name.bstrVal ? name.bstrVal : L"",
                                     name.bstrVal ? work.api.SysStringLen(name.bstrVal) : 0);
            work.api.VariantClear(&name);
        }
        if (inner)
            inner->Release();
    }
    list->Release();
    return true;
}

// Navigate2 through IDispatch, as IWebBrowser2's own type information would
// call it: the URL and the flags, the three optional arguments left out.
bool OpenAll(Work& work, IDispatch* document) {
    IServiceProvider* services = nullptr;
    if (FAILED(
            document->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services)))) {
        return false;
    }
    IDispatch* browser = nullptr;
    const HRESULT found =
        services->QueryService(kWebBrowserApp, IID_IDispatch, reinterpret_cast<void**>(&browser));
    services->Release();
    if (FAILED(found) || browser == nullptr)
        return false;
    bool opened = true;
    for (std::size_t i = 1; i < work.addresses.size() && opened; ++i) {
        VARIANT arguments[5] = {};  // last argument first
        for (VARIANT& argument : arguments) {
            argument.vt = VT_ERROR;
            argument.scode = DISP_E_PARAMNOTFOUND;
        }
        arguments[3].vt = VT_I4;
        arguments[3].lVal = i == work.front ? kOpenInNewTab : kOpenInBackgroundTab;
        // ANSI bytes or ASCII, as the browser's start is given them.
        const std::string& address = work.addresses[i];
        wchar_t wide[2048];
        const int length =
            MultiByteToWideChar(CP_ACP, 0, address.data(), int(address.size()), wide, 2047);
        wide[length] = L'\0';
        arguments[4].vt = VT_BSTR;
        arguments[4].bstrVal = work.api.SysAllocString(wide);
        DISPPARAMS parameters = {arguments, nullptr, 5, 0};
        opened =
            arguments[4].bstrVal != nullptr &&
            SUCCEEDED(browser->Invoke(kNavigate2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &parameters, nullptr, nullptr, nullptr));
        work.api.SysFreeString(arguments[4].bstrVal);
    }
    browser->Release();
    return opened;
}

DWORD WINAPI RunWork(void* parameter) {
    Work& work = *static_cast<Work*>(parameter);
    if (SUCCEEDED(work.api.CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        if (work.row) {
            if (ReadRow(work))
                InterlockedExchange(&work.succeeded, 1);
        } else if (IDispatch* document = DocumentOf(work.api, work.server)) {
            const bool succeeded =
                work.addresses.empty() ? ReadUrl(work, document) : OpenAll(work, document);
            document->Release();
            if (succeeded)
                InterlockedExchange(&work.succeeded, 1);
        }
        work.api.CoUninitialize();
    }
    if (InterlockedExchange(&work.state, kFinished) == kAbandoned)
        InterlockedDecrement(&stuckWorkers);
    SetEvent(work.done);
    work.Release();
    return 0;
}

// A block for a new worker, or null when none may start.
Work* NewWork(HWND server, const std::vector<std::string>& addresses = {}) {
    if (server == nullptr || InterlockedCompareExchange(&stuckWorkers, 0, 0) >= kMaxStuckWorkers)
        return nullptr;
    Work* work = new Work();
    work->server = server;
    work->addresses = addresses;
    work->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (work->done == nullptr || !LoadComApi(work->api)) {
        work->references = 1;
        work->Release();
        return nullptr;
    }
    return work;
}

// Starts the worker; false (the block released) when no thread could be made.
bool Start(Work* work) {
    const HANDLE thread = CreateThread(nullptr, kWorkerStack, RunWork, work,
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        work->references = 1;
        work->Release();
        return false;
    }
    CloseHandle(thread);
    return true;
}

// Waits for the worker until `deadline`, takes the URL or titles it read,
// then lets go of its block; a worker not through by then counts as stuck
// until it is. True when it succeeded.
bool Finish(Work* work, DWORD deadline, std::wstring* url = nullptr,
            std::vector<std::wstring>* titles = nullptr) {
    const bool succeeded =
        AwaitEvent(work->done, deadline) && InterlockedCompareExchange(&work->succeeded, 0, 0) != 0;
    if (succeeded && url != nullptr)
        *url = work->url;
    if (succeeded && titles != nullptr)
        titles->swap(work->titles);
    if (InterlockedCompareExchange(&work->state, kAbandoned, kRunning) == kRunning)
        InterlockedIncrement(&stuckWorkers);
    work->Release();
    return succeeded;
}

// The windows in the tab row's order; in their own when the row cannot be
// read in time.
void OrderAsRow(HWND frame, std::vector<TabWindows>& windows) {
    Work* work = NewWork(FindTabRow(frame));
    if (work == nullptr)
        return;
    work->row = true;
    std::vector<std::wstring> titles;
    if (Start(work) && Finish(work, GetTickCount() + kAnswerWaitMs, nullptr, &titles))
        OrderAsRow(windows, titles);
}

}  // namespace

std::vector<FrameTab> FrameTabs(WindowHandle frame) {
    std::vector<TabWindows> windows = FindTabs(reinterpret_cast<HWND>(frame));
    if (windows.size() < 2)
        return {};
    OrderAsRow(reinterpret_cast<HWND>(frame), windows);
    // The front tab is not read here: its address is the address bar's.
    // The others are read side by side, so that one hung tab costs the
    // others nothing.
    std::vector<FrameTab> tabs;
    for (std::size_t first = 0; first < windows.size(); first += kWorkersAtOnce) {
        const auto begin = windows.begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = windows.begin() + static_cast<std::ptrdiff_t>(
                                               std::min(windows.size(), first + kWorkersAtOnce));
        for (auto tab = begin; tab != end; ++tab) {
            if (!tab->front)
                tab->work = NewWork(tab->server);
            if (tab->work != nullptr && !Start(tab->work))
                tab->work = nullptr;
        }
        const DWORD deadline = GetTickCount() + kAnswerWaitMs;
        for (auto tab = begin; tab != end; ++tab) {
            if (tab->front) {
                tabs.push_back({std::string(), true});
            } else if (tab->work != nullptr) {
                std::wstring url;
                if (Finish(tab->work, deadline, &url))
                    tabs.push_back({StoredAddress(url), false});
            }
        }
    }
    return tabs;
}

void OpenTabs(WindowHandle frame, const std::vector<std::string>& addresses, std::size_t front) {
    const std::vector<TabWindows> windows = FindTabs(reinterpret_cast<HWND>(frame));
    const auto shown = std::find_if(windows.begin(), windows.end(),
                                    [](const TabWindows& tab) { return tab.front; });
    if (addresses.size() < 2 || shown == windows.end())
        return;
    Work* work = NewWork(shown->server, addresses);
    if (work == nullptr)
        return;
    work->front = front;
    if (!Start(work))
        return;
    Finish(work, GetTickCount() + kAnswerWaitMs * static_cast<DWORD>(addresses.size() - 1));
}

}  // namespace platform
