// The snapshot manager end to end under Wine, with a hidden main window as
// the program has: fixture frames saved, closed and brought back (from the
// newest snapshot and from a file given by path), Wine's own browser brought
// back by process id, and always-on-top on a real window.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fixture_document.h"
#include "fixture_protocol.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"
#include "support/browser_desktop_test.h"
#include "support/hidden_main_window.h"

namespace e2e {
namespace {

struct FrameCase {
    const char* address;
    FramePlacement placement;
};

const FrameCase kRoundTripCases[] = {
    {"http://normal.test/page", {SW_SHOWNORMAL, {100, 50, 900, 650}}},
    {"http://maximised.test/", {SW_SHOWMAXIMIZED, {120, 80, 1120, 780}}},
    {"about:minimised", {SW_SHOWMINIMIZED, {30, 40, 530, 440}}},
};

std::string AddressOf(HWND frame) {
    return GetAddressBarText(reinterpret_cast<platform::WindowHandle>(frame));
}

FramePlacement PlacementOf(const BrowserWindowRecord& record) {
    return {UINT(record.style),
            {record.w_x, record.w_y, record.w_x + record.w_width, record.w_y + record.w_height}};
}

// The placement a frame can take when moved to `saved`: no window with a
// sizing border gets smaller than the minimum tracking size. Wine saves a
// minimised frame's icon rectangle (160 x 24 here), which is below it.
FramePlacement Reachable(FramePlacement saved) {
    RECT& r = saved.normal;
    r.right = std::max<LONG>(r.right, r.left + GetSystemMetrics(SM_CXMINTRACK));
    r.bottom = std::max<LONG>(r.bottom, r.top + GetSystemMetrics(SM_CYMINTRACK));
    return saved;
}

// What a test knows of one frame before it is saved.
struct Before {
    std::string address;
    DWORD pid = 0;
    FramePlacement own;   // the fixture's account
    FramePlacement seen;  // GetWindowPlacement from this process
};

class SnapshotManagerTest : public BrowserDesktopTest {
protected:
    void SetUp() override {
        BrowserDesktopTest::SetUp();
        ASSERT_TRUE(EnsureSaveFolder());
        // Generous for a loaded machine: the restore only has to find the
        // frames, and nothing here measures its time.
        manager_.CreateWait = 300;
        manager_.ResizeWait = 1500;
    }

    std::vector<Before> OpenRoundTripFrames() {
        std::vector<Before> before;
        for (const auto& c : kRoundTripCases) {
            const StartedFrame frame = StartFixture(c.address, c.placement);
            if (frame.hwnd == nullptr)
                return {};
            const auto own = AskFixturePlacement(frame.hwnd);
            const auto seen = PlacementSeenFromHere(frame.hwnd);
            if (!own || !seen || !(*own == c.placement))
                return {};
            before.push_back({c.address, frame.pid, *own, *seen});
        }
        return before;
    }

