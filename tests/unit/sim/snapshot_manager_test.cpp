// The snapshot manager on the simulated desktop: save, close all, restore
// with its waits and placement, the topmost toggle and the end of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_files.h"
#include "snapshot/snapshot_manager.h"
#include "snapshot/workspace.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

// For gtest's messages: "x, y, width x height".
void PrintTo(const PlacedRect& r, std::ostream* out) {
    *out << r.x << ", " << r.y << ", " << r.width << " x " << r.height;
}

namespace {

using Kind = sim::Operation::Kind;
using platform::WindowHandle;

const std::string kBrowser = "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" ";

struct Saved {
    std::string section, title, option;
    std::int32_t x, y, width, height, style;
    std::string tabKeys{};  // lines of the tab keys, each ending in CR LF
};

// A snapshot file holding `records`, in the order given.
void PutSnapshot(const std::string& path, const std::vector<Saved>& records) {
    std::string text;
    for (const Saved& r : records) {
        text += "[" + r.section + "]\r\nname=IEFrame\r\noption=" + r.option +
                "\r\nstyle=" + std::to_string(r.style) + "\r\ntitle=" + r.title +
                "\r\nw_height=" + std::to_string(r.height) +
                "\r\nw_width=" + std::to_string(r.width) + "\r\nw_x=" + std::to_string(r.x) +
                "\r\nw_y=" + std::to_string(r.y) + "\r\n" + r.tabKeys;
    }
    ASSERT_TRUE(platform::ReplaceWholeFile(path, text));
}

class Manager : public testing::Test {
protected:
    void SetUp() override {
        ResetLastWrittenSnapshot();
        ASSERT_TRUE(EnsureSaveFolder());
    }
    void TearDown() override { ResetLastWrittenSnapshot(); }

    // The frame the browser started for `option` opened, or nullptr.
    WindowHandle FrameStartedFor(const std::string& option) {
        for (const sim::Launch& launch : desktop_.Launches()) {
            if (launch.commandLine != kBrowser + option)
                continue;
            for (WindowHandle window : desktop_.ZOrder()) {
                if (desktop_.At(window).pid == launch.pid)
                    return window;
            }
        }
        return nullptr;
    }

    std::vector<std::string> Lines(Kind kind) const { return desktop_.LogLines(kind); }

