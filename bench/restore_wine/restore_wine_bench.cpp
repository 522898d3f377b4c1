// Wall time of a restore of ten fixture browser windows under Wine, against
// its physical floor measured in the same run: a bare restore that makes the
// same Win32 calls with the same sleeps and nothing else (an enumeration of
// the frames, ten process starts, each followed by CreateWait and an
// enumeration, then ResizeWait and one more, the frames' owners, the address
// bars of frames that no started process owns alone, each window moved twice,
// ten shows, the first brought to the top and activated, each next placed
// below the one before). The fixtures are shaped as IE 11 and merge into the
// first one's process, unless "separate" is given. What Pelorin adds on top (reading the snapshot,
// its records and strings, the seam) is the ratio's excess; the goal is at most 1.02x.
//
//   restore_wine_bench.exe <fixture_browser.exe> [rounds [separate]]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fixture_protocol.h"
#include "platform/platform.h"
#include "raw_address_bar.h"
#include "snapshot/snapshot_manager.h"
#include "storage/profile_document.h"
#include "support/browser_fixture.h"

namespace {

constexpr int kWindows = 10;
constexpr DWORD kCreateWait = 100;
constexpr DWORD kResizeWait = 500;
constexpr int kWidth = 640;
constexpr int kHeight = 480;

int X(int i) {
    return 20 + 30 * i;
}
int Y(int i) {
    return 10 + 25 * i;
}
std::string Address(int i) {
    return "http://bench.test/" + IntToString(i);
}

std::string TenWindowSnapshot() {
    ProfileData data;
    for (int i = 0; i < kWindows; ++i) {
        const std::string section = IntToString(i);
        data.Set(section, "name", "IEFrame");
        data.Set(section, "option", Address(i));
        data.Set(section, "title", "Fixture - " + Address(i));
        data.Set(section, "style", "1");
        data.Set(section, "w_x", IntToString(X(i)));
        data.Set(section, "w_y", IntToString(Y(i)));
        data.Set(section, "w_width", IntToString(kWidth));
        data.Set(section, "w_height", IntToString(kHeight));
    }
    return FormatProfile(data);
}

// A restore is done when every frame it started sits where it was told.
int FramesInPlace() {
    int placed = 0;
    for (HWND frame : e2e::BrowserFrames()) {
        RECT r{};
        GetWindowRect(frame, &r);
        if (r.right - r.left == kWidth && r.bottom - r.top == kHeight)
            ++placed;
    }
    return placed;
}

// ---- The floor: the restore's calls and sleeps, written out ----------------

struct Frame {
    HWND window = nullptr;
    DWORD owner = 0;
    bool taken = false;
};

BOOL CALLBACK CollectFrame(HWND window, LPARAM context) {
    char name[128];
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "IEFrame") == 0)
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> Frames() {
    std::vector<HWND> frames;
    EnumWindows(CollectFrame, reinterpret_cast<LPARAM>(&frames));
    return frames;
}