    // Every frame open now came from the restore: one per saved record, owned
    // by a process this test process started after `before` was taken, with
    // the saved address, title and show state and the saved rectangle as its
    // own normal one.
    void ExpectRestored(const std::vector<Before>& before, const BrowserWindowList& saved) {
        const std::vector<HWND> frames = BrowserFrames();
        ASSERT_EQ(frames.size(), saved.size());
        std::set<DWORD> owners;
        for (const auto& record : saved) {
            SCOPED_TRACE(record.option);
            const auto frame = std::find_if(frames.begin(), frames.end(),
                                            [&](HWND f) { return AddressOf(f) == record.option; });
            ASSERT_NE(frame, frames.end());
            const auto old = std::find_if(before.begin(), before.end(), [&](const Before& b) {
                return b.address == record.option;
            });
            ASSERT_NE(old, before.end());

            char title[1024] = {};
            GetWindowTextA(*frame, title, sizeof(title));
            EXPECT_EQ(title, fixture::TitleFor(old->address));

            const DWORD owner = OwnerOf(*frame);
            EXPECT_EQ(ParentOf(owner), GetCurrentProcessId());
            EXPECT_NE(owner, old->pid);
            owners.insert(owner);

            // The saved record is what capture saw from outside the fixture.
            EXPECT_EQ(PlacementOf(record), old->seen) << Describe(PlacementOf(record));
            const FramePlacement expected = Reachable(PlacementOf(record));
            std::optional<FramePlacement> own;
            EXPECT_TRUE(WaitUntil([&] {
                own = AskFixturePlacement(*frame);
                return own && *own == expected;
            })) << "restored as "
                << (own ? Describe(*own) : "nothing") << ", expected " << Describe(expected);
            // A normal frame comes back exactly where it was. Wine saved the
            // current rectangle of the maximised and minimised ones, so those
            // keep their show state and come back at what was saved.
            if (old->own.showCmd == SW_SHOWNORMAL) {
                EXPECT_EQ(PlacementOf(record), old->own);
                EXPECT_EQ(expected, old->own);
            }
            EXPECT_EQ(UINT(record.style), old->own.showCmd);
            std::cout << "round trip " << record.option << ": before " << Describe(old->own)
                      << " | saved " << Describe(PlacementOf(record)) << " | after "
                      << (own ? Describe(*own) : "nothing") << "\n";
        }
        EXPECT_EQ(owners.size(), saved.size()) << "one process per restored frame";
    }

    HiddenMainWindow main_;
    CSnapshotManager manager_;
};

TEST_F(SnapshotManagerTest, SavedFramesClosedAndBroughtBackFromTheNewestSnapshot) {
    const std::vector<Before> before = OpenRoundTripFrames();
    ASSERT_EQ(before.size(), 3u);

    ASSERT_TRUE(manager_.SaveSnapshot());
    const BrowserWindowList saved = ReadNewestSnapshot();
    ASSERT_EQ(saved.size(), 3u);

    manager_.CloseAll();
    ASSERT_TRUE(WaitUntil([] { return BrowserFrames().empty(); })) << "CloseAll left frames open";
    EXPECT_EQ(manager_.Windows.size(), 3u);

    manager_.Restore("");
    ExpectRestored(before, saved);
}

TEST_F(SnapshotManagerTest, FileGivenByPathIsRestoredNotTheNewest) {
    const std::vector<Before> before = OpenRoundTripFrames();
    ASSERT_EQ(before.size(), 3u);
    ASSERT_TRUE(manager_.SaveSnapshot());
    const std::string chosen = directory_ + "\\chosen snapshot.txt";
    ASSERT_TRUE(CopyFileA(NewestSnapshotFile().c_str(), chosen.c_str(), TRUE));
    const BrowserWindowList saved = ReadSnapshotFile(chosen);
    ASSERT_EQ(saved.size(), 3u);

    // A newer snapshot that a restore of the newest would take instead.
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\99991231235959.txt",
                                           "[0]\r\nname=IEFrame\r\noption=http://decoy.test/\r\n"));

    manager_.CloseAll();
    ASSERT_TRUE(WaitUntil([] { return BrowserFrames().empty(); }));
    manager_.Restore(chosen);
    ExpectRestored(before, saved);
}

// Capture under Wine cannot give a maximised or minimised frame's normal
// rectangle, so a file written by hand shows that the restore gives each
// frame its recorded normal rectangle before its show state: whether the
// browser opens its windows normal, maximised or minimised.
class ShowStateRestoreTest : public SnapshotManagerTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        SnapshotManagerTest::SetUp();
        SetEnvironmentVariableA(fixture::kOpenStateVariable, std::to_string(GetParam()).c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA(fixture::kOpenStateVariable, nullptr);
        SnapshotManagerTest::TearDown();
    }
};

INSTANTIATE_TEST_SUITE_P(BrowserOpens, ShowStateRestoreTest,
                         testing::Values(SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED));