    sim::Desktop desktop_;
    TestFolder folder_;
};

std::string Move(WindowHandle w, int x, int y, int width, int height) {
    return "move " + sim::Desktop::Name(w) + " " + std::to_string(x) + " " + std::to_string(y) +
           " " + std::to_string(width) + " " + std::to_string(height);
}
std::string Show(WindowHandle w, int cmd) {
    return "show " + sim::Desktop::Name(w) + " " + std::to_string(cmd);
}
std::string Close(WindowHandle w) {
    return "close " + sim::Desktop::Name(w);
}
std::string TopmostLine(WindowHandle w, bool on) {
    return "topmost " + sim::Desktop::Name(w) + (on ? " on" : " off");
}

// ---- Restore ---------------------------------------------------------------

TEST_F(Manager, RestoreStartsInSectionOrderSleepsThenMovesAllThenShows) {
    PutSnapshot("save\\20050412153012.txt",
                {{"2", "C", "http://c/", 300, 30, 500, 400, 2},
                 {"0", "A", "http://a/ with space", 100, 10, 800, 600, 1,
                  "tab_000=http://a/ with space\r\ntab_001=http://a1/\r\ntab_front=0\r\n"},
                 {"1", "B", "http://b/", 200, 20, 640, 480, 3,
                  "tab_000=http://b0/\r\ntab_001=http://b/\r\ntab_002=http://b2/\r\n"
                  "tab_front=1\r\n"}});
    CSnapshotManager manager;
    manager.CreateWait = 300;
    manager.ResizeWait = 500;
    manager.Restore("");

    WindowHandle a = FrameStartedFor("http://a/ with space");
    WindowHandle b = FrameStartedFor("http://b0/");
    WindowHandle c = FrameStartedFor("http://c/");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(desktop_.LogLines(),
              (std::vector<std::string>{
                  "launch " + kBrowser + "http://a/ with space",
                  "sleep 300",
                  "launch " + kBrowser + "http://b0/",
                  "sleep 300",
                  "launch " + kBrowser + "http://c/",
                  "sleep 300",
                  "sleep 500",
                  Move(a, 100, 10, 800, 600),
                  Move(a, 100, 10, 800, 600),
                  Move(b, 200, 20, 640, 480),
                  Move(b, 200, 20, 640, 480),
                  Move(c, 300, 30, 500, 400),
                  Move(c, 300, 30, 500, 400),
                  Show(a, 1),
                  Show(b, 3),
                  Show(c, 2),
                  "stack " + sim::Desktop::Name(a) + " " + sim::Desktop::Name(b),
                  "tab " + sim::Desktop::Name(a) + " behind http://a1/",
                  "tab " + sim::Desktop::Name(b) + " front http://b/",
                  "tab " + sim::Desktop::Name(b) + " behind http://b2/",
              }));
    EXPECT_EQ(desktop_.ElapsedMilliseconds(), 1400u);
    // The stacking saved, the first record in front and active.
    EXPECT_EQ(desktop_.ZOrder()[0], a);
    EXPECT_EQ(desktop_.ZOrder()[1], b);
    EXPECT_EQ(desktop_.foreground, a);
    // A maximised or minimised window keeps the recorded normal rectangle.
    EXPECT_EQ(desktop_.At(b).placement, (platform::Placement{3, {200, 20, 840, 500}}));
    EXPECT_EQ(desktop_.At(c).placement, (platform::Placement{2, {300, 30, 800, 430}}));
}

TEST_F(Manager, RestoreOfAGivenFile) {
    PutSnapshot("elsewhere.txt", {{"0", "X", "about:blank", 1, 2, 3, 4, 1}});
    PutSnapshot("save\\20050412153012.txt", {{"0", "Y", "http://newest/", 1, 2, 3, 4, 1}});
    CSnapshotManager manager;
    manager.Restore("elsewhere.txt");
    ASSERT_EQ(desktop_.Launches().size(), 1u);
    EXPECT_EQ(desktop_.Launches().front().commandLine, kBrowser + "about:blank");
}

TEST_F(Manager, RestoreSkipsWhatItCannotMatchAndPlacesTheRest) {
    PutSnapshot("save\\20050412153012.txt", {{"0", "A", "http://a/", 10, 10, 100, 100, 1},
                                             {"1", "none", "no-window", 20, 20, 100, 100, 1,
                                              "tab_000=no-window\r\ntab_001=x\r\ntab_front=0\r\n"},
                                             {"2", "hidden", "http://h/", 30, 30, 100, 100, 0},
                                             {"3", "elsewhere", "other-process", 40, 40, 9, 9, 1},
                                             {"4", "two", "two-frames", 50, 50, 100, 100, 3},
                                             {"5", "s4", "show-4", 60, 60, 100, 100, 4},
                                             {"6", "s5", "show-5", 60, 60, 100, 100, 5},
                                             {"7", "s7", "show-7", 60, 60, 100, 100, 7},
                                             {"8", "s9", "show-9", 60, 60, 100, 100, 9},
                                             {"9", "s11", "show-11", 60, 60, 100, 100, 11}});
    // A frame whose owner cannot be read: it must not match a failed start.
    desktop_.AddWindow({.className = "IEFrame", .title = "orphan", .pid = 0});
    WindowHandle older = nullptr, elsewhere = nullptr;
    desktop_.OnLaunch([&](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
        if (arg == "no-window")
            return;
        if (arg == "other-process") {
            elsewhere = d.AddBrowserFrame(d.NewProcessId(), "", arg);  // handed to another process
            return;
        }
        if (arg == "http://a/") {
            // A window of another class of the same browser, enumerated after
            // its frame: only the frame is the browser's window to place.
            d.AddWindow({.className = "Internet Explorer_Hidden", .pid = pid});
            d.AddBrowserFrame(pid, "", arg);
            return;
        }
        if (arg == "two-frames") {
            older = d.AddBrowserFrame(pid, "older", arg);  // enumerated last
            d.AddBrowserFrame(pid, "newer", arg);
            return;
        }
        d.AddBrowserFrame(pid, "", arg);
    });
    CSnapshotManager manager;
    manager.Restore("");

    WindowHandle a = FrameStartedFor("http://a/");
    WindowHandle hidden = FrameStartedFor("http://h/");
    ASSERT_TRUE(a && hidden && older && elsewhere);
    std::vector<std::string> moved{Move(a, 10, 10, 100, 100),      Move(a, 10, 10, 100, 100),
                                   Move(hidden, 30, 30, 100, 100), Move(hidden, 30, 30, 100, 100),
                                   Move(elsewhere, 40, 40, 9, 9),  Move(elsewhere, 40, 40, 9, 9),
                                   Move(older, 50, 50, 100, 100),  Move(older, 50, 50, 100, 100)};
    std::vector<std::string> shown{Show(a, 1), Show(elsewhere, 1), Show(older, 3)};
    std::string stacked = "stack " + sim::Desktop::Name(a) + " " + sim::Desktop::Name(elsewhere) +
                          " " + sim::Desktop::Name(older);
    // Shown on the desktop by 4, 5 and 9, so stacked; minimised by 7 and 11, so not.
    for (int style : {4, 5, 7, 9, 11}) {
        WindowHandle w = FrameStartedFor("show-" + std::to_string(style));
        ASSERT_NE(w, nullptr);
        moved.insert(moved.end(), 2, Move(w, 60, 60, 100, 100));
        shown.push_back(Show(w, style));
        if (style != 7 && style != 11)
            stacked += " " + sim::Desktop::Name(w);
    }
    EXPECT_EQ(Lines(Kind::Moved), moved);
    EXPECT_EQ(Lines(Kind::Shown), shown);
    EXPECT_TRUE(Lines(Kind::TabOpened).empty());
    EXPECT_EQ(Lines(Kind::Stacked), std::vector<std::string>{stacked});
}

// Wherever a browser opens its window (in the process started for it, in one
// that ran already, or in one that the started one started), the restore
// finds it; frames titled "stray" belong to no record and are left alone.
TEST(ManagerRestore, FindsEachWindowWhereverTheBrowserOpensIt) {
    constexpr platform::ProcessId kRunning = 50;
    using sim::Opens;
    const std::vector<std::string> ab{"http://a/", "http://b/"}, xx{"http://x/", "http://x/"};
    struct Case {
        const char* what;
        std::vector<std::string> options;
        sim::Desktop::LaunchHandler launch;
        bool strayBefore = false;  // a frame open before, on the first address
    };
    // clang-format off
    const Case cases[] = {
        {"merging, nothing open before", ab, sim::Desktop::Opening(Opens::Merged)},
        {"merging into a browser open before", ab, sim::Desktop::Opening(Opens::Merged), true},
        {"hand-off", ab, sim::Desktop::Opening(Opens::HandedOff)},
        {"merging, two records on one address", xx, sim::Desktop::Opening(Opens::Merged)},
        {"merging, the first frame late, both on one address", xx,
         [](sim::Desktop& d, platform::ProcessId, const std::string& arg) {
             if (d.Launches().size() == 2)
                 d.AddBrowserFrame(kRunning, "", arg), d.AddBrowserFrame(kRunning, "", arg);
         }},
        {"own processes, the first late, another browser's frame on that address before it", xx,
         [](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
             if (d.Launches().size() == 1)
                 d.AddBrowserFrame(kRunning, "stray", arg);
             else
                 d.AddBrowserFrame(d.Launches()[0].pid, "", arg), d.AddBrowserFrame(pid, "", arg);
         }},
        {"merging, a window of the first besides its own, the second on another address", ab,
         [](sim::Desktop& d, platform::ProcessId, const std::string& arg) {
             d.AddBrowserFrame(kRunning, "", arg == "http://b/" ? "http://b/moved" : arg);
             if (arg == "http://a/")
                 d.AddBrowserFrame(kRunning, "stray", "http://popup/");
         }},
        {"merging, a frame that closes again, the first page on another address", ab,
         [](sim::Desktop& d, platform::ProcessId, const std::string& arg) {
             if (arg == "http://a/")
                 return (void)d.AddBrowserFrame(kRunning, "", "about:blank");
             d.RemoveWindow(d.FindChild(nullptr, "IEFrame"));
             d.AddBrowserFrame(kRunning, "", "http://a/moved"), d.AddBrowserFrame(kRunning, "", arg);
         }},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        TestFolder folder;
        ASSERT_TRUE(EnsureSaveFolder());
        PutSnapshot("save\\20050412153012.txt", {{"0", "", c.options[0], 0, 0, 300, 200, 1},
                                                 {"1", "", c.options[1], 0, 0, 300, 200, 1}});
        if (c.strayBefore)
            desktop.AddBrowserFrame(kRunning, "stray", c.options[0]);
        desktop.OnLaunch(c.launch);
        CSnapshotManager manager;
        manager.Restore("");

        // The records' frames are the others, in the order they were made
        // (the handles count up), and stacked as such once placed.
        std::vector<WindowHandle> made = desktop.ZOrder();
        std::ranges::sort(made);
        std::string stacked = "stack";
        for (WindowHandle w : made) {
            if (desktop.At(w).title != "stray")
                stacked += " " + sim::Desktop::Name(w);
        }
        EXPECT_EQ(desktop.LogLines(Kind::Stacked), std::vector<std::string>{stacked});
    }
}

// A browser is started with its record's first tab, which a merged frame
// shows until the restore opens the others: that is the address it is known by.
TEST_F(Manager, MergedFramesAreKnownByTheirFirstTab) {
    PutSnapshot("save\\20050412153012.txt",
                {{"0", "", "http://a2/", 0, 0, 300, 200, 1,
                  "tab_000=http://a/\r\ntab_001=http://a2/\r\ntab_front=1\r\n"},
                 {"1", "", "http://b2/", 0, 0, 300, 200, 1,
                  "tab_000=http://b/\r\ntab_001=http://b2/\r\ntab_front=1\r\n"}});
    desktop_.OnLaunch([](sim::Desktop& d, platform::ProcessId, const std::string& arg) {
        if (d.Launches().size() == 2)  // both late, the second's first
            d.AddBrowserFrame(50, "", arg), d.AddBrowserFrame(50, "", "http://a/");
    });
    CSnapshotManager manager;
    manager.Restore("");
    std::vector<WindowHandle> made = desktop_.ZOrder();
    std::ranges::sort(made);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(
        Lines(Kind::TabOpened),
        (std::vector<std::string>{"tab " + sim::Desktop::Name(made[1]) + " front http://a2/",
                                  "tab " + sim::Desktop::Name(made[0]) + " front http://b2/"}));
}

TEST_F(Manager, FailedStartsAreSkipped) {
    PutSnapshot("save\\20050412153012.txt", {{"0", "A", "http://a/", 10, 10, 100, 100, 1}});
    desktop_.AddWindow({.className = "IEFrame", .title = "orphan", .pid = 0});
    desktop_.LaunchFails(true);
    CSnapshotManager manager;
    manager.Restore("");
    EXPECT_EQ(desktop_.Launches().size(), 1u);
    EXPECT_TRUE(Lines(Kind::Moved).empty());
    EXPECT_TRUE(Lines(Kind::Shown).empty());
}

// Closing comes only once a snapshot was read: with nothing to read the
// user's windows stay and nothing else happens. A snapshot read with no
// records is a saved state of no windows and still closes them all.
TEST(ManagerRestore, ClosesEveryFrameWhenAskedOnlyOnceASnapshotWasRead) {
    struct Case {
        const char* what;
        std::string path;
        std::function<void(sim::FileSystem&)> arrange;
        bool closes;
    };
    const Case cases[] = {
        {"no snapshot", "", [](sim::FileSystem&) {}, false},
        {"the newest is a folder", "",
         [](sim::FileSystem&) { ASSERT_TRUE(platform::CreateDirectoryAt("save\\2005.txt")); },
         false},
        {"the newest fails to read", "",
         [](sim::FileSystem& fs) {
             PutSnapshot("save\\2005.txt", {{"0", "A", "http://a/", 1, 2, 3, 4, 1}});
             fs.FailReadAfter(0);
         },
         false},
        {"the chosen file is missing", "missing.txt", [](sim::FileSystem&) {}, false},
        {"a snapshot of no windows", "",
         [](sim::FileSystem&) { ASSERT_TRUE(platform::ReplaceWholeFile("save\\2005.txt", "")); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        TestFolder folder;
        ASSERT_TRUE(EnsureSaveFolder());
        WindowHandle one = desktop.AddBrowserFrame(1, "one", "http://1/");
        desktop.AddWindow({.className = "Notepad"});
        WindowHandle two = desktop.AddBrowserFrame(2, "two", "http://2/");
        c.arrange(*sim::CurrentFileSystem());
        CSnapshotManager manager;
        manager.ExitIEWhenRestore = 1;
        manager.Restore(c.path);
        const std::vector<std::string> closed{Close(two), Close(one), "sleep 500"};
        EXPECT_EQ(desktop.LogLines(), c.closes ? closed : std::vector<std::string>());
    }
}

TEST_F(Manager, RestoreClosesBeforeItStartsAndLeavesWindowsAsCapturedOtherwise) {
    PutSnapshot("save\\20050412153012.txt", {{"0", "A", "http://a/", 10, 10, 100, 100, 1}});
    WindowHandle open = desktop_.AddBrowserFrame(1, "open", "http://open/");
    CSnapshotManager manager;
    manager.Capture();
    const BrowserWindowList captured = manager.Windows;

    manager.Restore("");
    EXPECT_EQ(manager.Windows, captured) << "a restore works on its own list";
    WindowHandle restored = FrameStartedFor("http://a/");
    ASSERT_NE(restored, nullptr);

    desktop_.ClearLog();
    manager.ExitIEWhenRestore = 1;
    manager.Restore("");
    std::vector<std::string> lines = desktop_.LogLines();
    lines.resize(3);
    EXPECT_EQ(lines, (std::vector<std::string>{Close(restored), Close(open),
                                               "launch " + kBrowser + "http://a/"}));
}

// A record holds its normal rectangle in workspace coordinates, relative to
// its monitor's work area; the window is moved in screen coordinates, on the
// monitor the rectangle belongs to, or into the nearest work area when it
// lies on none. Saved again, it gives the record back: nothing creeps.
TEST(ManagerPlacement, RecordsGoToTheirMonitorsAndComeBackUnchanged) {
    using platform::Monitor;
    const platform::Rect screen{0, 0, 1280, 1024}, right{1280, 0, 2560, 1024};
    const platform::Rect below{0, 1024, 1280, 2048};
    const PlacedRect usual{100, 50, 800, 600};
    struct Case {
        const char* what;
        std::vector<Monitor> monitors;
        PlacedRect recorded, moved, savedAgain;
        // How the browser opens its new window (a browser last closed
        // maximised opens the next one so): the move must reach its normal
        // rectangle all the same.
        std::int32_t opensAs = 1;
        bool restoresMaximized = false;
        std::vector<std::int32_t> scales{};  // percent, per monitor
    };
    const Case cases[] = {
        {"work area at the monitor's corner",
         {{screen, screen}},
         {100, 50, 800, 600},
         {100, 50, 800, 600},
         {100, 50, 800, 600}},
        {"taskbar at the top",
         {{screen, {0, 40, 1280, 1024}}},
         {100, 50, 800, 600},
         {100, 90, 800, 600},
         {100, 50, 800, 600}},
        {"taskbar at the left",
         {{screen, {60, 0, 1280, 1024}}},
         {100, 50, 800, 600},
         {160, 50, 800, 600},
         {100, 50, 800, 600}},
        {"second monitor, its taskbar at the top",
         {{screen, screen}, {right, {1280, 30, 2560, 1024}}},
         {1400, 100, 800, 600},
         {1400, 130, 800, 600},
         {1400, 100, 800, 600}},
        {"partly off the screen",
         {{screen, screen}},
         {1000, -50, 800, 600},
         {1000, -50, 800, 600},
         {1000, -50, 800, 600}},
        {"its monitor gone",
         {{screen, {0, 0, 1280, 984}}},
         {1400, 100, 800, 600},
         {480, 100, 800, 600},
         {480, 100, 800, 600}},
        {"its monitor gone, larger than the work area",
         {{screen, {0, 0, 1280, 984}}},
         {-3000, 50, 2000, 1200},
         {0, 0, 1280, 984},
         {0, 0, 1280, 984}},
        {"below the right monitor, nearer to it",
         {{screen, screen}, {right, {1280, 0, 2560, 994}}},
         {3000, 2000, 400, 300},
         {2160, 694, 400, 300},
         {2160, 694, 400, 300}},
        {"second monitor at 150 %, the browser scaling itself on arrival",
         {{screen, screen}, {right, right}},
         {1400, 100, 800, 600},
         {1400, 100, 800, 600},
         {1400, 100, 800, 600},
         1,
         false,
         {100, 150}},
        // clang-format off
        {"on the first of two monitors, the second's taskbar at the top",
         {{screen, screen}, {right, {1280, 30, 2560, 1024}}}, usual, usual, usual},
        {"left of the leftmost monitor",
         {{right, right}, {screen, {0, 0, 1280, 984}}},
         {-900, 100, 800, 600}, {0, 100, 800, 600}, {0, 100, 800, 600}},
        {"on the lower of two stacked monitors, its taskbar at the top",
         {{screen, screen}, {below, {0, 1054, 1280, 2048}}},
         {100, 1100, 800, 600}, {100, 1130, 800, 600}, {100, 1100, 800, 600}},
        {"wholly above the screen", {{below, below}, {screen, {0, 40, 1280, 1024}}},
         {100, -900, 800, 600}, {100, 40, 800, 600}, {100, 0, 800, 600}},
        {"wholly below the screen", {{screen, screen}, {below, below}},
         {100, 2500, 800, 600}, {100, 1448, 800, 600}, {100, 1448, 800, 600}},
        {"its monitor gone, the other's taskbar at the top", {{screen, {0, 40, 1280, 1024}}},
         {1400, 100, 800, 600}, {480, 140, 800, 600}, {480, 100, 800, 600}},
        {"no monitor reported", {}, usual, usual, usual},
        {"the browser opens maximised", {{screen, screen}}, usual, usual, usual, 3},
        {"the browser opens minimised", {{screen, screen}}, usual, usual, usual, 2},
        {"the browser opens minimised from maximised", {{screen, screen}}, usual, usual, usual, 2,
         true},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        desktop.monitors = c.monitors;
        desktop.monitorScales = c.scales;
        TestFolder folder;
        ASSERT_TRUE(EnsureSaveFolder());
        const PlacedRect& r = c.recorded;
        PutSnapshot("save\\20050412153012.txt",
                    {{"0", "A", "http://a/", r.x, r.y, r.width, r.height, 1}});
        desktop.OnLaunch([&c](sim::Desktop& d, platform::ProcessId pid, const std::string& arg) {
            const WindowHandle frame = d.AddBrowserFrame(pid, "", arg, {c.opensAs, {0, 0, 10, 10}});
            d.At(frame).restoresMaximized = c.restoresMaximized;
        });
        CSnapshotManager manager;
        manager.Restore("");

        const std::vector<sim::Operation>& log = desktop.Log();
        const auto move = std::find_if(log.begin(), log.end(), [](const sim::Operation& op) {
            return op.kind == Kind::Moved;
        });
        ASSERT_NE(move, log.end());
        EXPECT_EQ((PlacedRect{move->values[0], move->values[1], move->values[2], move->values[3]}),
                  c.moved);
        manager.Capture();
        ASSERT_EQ(manager.Windows.size(), 1u);
        const BrowserWindowRecord& saved = manager.Windows.front();
        EXPECT_EQ((PlacedRect{saved.w_x, saved.w_y, saved.w_width, saved.w_height}), c.savedAgain);
    }
}

TEST(ManagerWaits, OutsideTheirBoundsFallBackToTheDefaults) {
    struct Case {
        std::int32_t createWait, resizeWait;
        std::uint32_t slept, settled;
    };
    const Case cases[] = {
        {300, 500, 300, 500}, {100, 500, 100, 500},         {60000, 300000, 60000, 300000},
        {99, 499, 300, 500},  {60001, 300001, 300, 500},    {-1, -1, 300, 500},
        {0, 0, 300, 500},     {INT_MIN, INT_MIN, 300, 500}, {INT_MAX, INT_MAX, 300, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.createWait) + ", " + std::to_string(c.resizeWait));
        sim::Desktop desktop;  // a fresh desktop for each case
        TestFolder folder;
        ASSERT_TRUE(EnsureSaveFolder());
        PutSnapshot("save\\20050412153012.txt",
                    {{"0", "A", "a", 1, 1, 1, 1, 1}, {"1", "B", "b", 1, 1, 1, 1, 1}});
        CSnapshotManager manager;
        manager.CreateWait = c.createWait;
        manager.ResizeWait = c.resizeWait;
        manager.Restore("");
        EXPECT_EQ(desktop.Sleeps(), (std::vector<std::uint32_t>{c.slept, c.slept, c.settled}));
        EXPECT_EQ(manager.CreateWait, c.createWait) << "the setting itself is left alone";
    }
}

// ---- Save and close ---------------------------------------------------------

TEST_F(Manager, SaveThenCloseAllClosesExactlyWhatWasSaved) {
    WindowHandle first = desktop_.AddBrowserFrame(1, "first", "http://1/");
    WindowHandle second = desktop_.AddBrowserFrame(2, "second", "http://2/");
    CSnapshotManager manager;
    ASSERT_TRUE(manager.SaveSnapshot());
    manager.CloseAll();

    std::vector<std::string> saved;
    for (const BrowserWindowRecord& r : ReadNewestSnapshot())
        saved.push_back(r.title);
    EXPECT_EQ(saved, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(Lines(Kind::CloseRequested), (std::vector<std::string>{Close(second), Close(first)}));
    EXPECT_EQ(manager.Windows.size(), 2u) << "keeps the records of the windows asked to close";

    EXPECT_FALSE(manager.TimedSave()) << "nothing changed since";
}

TEST_F(Manager, CloseAllWithNoFramePostsNothing) {
    desktop_.AddWindow({.className = "Notepad"});
    CSnapshotManager manager;
    manager.Windows.push_back(BrowserWindowRecord());
    manager.CloseAll();
    EXPECT_TRUE(Lines(Kind::CloseRequested).empty());
    EXPECT_TRUE(manager.Windows.empty());
}

TEST(ManagerShutdown, SavesThenClosesAsConfigured) {
    struct Case {
        std::int32_t save, exitIEWhenExit;
        std::size_t files;
        bool closes;
    };
    const Case cases[] = {{1, 1, 1, true}, {1, 0, 1, false}, {0, 1, 0, true}, {0, 0, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.save) + ", " + std::to_string(c.exitIEWhenExit));
        sim::Desktop desktop;
        TestFolder folder;
        ResetLastWrittenSnapshot();
        ASSERT_TRUE(EnsureSaveFolder());
        // Frames that go as soon as they are asked: a close before the save
        // would leave nothing to save.
        for (int i = 0; i < 2; ++i) {
            desktop.AddWindow({.className = "IEFrame", .title = "w", .closesOnRequest = true});
        }
        {
            CSnapshotManager manager;
            manager.Save = c.save;
            manager.ExitIEWhenExit = c.exitIEWhenExit;
        }
        EXPECT_EQ(ListSnapshotFiles().size(), c.files);
        if (c.files == 1) {
            EXPECT_EQ(ReadNewestSnapshot().size(), 2u);
        }
        EXPECT_EQ(desktop.LogLines(Kind::CloseRequested).size(), c.closes ? 2u : 0u);
    }
    ResetLastWrittenSnapshot();
}

// ---- Topmost ---------------------------------------------------------------

class ManagerTopmost : public Manager {
protected:
    void SetUp() override {
        Manager::SetUp();
        // Bottom to top: the target, a hidden window, then the program's frame.
        other_ = desktop_.AddWindow({.className = "Other"});
        target_ = desktop_.AddWindow({.className = "Target"});
        desktop_.AddWindow({.className = "Hidden", .visible = false});
        main_ = desktop_.AddWindow({.className = "Tray", .visible = false});
        platform::SetMainWindow(main_);
    }
    WindowHandle other_ = nullptr, target_ = nullptr, main_ = nullptr;
};

TEST_F(ManagerTopmost, TwiceFlipsTheSameWindowOnThenOff) {
    CSnapshotManager manager;
    EXPECT_EQ(manager.ToggleTopmost(), 1);
    EXPECT_EQ(manager.Topmost, 1);
    EXPECT_EQ(manager.TopmostTarget, target_);
    EXPECT_TRUE(desktop_.At(target_).topmost);

    // Another window comes in front of the target before the second toggle.
    desktop_.BringToTop(other_);
    desktop_.BringToTop(main_);
    EXPECT_EQ(manager.ToggleTopmost(), 0);
    EXPECT_EQ(manager.Topmost, 0);
    EXPECT_FALSE(desktop_.At(target_).topmost);
    EXPECT_EQ(Lines(Kind::TopmostSet),
              (std::vector<std::string>{TopmostLine(target_, true), TopmostLine(target_, false)}));
}

TEST_F(ManagerTopmost, NoVisibleWindowBelowLeavesItOff) {
    desktop_.At(other_).visible = false;
    desktop_.At(target_).visible = false;
    CSnapshotManager manager;
    EXPECT_EQ(manager.ToggleTopmost(), 0);
    EXPECT_EQ(manager.Topmost, 0);
    EXPECT_EQ(manager.TopmostTarget, nullptr);
    EXPECT_TRUE(Lines(Kind::TopmostSet).empty());

    // A visible window above the program's frame does not count.
    desktop_.AddWindow({.className = "Above"});
    EXPECT_EQ(manager.ToggleTopmost(), 0);
    EXPECT_TRUE(Lines(Kind::TopmostSet).empty());

    // A chain that loops back to the frame ends the walk as "none found".
    desktop_.zChainLoopsTo = main_;
    EXPECT_EQ(manager.ToggleTopmost(), 0);
    EXPECT_LE(desktop_.BelowSteps(), 20);
    EXPECT_TRUE(Lines(Kind::TopmostSet).empty());
}

TEST_F(ManagerTopmost, StaysOnWhenTheManagerEnds) {
    {
        CSnapshotManager manager;
        ASSERT_EQ(manager.ToggleTopmost(), 1);
    }
    EXPECT_TRUE(desktop_.At(target_).topmost);
    EXPECT_EQ(Lines(Kind::TopmostSet), std::vector<std::string>{TopmostLine(target_, true)});
}

}  // namespace
