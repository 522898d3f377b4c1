// Capture of browser frames from the simulated desktop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "snapshot/browser_capture.h"
#include "snapshot/snapshot_manager.h"

namespace {

using platform::Placement;
using platform::Rect;

BrowserWindowList CaptureNow() {
    BrowserWindowList list;
    CaptureBrowserWindows(list);
    return list;
}

TEST(Capture, NoFrameGivesEmptyListAndManagerForgetsTheLastCapture) {
    sim::Desktop desktop;
    desktop.AddWindow({.className = "Shell_TrayWnd", .title = "taskbar"});
    CSnapshotManager manager;
    manager.Windows.push_back(BrowserWindowRecord("IEFrame", "old", "x", 1, 2, 3, 4));

    EXPECT_TRUE(CaptureNow().empty());
    manager.Capture();
    EXPECT_TRUE(manager.Windows.empty());
}

TEST(Capture, FramesComeInZOrderWithEveryField) {
    sim::Desktop desktop;
    auto bottom = desktop.AddBrowserFrame(11, "Bottom", "http://b/", {1, {0, 0, 640, 480}});
    desktop.AddWindow({.className = "Notepad", .title = "between", .pid = 12});
    auto middle = desktop.AddBrowserFrame(13, "Middle", "http://m/", {1, {10, 20, 110, 220}});
    auto top = desktop.AddBrowserFrame(14, "Top", "about:blank", {3, {-5, -6, 995, 694}});

    BrowserWindowList expected;
    BrowserWindowRecord t("IEFrame", "Top", "about:blank", -5, -6, 1000, 700);
    t.hwnd = top, t.pid = 14, t.style = 3;
    BrowserWindowRecord m("IEFrame", "Middle", "http://m/", 10, 20, 100, 200);
    m.hwnd = middle, m.pid = 13, m.style = 1;
    BrowserWindowRecord b("IEFrame", "Bottom", "http://b/", 0, 0, 640, 480);
    b.hwnd = bottom, b.pid = 11, b.style = 1;
    expected = {t, m, b};

    EXPECT_EQ(CaptureNow(), expected);

    CSnapshotManager manager;
    manager.Capture();
    EXPECT_EQ(manager.Windows, expected);
    manager.Capture();  // a second capture replaces, never appends
    EXPECT_EQ(manager.Windows, expected);
}

TEST(Capture, TabsAreRecordedWithTheAddressBarsTextInFront) {
    struct Case {
        std::vector<platform::FrameTab> read;
        std::vector<std::string> tabs;
        std::int32_t front;
    };
    const Case cases[] = {
        {{{"http://a/", false}, {"document's", true}, {"http://c/", false}},
         {"http://a/", "http://bar/", "http://c/"},
         1},
        {{{"", true}, {"http://b/", false}}, {"http://bar/", "http://b/"}, 0},
        {{{"http://a/", true}}, {}, 0},
        {{{"http://a/", false}, {"http://b/", false}}, {}, 0},
        {{{"http://a/", true}, {"http://b/", true}}, {}, 0},
        {{}, {}, 0},
    };
    for (const Case& c : cases) {
        sim::Desktop desktop;
        desktop.At(desktop.AddBrowserFrame(7, "T", "http://bar/")).tabs = c.read;
        const BrowserWindowList list = CaptureNow();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list.front().option, "http://bar/");
        EXPECT_EQ(list.front().tabs, c.tabs) << c.read.size();
        EXPECT_EQ(list.front().front_tab, c.front) << c.read.size();
    }
}

TEST(Capture, ClassMustMatchExactly) {
    for (const char* className : {"ieframe", "IEFRAME", "IEFrame ", "IEFram", "IEFrame2", ""}) {
        SCOPED_TRACE(className);
        sim::Desktop desktop;
        desktop.AddWindow({.className = className, .title = "impostor"});
        EXPECT_TRUE(CaptureNow().empty());
    }
}