TEST_P(ShowStateRestoreTest, EveryShowStateRestoredOverItsRecordedNormalRectangle) {
    const std::string snapshot = directory_ + "\\show states.txt";
    ASSERT_TRUE(platform::ReplaceWholeFile(
        snapshot,
        "[0]\r\nname=IEFrame\r\noption=http://max.test/\r\nstyle=3\r\nw_height=700\r\n"
        "w_width=1000\r\nw_x=120\r\nw_y=80\r\n"
        "[1]\r\nname=IEFrame\r\noption=http://min.test/\r\nstyle=2\r\nw_height=400\r\n"
        "w_width=500\r\nw_x=30\r\nw_y=40\r\n"
        "[2]\r\nname=IEFrame\r\noption=http://normal.test/\r\nstyle=1\r\nw_height=300\r\n"
        "w_width=400\r\nw_x=300\r\nw_y=200\r\n"
        "[3]\r\nname=IEFrame\r\noption=http://hidden-style.test/\r\nstyle=0\r\n"
        "w_height=250\r\nw_width=350\r\nw_x=60\r\nw_y=70\r\n"));
    struct Expected {
        const char* address;
        FramePlacement placement;
    };
    // A record whose style is 0 is moved but never shown: brought to its
    // normal state for the move, it stays normal at the moved place.
    const Expected expected[] = {
        {"http://max.test/", {SW_SHOWMAXIMIZED, {120, 80, 1120, 780}}},
        {"http://min.test/", {SW_SHOWMINIMIZED, {30, 40, 530, 440}}},
        {"http://normal.test/", {SW_SHOWNORMAL, {300, 200, 700, 500}}},
        {"http://hidden-style.test/", {SW_SHOWNORMAL, {60, 70, 410, 320}}},
    };

    manager_.Restore(snapshot);

    const std::vector<HWND> frames = BrowserFrames();
    ASSERT_EQ(frames.size(), 4u);
    for (const auto& e : expected) {
        SCOPED_TRACE(e.address);
        const auto frame = std::find_if(frames.begin(), frames.end(),
                                        [&](HWND f) { return AddressOf(f) == e.address; });
        ASSERT_NE(frame, frames.end());
        std::optional<FramePlacement> own;
        EXPECT_TRUE(WaitUntil([&] {
            own = AskFixturePlacement(*frame);
            return own && *own == e.placement;
        })) << (own ? Describe(*own) : "no answer");
        EXPECT_TRUE(IsWindowVisible(*frame));
    }
}

// A snapshot lists its frames top of the Z order first: the restore gives
// that stacking back, the first record in front and active.
TEST_F(SnapshotManagerTest, NormalFramesStackedAsRecordedFirstActive) {
    const std::vector<std::string> recorded = {"http://front.test/", "http://middle.test/",
                                               "http://back.test/"};
    std::string text;
    for (int i = 0; i < 3; ++i) {
        text +=
            "[" + std::to_string(i) + "]\r\nname=IEFrame\r\noption=" + recorded[i] +
            "\r\nstyle=1\r\nw_height=300\r\nw_width=400\r\nw_x=" + std::to_string(100 + 50 * i) +
            "\r\nw_y=80\r\n";
    }
    ASSERT_TRUE(platform::ReplaceWholeFile(directory_ + "\\stacking.txt", text));
    manager_.Restore(directory_ + "\\stacking.txt");

    // Polled: Wine carries out the activations of the shows late, and a walk
    // down the Z order meanwhile may meet a window twice.
    std::vector<std::string> fromTheTop;
    EXPECT_TRUE(WaitUntil([&] {
        fromTheTop.clear();
        for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            char name[16] = {};
            if (GetClassNameA(w, name, sizeof name) && lstrcmpA(name, "IEFrame") == 0)
                fromTheTop.push_back(AddressOf(w));
        }
        return fromTheTop == recorded;
    })) << testing::PrintToString(fromTheTop);
    EXPECT_TRUE(WaitUntil([&] {
        const HWND active = GetForegroundWindow();
        return active != nullptr && AddressOf(active) == recorded.front();
    }));
}