bool Contains(const std::vector<HWND>& windows, HWND window) {
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

// The frames open before the starts and those seen after each are noted;
// each started process that owns exactly one new frame gets it, the rest
// (all of them when the browser merges) go by the address their bar shows.
void BareRestore(const std::string& browser) {
    const std::vector<HWND> before = Frames();
    std::vector<Frame> seen;
    std::vector<DWORD> pids;
    auto note = [&] {
        for (HWND window : Frames()) {
            if (!Contains(before, window) &&
                std::none_of(seen.begin(), seen.end(),
                             [&](const Frame& f) { return f.window == window; })) {
                seen.push_back({window});
            }
        }
    };
    for (int i = 0; i < kWindows; ++i) {
        std::string commandLine = "\"" + browser + "\" " + Address(i);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        CreateProcessA(browser.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process);
        if (process.hProcess != nullptr)
            CloseHandle(process.hProcess);
        if (process.hThread != nullptr)
            CloseHandle(process.hThread);
        pids.push_back(process.dwProcessId);
        Sleep(kCreateWait);
        note();
    }
    Sleep(kResizeWait);
    note();
    for (Frame& f : seen)
        GetWindowThreadProcessId(f.window, &f.owner);
    std::vector<HWND> matched(kWindows, nullptr);
    for (int i = 0; i < kWindows; ++i) {
        const auto owned = [&](const Frame& f) { return pids[i] != 0 && f.owner == pids[i]; };
        if (std::count_if(seen.begin(), seen.end(), owned) == 1) {
            Frame& f = *std::find_if(seen.begin(), seen.end(), owned);
            matched[i] = f.window;
            f.taken = true;
        }
    }
    std::vector<std::string> addresses(seen.size());
    for (int i = 0; i < kWindows; ++i) {
        for (std::size_t f = 0; f < seen.size() && matched[i] == nullptr; ++f) {
            if (seen[f].taken)
                continue;
            if (addresses[f].empty())
                addresses[f] = RawAddressBar(seen[f].window);
            if (addresses[f] == Address(i)) {
                matched[i] = seen[f].window;
                seen[f].taken = true;
            }
        }
    }
    for (int i = 0; i < kWindows; ++i) {
        if (matched[i] != nullptr) {
            MoveWindow(matched[i], X(i), Y(i), kWidth, kHeight, TRUE);
            MoveWindow(matched[i], X(i), Y(i), kWidth, kHeight, TRUE);
        }
    }
    for (HWND frame : matched) {
        if (frame != nullptr)
            ShowWindow(frame, SW_SHOWNORMAL);
    }
    // The first to the top, activated by its owner with the foreground right
    // handed over; each next one directly below the one before.
    if (matched.front() != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(matched.front(), &owner);
        AllowSetForegroundWindow(owner);
        SetWindowPos(matched.front(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(matched.front());
    }
    for (int i = 1; i < kWindows; ++i) {
        if (matched[i] != nullptr && matched[i - 1] != nullptr)
            SetWindowPos(matched[i], matched[i - 1], 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

// ---- Timing -----------------------------------------------------------------

template <typename Restore>
double TimedRestore(const char* what, Restore restore, bool warmUp = false) {
    const auto start = std::chrono::steady_clock::now();
    restore();
    const auto end = std::chrono::steady_clock::now();
    const int placed = FramesInPlace();
    if (placed != kWindows && !warmUp) {
        std::fprintf(stderr, "%s placed %d of %d frames\n", what, placed, kWindows);
        e2e::CloseEveryBrowserFrame();
        std::exit(1);
    }
    if (!e2e::CloseEveryBrowserFrame()) {
        std::fprintf(stderr, "the frames of %s did not close\n", what);
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FIXTURE_BROWSER [rounds]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const bool merging = argc < 4 || std::string(argv[3]) != "separate";
    SetEnvironmentVariableA(fixture::kShapeVariable, "ie11");
    SetEnvironmentVariableA(fixture::kMergeVariable, merging ? "1" : nullptr);
    if (!e2e::InstallFixtureBrowser(argv[1]) || !e2e::CloseEveryBrowserFrame()) {
        std::fprintf(stderr, "cannot install the fixture browser\n");
        return 1;
    }
    e2e::EnterFreshDirectory("restore-bench");
    const std::string snapshot = "ten windows.txt";
    if (!platform::ReplaceWholeFile(snapshot, TenWindowSnapshot()))
        return 1;

    CSnapshotManager manager;
    manager.CreateWait = kCreateWait;
    manager.ResizeWait = kResizeWait;
    const std::string browser = e2e::BrowserExecutablePath();
    if (manager.BrowserPath != browser) {
        std::fprintf(stderr, "Pelorin starts %s, the floor %s\n", manager.BrowserPath.c_str(),
                     browser.c_str());
        return 1;
    }
    auto pelorin = [&] { manager.Restore(snapshot); };
    auto bare = [&] { BareRestore(browser); };

    // The first browsers of a fresh Wine session start slowly (their DLLs are
    // mapped for the first time), which says nothing about either side; one
    // untimed round of each warms that up; on a loaded machine some of its
    // frames come up too late to be placed, which is no measurement either.
    TimedRestore("the warm-up restore", pelorin, true);
    TimedRestore("the warm-up floor", bare, true);

    // Alternating which goes first cancels a drift of the machine's load.
    std::vector<double> pelorinMs, bareMs, ratios;
    for (int round = 0; round < rounds; ++round) {
        double p, b;
        if (round % 2 == 0) {
            p = TimedRestore("the restore", pelorin);
            b = TimedRestore("the floor", bare);
        } else {
            b = TimedRestore("the floor", bare);
            p = TimedRestore("the restore", pelorin);
        }
        pelorinMs.push_back(p);
        bareMs.push_back(b);
        ratios.push_back(p / b);
        std::printf("round %d: restore %.1f ms, floor %.1f ms, ratio %.4f\n", round + 1, p, b,
                    p / b);
    }
    const double waits = kWindows * kCreateWait + kResizeWait;
    std::printf(
        "restore of %d IE 11-shaped windows%s, CreateWait %lu, ResizeWait %lu (%.0f ms of sleeps), "
        "%d rounds: "
        "restore median %.1f ms, floor median %.1f ms; ratio median %.4f (min %.4f, max %.4f; "
        "goal at most 1.02)\n",
        kWindows, merging ? " merging into one process" : "",
        static_cast<unsigned long>(kCreateWait), static_cast<unsigned long>(kResizeWait), waits,
        rounds, Median(pelorinMs), Median(bareMs), Median(ratios),
        *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()));
    return 0;
}