TEST(Capture, EachMissingLinkOfTheAddressChainGivesEmptyOption) {
    struct Case {
        const char* what;
        std::vector<std::string> chain;  // classes from the frame down
        std::string text;
        int emptyComboBefore = -1;  // an empty ComboBoxEx32 just before that link
    };
    const std::vector<std::string> band{"WorkerW", "ReBarWindow32", "Address Band Root"};
    auto in = [&band](const char* control) {
        std::vector<std::string> chain = band;
        chain.push_back(control);
        return chain;
    };
    const Case cases[] = {
        {"complete chain", {"WorkerW", "ReBarWindow32", "ComboBoxEx32"}, "http://x/"},
        {"no WorkerW", {"ReBarWindow32", "ComboBoxEx32"}, ""},
        {"no ReBarWindow32", {"WorkerW", "ComboBoxEx32"}, ""},
        {"no ComboBoxEx32", {"WorkerW", "ReBarWindow32"}, ""},
        {"combo box one level too deep", {"WorkerW", "ReBarWindow32", "Edit", "ComboBoxEx32"}, ""},
        {"no children", {}, ""},
        {"IE 7", in("ComboBoxEx32"), "http://x/"},
        {"IE 8 to 11", in("Edit"), "http://x/"},
        {"IE 8, an empty combo box beside the Edit", in("Edit"), "http://x/", 3},
        {"empty combo box of IE 6, the address in the band", in("Edit"), "http://x/", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        // Top-level decoys: a search that went on from a missing link would
        // search the desktop and find these.
        auto rebar = desktop.AddWindow({.className = "ReBarWindow32"});
        desktop.AddChild(rebar, {.className = "ComboBoxEx32", .text = "decoy"});
        auto worker = desktop.AddWindow({.className = "WorkerW"});
        desktop.AddChild(desktop.AddChild(worker, {.className = "ReBarWindow32"}),
                         {.className = "ComboBoxEx32", .text = "decoy"});
        desktop.AddWindow({.className = "ComboBoxEx32", .text = "decoy"});
        auto frame = desktop.AddWindow({.className = "IEFrame",
                                        .title = "T",
                                        .pid = 7,
                                        .placement = {1, {1, 2, 3, 4}},
                                        .rect = {1, 2, 3, 4}});
        auto link = frame;
        for (std::size_t i = 0; i < c.chain.size(); ++i) {
            if (static_cast<int>(i) == c.emptyComboBefore)
                desktop.AddChild(link, {.className = "ComboBoxEx32"});
            link = desktop.AddChild(link, {.className = c.chain[i], .text = "http://x/"});
        }
        BrowserWindowRecord expected("IEFrame", "T", c.text, 1, 2, 2, 2);
        expected.hwnd = frame, expected.pid = 7, expected.style = 1;
        EXPECT_EQ(CaptureNow(), BrowserWindowList{expected});
    }
}

TEST(Capture, OnlyTheFirstChildOfAClassIsFollowed) {
    sim::Desktop desktop;
    auto frame = desktop.AddWindow({.className = "IEFrame"});
    desktop.AddChild(frame, {.className = "WorkerW"});  // a dead end comes first
    auto worker = desktop.AddChild(frame, {.className = "WorkerW"});
    auto rebar = desktop.AddChild(worker, {.className = "ReBarWindow32"});
    desktop.AddChild(rebar, {.className = "ComboBoxEx32", .text = "http://hidden/"});

    EXPECT_EQ(GetAddressBarText(frame), "");
}

TEST(Capture, TextsAreCutAsTheirBuffersCutThem) {
    sim::Desktop desktop;
    const std::string longText(1500, 'a');
    desktop.AddBrowserFrame(1, longText, longText);
    desktop.AddBrowserFrame(2, "zero", std::string("http://a/\0tail", 14));

    BrowserWindowList list = CaptureNow();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.front().option, "http://a/");
    EXPECT_EQ(list.back().title, std::string(1023, 'a'));
    EXPECT_EQ(list.back().option, std::string(1023, 'a'));
}