// The browsers people run: IE 7 to 11 keep the address elsewhere, and from
// IE 8 on a start may open its frame in a process that already runs
// (merging) or in one that the started process starts (hand-off; both on
// 64-bit Windows with IE 10 and 11). Each row saves three frames, one address
// outside the code page, closes them all, opens an unrelated frame first
// where it says so, and restores.
struct BrowserKind {
    const char* name;
    const char* shape;
    bool merges;
    bool handsOff;
    bool frameOpenBefore;
    const wchar_t* tabs = nullptr;  // the fixture's tabs (fixture_document.h)
};
void PrintTo(const BrowserKind& kind, std::ostream* out) {
    *out << kind.name;
}
const BrowserKind kBrowserKinds[] = {
    {"Ie7", "ie7", false, false, false},
    {"Ie8", "ie8", false, false, false},
    {"Ie11", "ie11", false, false, false},
    {"Ie11Merging", "ie11", true, false, false},
    {"Ie11MergingIntoAnUnrelatedFrame", "ie11", true, false, true},
    {"Ie11HandingOff", "ie11", false, true, false},
    {"Ie11HandingOffAndMerging", "ie11", true, true, true},
    // Every frame of three tabs, the start's in the middle and in front.
    {"Ie11WithTabs", "ie11", false, false, false,
     L"http://tab.test/caf\u00E9 * http://three.test/"},
};

// A fixture frame's tabs as its windows show them, the front one marked "*",
// in the row's order: that of the Frame Tab windows' ids.
std::vector<std::string> TabsOf(HWND frame) {
    std::map<int, std::string> tabs;
    for (HWND holder = FindWindowExA(frame, nullptr, "Frame Tab", nullptr); holder;
         holder = FindWindowExA(frame, holder, "Frame Tab", nullptr)) {
        const HWND tab = FindWindowExA(holder, nullptr, "TabWindowClass", nullptr);
        char text[1024] = {};
        GetWindowTextA(tab, text, sizeof text);
        tabs[GetDlgCtrlID(holder)] = (IsWindowVisible(tab) ? "*" : "") + std::string(text);
    }
    std::vector<std::string> inRow;
    for (const auto& tab : tabs)
        inRow.push_back(tab.second);
    return inRow;
}

std::vector<std::string> MarkedTabs(const BrowserWindowRecord& record) {
    std::vector<std::string> tabs = record.tabs;
    if (!tabs.empty())
        tabs[record.front_tab].insert(0, "*");
    return tabs;
}

struct KindFrame {
    const wchar_t* shown;
    const char* stored;
    FramePlacement placement;
};
const KindFrame kKindFrames[] = {
    {L"http://fr.example/caf\u00E9",
     "http://fr.example/caf%C3%A9",
     {SW_SHOWNORMAL, {100, 50, 700, 450}}},
    {L"http://maximised.test/", "http://maximised.test/", {SW_SHOWMAXIMIZED, {120, 80, 1120, 780}}},
    {L"about:minimised", "about:minimised", {SW_SHOWMINIMIZED, {30, 40, 530, 440}}},
};

