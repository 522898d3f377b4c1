#include "snapshot/snapshot_manager.h"

#include <cstddef>
#include <utility>

#include "snapshot/browser_launch.h"
#include "snapshot/browser_tabs.h"
#include "snapshot/new_frames.h"
#include "snapshot/workspace.h"
#include "storage/snapshot_files.h"

namespace {

constexpr std::int32_t kShowMinimized = 2;   // SW_SHOWMINIMIZED
constexpr std::int32_t kShowMaximized = 3;   // SW_SHOWMAXIMIZED
constexpr std::int32_t kShowNoActivate = 4;  // SW_SHOWNOACTIVATE

// A browser last closed maximised opens its next windows maximised. A move
// then changes where the window is shown but not its normal rectangle, and
// the show that follows puts it back at the browser's own idea of it. So a
// window that is not in its normal state is first brought to it, without
// taking the focus. Once more when it came back maximised, as a window
// minimised from maximised does.
void BringToNormalState(platform::WindowHandle window) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::optional<platform::Placement> now = platform::WindowPlacement(window);
        if (!now || (now->showCmd != kShowMinimized && now->showCmd != kShowMaximized))
            return;
        platform::ShowWindowAs(window, kShowNoActivate);
    }
}

// Whether a window shown with `showCmd` stands on the desktop, neither
// hidden nor minimised. Values of no show command count as neither.
bool ShownOnTheDesktop(std::int32_t showCmd) {
    switch (showCmd) {
        case 1:   // SW_SHOWNORMAL
        case 3:   // SW_SHOWMAXIMIZED
        case 4:   // SW_SHOWNOACTIVATE
        case 5:   // SW_SHOW
        case 8:   // SW_SHOWNA
        case 9:   // SW_RESTORE
        case 10:  // SW_SHOWDEFAULT
            return true;
        default:  // SW_HIDE, the minimising commands 2, 6, 7, 11, and the rest
            return false;
    }
}

// The settings dialog stores whatever number was typed, so the waits can be
// anything until the next load. A restore uses the load's defaults for a wait
// outside the load's bounds: a negative one, taken as an unsigned count of
// milliseconds, would otherwise block the program for weeks.
std::uint32_t WaitWithin(std::int32_t wait, std::int32_t low, std::int32_t high,
                         std::int32_t fallback) {
    return static_cast<std::uint32_t>(wait < low || wait > high ? fallback : wait);
}

}  // namespace

CSnapshotManager::CSnapshotManager() : BrowserPath(BrowserPathIn(platform::ProgramFilesFolder())) {}

CSnapshotManager::~CSnapshotManager() {
    // Runs while the frame is being deleted: nothing may escape from here.
    try {
        Shutdown();
    } catch (...) {
    }
}

void CSnapshotManager::Capture() {
    BrowserWindowList captured;
    CaptureBrowserWindows(captured);
    Windows = std::move(captured);
}

bool CSnapshotManager::SaveSnapshot() {
    Capture();
    return WriteSnapshotFile(Windows);
}

bool CSnapshotManager::TimedSave() {
    return SaveSnapshot();
}

void CSnapshotManager::CloseAll() {
    Capture();
    for (const BrowserWindowRecord& record : Windows)
        platform::PostCloseRequest(record.hwnd);
}

