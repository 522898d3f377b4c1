// Capture and launch against real windows under Wine: fixture frames at each
// show state, Wine's own browser (which has no address bar chain), and the
// launch of the installed browser, also with a program planted where an
// unquoted path would lead.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "fixture_document.h"
#include "fixture_protocol.h"
#include "snapshot/browser_capture.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/browser_desktop_test.h"
#include "support/test_programs.h"

namespace e2e {
namespace {

struct FrameCase {
    const char* address;
    FramePlacement placement;
};

const FrameCase kFrameCases[] = {
    {"http://normal.test/page", {SW_SHOWNORMAL, {100, 50, 900, 650}}},
    {"http://maximised.test/", {SW_SHOWMAXIMIZED, {120, 80, 1120, 780}}},
    {"about:minimised", {SW_SHOWMINIMIZED, {30, 40, 530, 440}}},
};

platform::WindowHandle Handle(HWND hwnd) {
    return reinterpret_cast<platform::WindowHandle>(hwnd);
}

RECT RectOf(const BrowserWindowRecord& record) {
    return {record.w_x, record.w_y, record.w_x + record.w_width, record.w_y + record.w_height};
}

std::string TitleOf(HWND window) {
    char title[1024] = {};
    GetWindowTextA(window, title, sizeof(title));
    return title;
}

using CaptureTest = BrowserDesktopTest;

TEST_F(CaptureTest, RecordsEveryFixtureFrameInEnumerationOrder) {
    std::vector<StartedFrame> started;
    for (const auto& c : kFrameCases) {
        started.push_back(StartFixture(c.address, c.placement));
        ASSERT_NE(started.back().hwnd, nullptr);
        // The fixture itself must be where the test put it, or nothing below
        // says anything about capture.
        const auto own = AskFixturePlacement(started.back().hwnd);
        ASSERT_TRUE(own.has_value());
        ASSERT_EQ(*own, c.placement) << Describe(*own);
    }

    BrowserWindowList list;
    CaptureBrowserWindows(list);

    const std::vector<HWND> frames = BrowserFrames();
    ASSERT_EQ(list.size(), 3u);
    std::vector<HWND> captured;
    for (const auto& record : list)
        captured.push_back(reinterpret_cast<HWND>(record.hwnd));
    EXPECT_EQ(captured, frames) << "records must follow the enumeration order";

    for (size_t i = 0; i < started.size(); ++i) {
        SCOPED_TRACE(kFrameCases[i].address);
        const auto record = std::find_if(list.begin(), list.end(), [&](const auto& r) {
            return reinterpret_cast<HWND>(r.hwnd) == started[i].hwnd;
        });
        ASSERT_NE(record, list.end());
        EXPECT_EQ(record->name, "IEFrame");
        EXPECT_EQ(record->option, started[i].address);
        EXPECT_EQ(record->title, fixture::TitleFor(started[i].address));
        EXPECT_EQ(record->pid, started[i].pid);
        EXPECT_EQ(record->style, std::int32_t(kFrameCases[i].placement.showCmd));
        // The record holds the normal rectangle as GetWindowPlacement gives
        // it to another process. On Windows that is the fixture's own; Wine
        // gives the current rectangle for maximised and minimised windows.
        const auto seen = PlacementSeenFromHere(started[i].hwnd);
        ASSERT_TRUE(seen.has_value());
        const RECT rect = RectOf(*record);
        EXPECT_TRUE(EqualRect(&rect, &seen->normal)) << Describe(*seen);
        if (kFrameCases[i].placement.showCmd == SW_SHOWNORMAL) {
            EXPECT_TRUE(EqualRect(&rect, &kFrameCases[i].placement.normal));
        }
    }
}

// The fixture's shapes: IE 6's chain, then IE 7's, IE 8's (an empty combo box
// beside the Edit) and IE 9 to 11's.
TEST_F(CaptureTest, AddressBarTextComesThroughTheChildChain) {
    for (const char* shape : {"ie6", "ie7", "ie8", "ie11"}) {
        SCOPED_TRACE(shape);
        SetEnvironmentVariableA(fixture::kShapeVariable, shape);
        const StartedFrame frame = StartFixture("http://chain.test/a?b=c#" + std::string(shape));
        SetEnvironmentVariableA(fixture::kShapeVariable, nullptr);
        ASSERT_NE(frame.hwnd, nullptr);
        EXPECT_EQ(GetAddressBarText(Handle(frame.hwnd)), frame.address);
    }
    // A window without the chain (the test's own) reads as empty.
    const HWND plain = CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
    EXPECT_EQ(GetAddressBarText(Handle(plain)), "");
    DestroyWindow(plain);
}

// Every tab's address through its document, the front one as the address bar
// shows it; a tab whose document hangs inside get_URL, served on another
// thread than its window's, is left out once the reading's deadline passed.
TEST_F(CaptureTest, EveryTabIsReadAndAHungOneLeftOut) {
    // Tabs past those read side by side, or past the cap on stuck readers,
    // are read all the same. The tab in front has its windows first, as the
    // last one activated: only the tab row gives the order. Tabs of one title
    // each take a window of it.
    std::vector<std::string> expected{"http://one.test/", "http://front.test/",
                                      "http://three.test/?q=1"};
    std::wstring tabs = L"http://one.test/ * http://hangs.invalid/ http://three.test/?q=1";
    for (int i = 10; i < 30; ++i) {
        expected.push_back("http://t" + std::to_string(i) + ".test/");
        tabs += L" http://t" + std::to_wstring(i) + L".test/";
    }
    expected.push_back("http://one.test/");
    tabs += L" http://one.test/";
    SetEnvironmentVariableA(fixture::kShapeVariable, "ie11");
    SetEnvironmentVariableW(fixture::kTabsVariable, tabs.c_str());
    const StartedFrame frame = StartFixture("http://front.test/");
    SetEnvironmentVariableW(fixture::kTabsVariable, nullptr);
    SetEnvironmentVariableA(fixture::kShapeVariable, nullptr);
    ASSERT_NE(frame.hwnd, nullptr);

    const DWORD start = GetTickCount();
    BrowserWindowList list;
    CaptureBrowserWindows(list);
    const DWORD took = GetTickCount() - start;
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().tabs, expected);
    EXPECT_EQ(list.front().front_tab, 1);
    EXPECT_LT(took, 5000u) << "the hung tab held the capture up";
}

TEST_F(CaptureTest, WineOwnBrowserHasEmptyAddressAndEverythingElse) {
    // A fixture beside it, started from where it was built: the installed
    // executable cannot be replaced while it runs.
    const DWORD fixturePid =
        StartBrowser("http://beside.test/", FramePlacement{SW_SHOWNORMAL, {10, 10, 410, 310}},
                     Programs().fixtureBrowser);
    ASSERT_NE(WaitForFrameOf(fixturePid), nullptr);
    ASSERT_TRUE(UseWineBrowser());
    const DWORD pid = StartBrowser("about:blank");
    ASSERT_NE(pid, 0u);
    const HWND frame = WaitForFrameOf(pid, 30000ms);
    ASSERT_NE(frame, nullptr) << "Wine's browser opened no visible IEFrame";

    BrowserWindowList list;
    CaptureBrowserWindows(list);
    ASSERT_EQ(list.size(), 2u);
    const auto record = std::find_if(list.begin(), list.end(), [&](const auto& r) {
        return reinterpret_cast<HWND>(r.hwnd) == frame;
    });
    ASSERT_NE(record, list.end());
    const auto seen = PlacementSeenFromHere(frame);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(record->option, "");
    EXPECT_EQ(record->name, "IEFrame");
    EXPECT_EQ(record->title, TitleOf(frame));
    EXPECT_NE(record->title, "");
    EXPECT_EQ(record->pid, pid);
    EXPECT_EQ(record->style, std::int32_t(seen->showCmd));
    const RECT rect = RectOf(*record);
    EXPECT_TRUE(EqualRect(&rect, &seen->normal)) << Describe(*seen);
    EXPECT_GT(record->w_width, 0);
    EXPECT_GT(record->w_height, 0);

    const auto fixture =
        std::find_if(list.begin(), list.end(), [&](const auto& r) { return r.pid == fixturePid; });
    ASSERT_NE(fixture, list.end());
    EXPECT_EQ(fixture->option, "http://beside.test/");
    EXPECT_EQ(fixture->w_x, 10);
    EXPECT_EQ(fixture->w_width, 400);
}

// Texts are ANSI bytes end to end: a Shift-JIS address (code page 932, as the
// Wine session sets it up) reaches the frame, the record and the file as the
// same bytes.
// GetWindowTextA sends WM_GETTEXT to a window of the calling process, even
// one of another thread: a capture must not ask that of windows that are no
// browser frames, such as a window of a busy thread of the program itself.
TEST_F(CaptureTest, DoesNotWaitForABusyThreadOfItsOwnProcess) {
    StartFixture("about:beside");
    struct Busy {
        HANDLE up = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        static DWORD WINAPI Run(void* self) {
            auto* busy = static_cast<Busy*>(self);
            const HWND window = CreateWindowExA(0, "STATIC", "busy", WS_POPUP, 0, 0, 10, 10,
                                                nullptr, nullptr, nullptr, nullptr);
            SetEvent(busy->up);
            WaitForSingleObject(busy->release, INFINITE);  // reads no message meanwhile
            DestroyWindow(window);
            return 0;
        }
    } busy;
    const HANDLE thread = CreateThread(nullptr, 0, &Busy::Run, &busy, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(busy.up, 5000), WAIT_OBJECT_0);

    struct Capture {
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        BrowserWindowList list;
        static DWORD WINAPI Run(void* self) {
            auto* capture = static_cast<Capture*>(self);
            CaptureBrowserWindows(capture->list);
            SetEvent(capture->done);
            return 0;
        }
    } capture;
    const HANDLE capturing = CreateThread(nullptr, 0, &Capture::Run, &capture, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(capture.done, 5000), WAIT_OBJECT_0)
        << "the capture waited for the busy thread";
    SetEvent(busy.release);
    WaitForSingleObject(capturing, INFINITE);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(capture.list.size(), 1u);
    for (HANDLE h : {thread, capturing, busy.up, busy.release, capture.done})
        CloseHandle(h);
}

TEST_F(CaptureTest, JapaneseAddressKeptAsAnsiBytes) {
    if (GetACP() != 932)
        GTEST_SKIP() << "needs ANSI code page 932, this is " << GetACP();
    const std::string address = "http://\x93\xfa\x96\x7b.test/\x83\x65\x83\x58\x83\x67";
    const StartedFrame frame = StartFixture(address);
    ASSERT_NE(frame.hwnd, nullptr);
    EXPECT_EQ(TitleOf(frame.hwnd), fixture::TitleFor(address));

    BrowserWindowList list;
    CaptureBrowserWindows(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().option, address);
    EXPECT_EQ(list.front().title, fixture::TitleFor(address));
    ASSERT_TRUE(EnsureSaveFolder());
    ASSERT_TRUE(WriteSnapshotFile(list));
    const auto bytes = ReadFileBytes(NewestSnapshotFile());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_NE(bytes->find("option=" + address + "\r\n"), std::string::npos) << Visible(*bytes);
    EXPECT_NE(bytes->find("title=" + fixture::TitleFor(address) + "\r\n"), std::string::npos);
}

// Addresses the code page lacks are kept as their ASCII URI, and a restore
// starts the browser with that; one the code page holds keeps its bytes.
struct WideAddressCase {
    const wchar_t* shown;
    const char* stored;
};
const WideAddressCase kWideAddressCases[] = {
    {L"http://fr.example/caf\u00E9", "http://fr.example/caf%C3%A9"},
    {L"http://\uD55C\uAD6D.example/a", "http://xn--3e0b707e.example/a"},
    {L"C:\\\uD55C\\a b.html", "file:///C:/%ED%95%9C/a%20b.html"},
    {L"http://\u65E5\u672C.test/\u30C6\u30B9\u30C8",
     "http://\x93\xfa\x96\x7b.test/\x83\x65\x83\x58\x83\x67"},
};

TEST_F(CaptureTest, AddressOutsideTheCodePageKeptAsItsUriAndRestored) {
    if (GetACP() != 932)
        GTEST_SKIP() << "needs ANSI code page 932, this is " << GetACP();
    std::multiset<std::string> stored;
    for (const auto& c : kWideAddressCases) {
        ASSERT_NE(WaitForFrameOf(StartBrowser(std::wstring(c.shown))), nullptr);
        stored.insert(c.stored);
    }
    // A file that exists is kept by its short path, which the code page holds,
    // shown as a path or as a file: address alike.
    ASSERT_TRUE(CreateDirectoryW(L"\uD55C", nullptr));
    const HANDLE file =
        CreateFileW(L"\uD55C\\a b#1.html", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    wchar_t full[MAX_PATH] = {};
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_NE(GetFullPathNameW(L"\uD55C\\a b#1.html", MAX_PATH, full, nullptr), 0u);
    ASSERT_NE(GetShortPathNameW(full, shortPath, MAX_PATH), 0u);
    char ansi[MAX_PATH] = {};
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortPath, -1, ansi, MAX_PATH, nullptr,
                        &lost);
    ASSERT_FALSE(lost) << "no short name within the code page";
    std::wstring asUri = L"file:///";
    for (const wchar_t* c = full; *c; ++c)
        asUri += *c == L'\\'  ? L"/"
                 : *c == L' ' ? L"%20"
                 : *c == L'#' ? L"%23"
                              : std::wstring(1, *c);
    for (const std::wstring& shown : {std::wstring(full), asUri}) {
        ASSERT_NE(WaitForFrameOf(StartBrowser(shown)), nullptr);
        stored.insert(ansi);
    }
    CSnapshotManager manager;
    manager.CreateWait = 300;
    manager.ResizeWait = 1500;
    ASSERT_TRUE(EnsureSaveFolder());
    ASSERT_TRUE(manager.SaveSnapshot());
    const auto bytes = ReadFileBytes(NewestSnapshotFile());
    ASSERT_TRUE(bytes.has_value());
    for (const std::string& address : stored)
        EXPECT_NE(bytes->find("option=" + address + "\r\n"), std::string::npos) << Visible(*bytes);

    ASSERT_TRUE(CloseEveryBrowserFrame());
    manager.Restore("");
    ASSERT_TRUE(WaitUntil([&] { return BrowserFrames().size() == stored.size(); }));
    std::multiset<std::string> restored;
    for (HWND frame : BrowserFrames())
        restored.insert(GetAddressBarText(Handle(frame)));
    EXPECT_EQ(restored, stored);
}

using LaunchTest = BrowserDesktopTest;

TEST_F(LaunchTest, ReturnsTheIdOfTheProcessThatOwnsTheNewFrame) {
    CSnapshotManager manager;
    EXPECT_EQ(manager.BrowserPath, BrowserExecutablePath());
    for (const std::string address : {"http://launch.test/one", ""}) {
        SCOPED_TRACE("address '" + address + "'");
        const platform::ProcessId pid = manager.LaunchBrowser(address);
        ASSERT_NE(pid, 0u);
        const HWND frame = WaitForFrameOf(pid);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(OwnerOf(frame), pid);
        EXPECT_EQ(GetAddressBarText(Handle(frame)), address);
        EXPECT_EQ(ParentOf(pid), GetCurrentProcessId());
    }
}

TEST_F(LaunchTest, MissingBrowserStartsNothing) {
    CSnapshotManager manager;
    manager.BrowserPath = "C:\\Program Files\\Nowhere\\IEXPLORE.EXE";
    EXPECT_EQ(manager.LaunchBrowser("about:blank"), 0u);
}

bool MarkerRan() {
    return GetFileAttributesA(fixture::kMarkerFile) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(LaunchTest, PlantedProgramOnTheBrowserPathIsNeverStarted) {
    ASSERT_NE(BrowserExecutablePath().find(' '), std::string::npos)
        << "the planted program only lies in wait on a path with a space";
    ASSERT_TRUE(CopyFileA(Programs().markerProgram.c_str(), "C:\\Program.exe", FALSE));
    DeleteFileA(fixture::kMarkerFile);

    // The plant is live: the browser path given unquoted and without an
    // application name runs it.
    std::string unquoted = BrowserExecutablePath() + " about:blank";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, unquoted.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(process.hThread);
    // The marker holds its file open until it ends.
    const DWORD ended = WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    ASSERT_EQ(ended, WAIT_OBJECT_0);
    ASSERT_TRUE(MarkerRan()) << "the planted program did not run";
    ASSERT_TRUE(DeleteFileA(fixture::kMarkerFile));

    CSnapshotManager manager;
    const platform::ProcessId pid = manager.LaunchBrowser("http://planted.test/");
    ASSERT_NE(pid, 0u);
    const HWND frame = WaitForFrameOf(pid);
    ASSERT_NE(frame, nullptr) << "the launch did not start the browser";
    EXPECT_EQ(GetAddressBarText(Handle(frame)), "http://planted.test/");
    // The process the launch started is the browser, so the marker cannot
    // have been it; it must not have been started on the side either.
    EXPECT_FALSE(MarkerRan()) << ReadFileBytes(fixture::kMarkerFile).value_or("");
}

}  // namespace
}  // namespace e2e