class BrowserKindTest : public SnapshotManagerTest,
                        public testing::WithParamInterface<BrowserKind> {
protected:
    void SetUp() override {
        SnapshotManagerTest::SetUp();
        SetEnvironmentVariableA(fixture::kShapeVariable, GetParam().shape);
        SetEnvironmentVariableA(fixture::kMergeVariable, GetParam().merges ? "1" : nullptr);
        SetEnvironmentVariableA(fixture::kHandOffVariable, GetParam().handsOff ? "1" : nullptr);
        SetEnvironmentVariableW(fixture::kTabsVariable, GetParam().tabs);
    }
    void TearDown() override {
        for (const char* name :
             {fixture::kShapeVariable, fixture::kMergeVariable, fixture::kHandOffVariable}) {
            SetEnvironmentVariableA(name, nullptr);
        }
        SetEnvironmentVariableW(fixture::kTabsVariable, nullptr);
        SnapshotManagerTest::TearDown();
    }

    // Starts the fixture and returns the frame it opened, wherever it opened it.
    HWND Open(const std::wstring& address, const FramePlacement& placement) {
        const std::vector<HWND> before = BrowserFrames();
        const DWORD pid = StartBrowser(address, placement);
        const HWND frame = pid != 0 ? WaitForNewFrame(before) : nullptr;
        // The fixture behaves as the row says, or the row tests nothing.
        if (frame != nullptr && GetParam().handsOff &&
            (OwnerOf(frame) == pid || (before.empty() && ParentOf(OwnerOf(frame)) != pid))) {
            return nullptr;
        }
        if (frame != nullptr && GetParam().merges && !before.empty() &&
            OwnerOf(frame) != OwnerOf(before.front())) {
            return nullptr;
        }
        return frame;
    }
};

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserKindTest, testing::ValuesIn(kBrowserKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(BrowserKindTest, SavedAndRestoredToTheirPlacesFirstInFront) {
    if (GetACP() != 932)
        GTEST_SKIP() << "needs ANSI code page 932, this is " << GetACP();
    std::multiset<std::string> stored;
    for (const KindFrame& f : kKindFrames) {
        ASSERT_NE(Open(f.shown, f.placement), nullptr) << f.stored;
        stored.insert(f.stored);
    }
    ASSERT_TRUE(manager_.SaveSnapshot());
    const BrowserWindowList saved = ReadNewestSnapshot();
    std::multiset<std::string> options;
    for (const auto& record : saved) {
        options.insert(record.option);
        if (GetParam().tabs) {
            EXPECT_EQ(MarkedTabs(record),
                      (std::vector<std::string>{"http://tab.test/caf%C3%A9", "*" + record.option,
                                                "http://three.test/"}));
        }
    }
    EXPECT_EQ(options, stored);

    manager_.CloseAll();
    ASSERT_TRUE(WaitUntil([] { return BrowserFrames().empty(); }));
    HWND unrelated = nullptr;
    std::optional<FramePlacement> unrelatedBefore;
    if (GetParam().frameOpenBefore) {
        unrelated = Open(L"http://unrelated.test/", {SW_SHOWMINIMIZED, {600, 500, 1000, 800}});
        ASSERT_NE(unrelated, nullptr);
        unrelatedBefore = AskFixturePlacement(unrelated);
    }

    // The restore's browsers start with one tab each; it opens the others.
    if (GetParam().tabs)
        SetEnvironmentVariableW(fixture::kTabsVariable, L"-");
    manager_.Restore("");

    std::vector<HWND> frames = BrowserFrames();
    frames.erase(std::remove(frames.begin(), frames.end(), unrelated), frames.end());
    ASSERT_EQ(frames.size(), saved.size());
    std::vector<std::string> shownInOrder;
    for (const auto& record : saved) {
        SCOPED_TRACE(record.option);
        // The front tab comes to the front, and into the address bar, as the
        // browser gets to the restore's requests.
        auto frame = frames.end();
        WaitUntil([&] {
            frame = std::find_if(frames.begin(), frames.end(),
                                 [&](HWND f) { return AddressOf(f) == record.option; });
            return frame != frames.end();
        });
        ASSERT_NE(frame, frames.end());
        const FramePlacement expected = Reachable(PlacementOf(record));
        std::optional<FramePlacement> own;
        EXPECT_TRUE(WaitUntil([&] {
            own = AskFixturePlacement(*frame);
            return own && *own == expected;
        })) << (own ? Describe(*own) : "no answer")
            << ", expected " << Describe(expected);
        if (GetParam().tabs) {
            std::vector<std::string> tabs;
            EXPECT_TRUE(WaitUntil([&] { return (tabs = TabsOf(*frame)) == MarkedTabs(record); }))
                << testing::PrintToString(tabs);
        }
        if (record.style != SW_SHOWMINIMIZED)
            shownInOrder.push_back(record.option);
    }
    // The Z order among the restored frames on the desktop, polled as in
    // NormalFramesStackedAsRecordedFirstActive.
    std::vector<std::string> fromTheTop;
    EXPECT_TRUE(WaitUntil([&] {
        fromTheTop.clear();
        for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            if (std::find(frames.begin(), frames.end(), w) != frames.end() && !IsIconic(w))
                fromTheTop.push_back(AddressOf(w));
        }
        return fromTheTop == shownInOrder;
    })) << testing::PrintToString(fromTheTop);
    EXPECT_TRUE(WaitUntil([&] {
        const HWND active = GetForegroundWindow();
        return active != nullptr && AddressOf(active) == shownInOrder.front();
    }));
    if (unrelated != nullptr) {
        EXPECT_EQ(AskFixturePlacement(unrelated), unrelatedBefore) << "the unrelated frame moved";
    }
}