void CSnapshotManager::Restore(const std::string& path) {
    // Read first, close after: a restore with nothing to read (no snapshot,
    // a folder of that name, a file held by another program or failing to
    // read) must not close the user's windows and open none. It then does
    // nothing at all; not even ResizeWait, since no browser was started to
    // wait for. A snapshot read with no records still closes every window.
    // Only the end of the session announced during this restore stops it: an
    // announcement that no end followed would otherwise stop every later one.
    SessionEnding = false;
    BrowserWindowList records;
    if (!(path.empty() ? ReadNewestSnapshot(records) : ReadSnapshotFile(path, records)))
        return;
    if (ExitIEWhenRestore != 0)
        CloseAll();

    const std::uint32_t createWait = WaitWithin(CreateWait, 100, 60000, 300);
    const std::uint32_t resizeWait = WaitWithin(ResizeWait, 500, 300000, 500);

    // Noted after the close: the frames it asked to close may still be open,
    // and are none of the restore's. A browser may open its frame in another
    // process than the one started; which frames came after which start
    // tells them apart where the processes do not.
    NewFrames opened;
    std::size_t starts = 0;
    // The whole CreateWait after each start, the last one included, however
    // long the start itself took: a slow machine is the one whose browser
    // needs the time most.
    for (BrowserWindowRecord& record : records) {
        // The waits answer other programs' messages, the end of the session
        // among them; a browser started after that would open only to be
        // ended with the session.
        if (SessionEnding)
            break;
        record.pid = LaunchBrowser(StartAddress(record));
        platform::SleepFor(createWait);
        opened.Note(++starts);
    }
    platform::SleepFor(resizeWait);
    opened.Match(records, starts);

    // All moves before any show, so a maximised or minimised window keeps the
    // recorded rectangle as its normal position.
    const std::vector<platform::Monitor> monitors = platform::Monitors();
    for (const BrowserWindowRecord& record : records) {
        if (record.hwnd == nullptr)
            continue;
        BringToNormalState(record.hwnd);
        const PlacedRect to =
            ScreenRectOf({record.w_x, record.w_y, record.w_width, record.w_height}, monitors);
        // A browser that scales per monitor resizes itself when a move takes
        // it onto a monitor of another DPI; moved again once there, it keeps
        // the recorded size. For any other window the second move changes
        // nothing.
        platform::MoveWindowTo(record.hwnd, to.x, to.y, to.width, to.height);
        platform::MoveWindowAgainTo(record.hwnd, to.x, to.y, to.width, to.height);
    }
    for (const BrowserWindowRecord& record : records) {
        if (record.hwnd == nullptr || record.style == 0)
            continue;
        platform::ShowWindowAs(record.hwnd, record.style);
    }

    // The records list the windows top of the Z order first, but every
    // activating show has put its window in front, so the last one shown
    // would end on top. Restacked, the user gets back the order they saved,
    // the first record in front and active. Hidden and minimised windows
    // have no place in what the user sees, and none is activated.
    std::vector<platform::WindowHandle> inFront;
    for (const BrowserWindowRecord& record : records) {
        if (record.hwnd != nullptr && ShownOnTheDesktop(record.style))
            inFront.push_back(record.hwnd);
    }
    if (!inFront.empty())
        platform::StackWindows(inFront);

    // Last, once every window stands where it was saved: a tab brought to the
    // front changes what its frame shows, not where it stands.
    for (const BrowserWindowRecord& record : records)
        OpenOtherTabs(record);
}

std::int32_t CSnapshotManager::ToggleTopmost() {
    if (Topmost == 0) {
        // Windows come and go while the chain is walked, and it can then lead
        // back to a window already passed: no more steps than there are
        // windows, so that a loop ends as "none found".
        std::size_t stepsLeft = platform::TopLevelWindows().size();
        platform::WindowHandle below = platform::NextWindowBelow(platform::MainWindow());
        while (below != nullptr && !platform::IsWindowShown(below)) {
            below = stepsLeft-- == 0 ? nullptr : platform::NextWindowBelow(below);
        }
        if (below == nullptr)
            return 0;
        TopmostTarget = below;
    }
    platform::SetTopmost(TopmostTarget, Topmost == 0);
    Topmost = 1 - Topmost;
    return Topmost;
}

void CSnapshotManager::Shutdown() {
    if (Save != 0)
        SaveSnapshot();
    if (ExitIEWhenExit != 0)
        CloseAll();
    Windows.clear();
    BrowserPath.clear();
}