TEST(Capture, ShowStateAndNormalRectangle) {
    struct Case {
        const char* what;
        Placement placement;
        Rect current;
        std::int32_t style, x, y, width, height;
        Rect workArea = {0, 0, 1280, 1024};  // of the one 1280 x 1024 monitor
    };
    // A window shown normally is recorded where it is, in workspace
    // coordinates: snapped to half the screen, its normal rectangle is the
    // one from before the snap.
    const Case cases[] = {
        {"normal at 100,50,900,650",
         {1, {100, 50, 900, 650}},
         {100, 50, 900, 650},
         1,
         100,
         50,
         800,
         600},
        {"minimised",
         {2, {30, 40, 530, 440}},
         {-32000, -32000, -31840, -31969},
         2,
         30,
         40,
         500,
         400},
        {"maximised", {3, {30, 40, 530, 440}}, {-4, -4, 1284, 1004}, 3, 30, 40, 500, 400},
        {"hidden", {0, {5, 5, 15, 25}}, {5, 5, 15, 25}, 0, 5, 5, 10, 20},
        {"snapped to the left half",
         {1, {100, 50, 900, 650}},
         {0, 0, 640, 1024},
         1,
         0,
         0,
         640,
         1024},
        {"normal, taskbar at the top",
         {1, {100, 50, 900, 650}},
         {100, 90, 900, 690},
         1,
         100,
         50,
         800,
         600,
         {0, 40, 1280, 1024}},
        {"snapped, taskbar at the top",
         {1, {100, 50, 900, 650}},
         {0, 40, 640, 1024},
         1,
         0,
         0,
         640,
         984,
         {0, 40, 1280, 1024}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Desktop desktop;
        desktop.monitors = {{{0, 0, 1280, 1024}, c.workArea}};
        desktop.AddWindow({.className = "IEFrame",
                           .placement = c.placement,
                           .rect = c.current,
                           .visible = c.placement.showCmd != 0});
        BrowserWindowList list = CaptureNow();
        ASSERT_EQ(list.size(), 1u);
        const BrowserWindowRecord& r = list.front();
        EXPECT_EQ(r.style, c.style);
        EXPECT_EQ((std::vector<std::int32_t>{r.w_x, r.w_y, r.w_width, r.w_height}),
                  (std::vector<std::int32_t>{c.x, c.y, c.width, c.height}));
    }
}

// A frame still there is recorded; one closed since the enumeration is not.
TEST(Capture, FailingPlacementQueryStillRecordsTheFrameUnlessItIsGone) {
    sim::Desktop desktop;
    desktop.AddWindow(
        {.className = "IEFrame", .title = "closed meanwhile", .closesWhenPlacementQueried = true});
    desktop.AddWindow({.className = "IEFrame",
                       .title = "current rect",
                       .placement = {3, {1, 1, 2, 2}},
                       .placementQueryFails = true,
                       .rect = {100, 50, 900, 650}});
    desktop.AddWindow({.className = "IEFrame",
                       .title = "nothing readable",
                       .placement = {3, {1, 1, 2, 2}},
                       .placementQueryFails = true,
                       .rect = {100, 50, 900, 650},
                       .rectQueryFails = true});

    BrowserWindowList list = CaptureNow();
    ASSERT_EQ(list.size(), 2u);
    const BrowserWindowRecord& none = list.front();
    const BrowserWindowRecord& current = list.back();
    EXPECT_EQ(none.title, "nothing readable");
    EXPECT_EQ(
        (std::vector<std::int32_t>{none.style, none.w_x, none.w_y, none.w_width, none.w_height}),
        (std::vector<std::int32_t>{1, 0, 0, 0, 0}));
    EXPECT_EQ((std::vector<std::int32_t>{current.style, current.w_x, current.w_y, current.w_width,
                                         current.w_height}),
              (std::vector<std::int32_t>{1, 100, 50, 800, 600}));
}

TEST(Capture, WritesOneTitleLinePerFrame) {
    sim::Desktop desktop;
    desktop.AddBrowserFrame(1, "first", "");
    desktop.AddWindow({.className = "Other", .title = "not a frame"});
    desktop.AddBrowserFrame(2, "\x93\xfa\x96\x7b", "");  // Shift-JIS bytes pass through

    testing::internal::CaptureStdout();
    CaptureNow();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\x93\xfa\x96\x7b\nfirst\n");
}

}  // namespace