TEST_F(SnapshotManagerTest, WineOwnBrowserRestoredByProcessIdAndPlaced) {
    ASSERT_TRUE(UseWineBrowser());
    const std::string snapshot = directory_ + "\\wine-browser.txt";
    ASSERT_TRUE(platform::ReplaceWholeFile(
        snapshot,
        "[0]\r\nname=IEFrame\r\noption=\r\nstyle=1\r\ntitle=Wine Internet Explorer\r\n"
        "w_height=480\r\nw_width=640\r\nw_x=150\r\nw_y=100\r\n"));
    // Wine's browser loads far more than the fixture before its frame shows.
    manager_.ResizeWait = 5000;

    manager_.Restore(snapshot);

    const std::vector<HWND> frames = BrowserFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ParentOf(OwnerOf(frames.front())), GetCurrentProcessId());
    EXPECT_FALSE(AskFixturePlacement(frames.front()).has_value()) << "the fixture answered";
    const FramePlacement expected{SW_SHOWNORMAL, {150, 100, 790, 580}};
    std::optional<FramePlacement> seen;
    EXPECT_TRUE(WaitUntil([&] {
        seen = PlacementSeenFromHere(frames.front());
        return seen && *seen == expected;
    })) << (seen ? Describe(*seen) : "no placement");
    RECT now{};
    GetWindowRect(frames.front(), &now);
    EXPECT_TRUE(EqualRect(&now, &expected.normal));
}

TEST_F(SnapshotManagerTest, TopmostSetOnTheWindowBeneathAndCleared) {
    const StartedFrame frame =
        StartFixture("http://topmost.test/", FramePlacement{SW_SHOWNORMAL, {200, 200, 600, 500}});
    ASSERT_NE(frame.hwnd, nullptr);
    main_.RaiseHidden();
    HWND beneath = GetWindow(main_.hwnd(), GW_HWNDNEXT);
    while (beneath != nullptr && !IsWindowVisible(beneath))
        beneath = GetWindow(beneath, GW_HWNDNEXT);
    ASSERT_EQ(beneath, frame.hwnd) << "the fixture is not the visible window beneath ours";

    auto topmost = [&] { return (GetWindowLongA(frame.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    ASSERT_FALSE(topmost());
    EXPECT_EQ(manager_.ToggleTopmost(), 1);
    EXPECT_EQ(manager_.TopmostTarget, reinterpret_cast<platform::WindowHandle>(frame.hwnd));
    EXPECT_TRUE(WaitUntil(topmost));
    EXPECT_EQ(manager_.ToggleTopmost(), 0);
    EXPECT_TRUE(WaitUntil([&] { return !topmost(); }));
}

}  // namespace
}  // namespace e2e
