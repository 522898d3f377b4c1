#include "snapshot/browser_capture.h"

#include <cstdio>
#include <vector>

#include "snapshot/browser_tabs.h"
#include "snapshot/workspace.h"

namespace {

constexpr char kBrowserFrameClass[] = "IEFrame";
constexpr std::int32_t kShowNormal = 1;  // SW_SHOWNORMAL

// right - left without signed overflow, for whatever edges a window reports.
std::int32_t Span(std::int32_t from, std::int32_t to) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(to) -
                                     static_cast<std::uint32_t>(from));
}

// A frame whose placement cannot be read is still worth restoring: it is
// recorded as shown normally at its current rectangle, or at zeros when even
// that cannot be read. A frame closed since the enumeration is not: its
// record would open an extra blank browser at the restore and make the
// snapshot differ from the last one for nothing. Absent for such a frame.
std::optional<platform::Placement> PlacementOrCurrentRect(platform::WindowHandle frame) {
    if (std::optional<platform::Placement> placement = platform::WindowPlacement(frame)) {
        return placement;
    }
    if (!platform::WindowExists(frame))
        return std::nullopt;
    return platform::Placement{kShowNormal, platform::WindowRect(frame).value_or(platform::Rect{})};
}

// The rectangle to record. A window snapped to half the screen (or otherwise
// arranged) reports itself shown normally, with the normal rectangle it had
// before; the user sees it where it is now, so that is what is recorded. Only
// for windows shown normally: those maximised or minimised keep their normal
// rectangle. Where both agree, nothing changes.
platform::Rect RecordedRect(platform::WindowHandle frame, const platform::Placement& placement,
                            const std::vector<platform::Monitor>& monitors) {
    if (placement.showCmd != kShowNormal)
        return placement.normal;
    const std::optional<platform::Rect> current = platform::WindowRect(frame);
    return current ? WorkspaceRectOf(*current, monitors) : placement.normal;
}

}  // namespace

std::string GetAddressBarText(platform::WindowHandle frame) {
    // Each link is searched only below one that was found: a search below no
    // window searches the desktop's own windows instead.
    platform::WindowHandle rebar = platform::FindChildWindow(frame, "WorkerW");
    if (rebar != nullptr)
        rebar = platform::FindChildWindow(rebar, "ReBarWindow32");
    if (rebar == nullptr)
        return std::string();
    std::string text;
    if (platform::WindowHandle combo = platform::FindChildWindow(rebar, "ComboBoxEx32"))
        text = platform::AddressBarText(combo);
    if (!text.empty())
        return text;
    // From IE 7 on the address bar sits in a band of its own: a combo box in
    // IE 7, an Edit from IE 8 on, where some builds keep an empty combo box
    // beside it. The first that shows an address is the one.
    const platform::WindowHandle band = platform::FindChildWindow(rebar, "Address Band Root");
    if (band == nullptr)
        return text;
    for (const char* className : {"ComboBoxEx32", "Edit"}) {
        if (platform::WindowHandle bar = platform::FindChildWindow(band, className))
            text = platform::AddressBarText(bar);
        if (!text.empty())
            break;
    }
    return text;
}

void CaptureBrowserWindows(BrowserWindowList& list) {
    const std::vector<platform::Monitor> monitors = platform::Monitors();
    for (platform::WindowHandle window : platform::TopLevelWindows()) {
        platform::ProcessId pid = platform::WindowProcess(window);
        std::string name = platform::WindowClassName(window);
        // Exact, case-sensitive comparison: "ieframe" is some other program.
        if (name != kBrowserFrameClass)
            continue;
        // Read for frames only: for a window of this very process the title
        // is asked of the thread that owns it, which may be busy; the
        // browser's own title is read without waiting on it.
        std::string title = platform::WindowTitle(window);

        std::string option = GetAddressBarText(window);
        std::optional<platform::Placement> placement = PlacementOrCurrentRect(window);
        if (!placement)
            continue;
        const platform::Rect r = RecordedRect(window, *placement, monitors);
        BrowserWindowRecord record(name, title, option, r.left, r.top, Span(r.left, r.right),
                                   Span(r.top, r.bottom));
        record.hwnd = window;
        record.pid = pid;
        record.style = placement->showCmd;
        CaptureFrameTabs(record);
        list.push_back(std::move(record));
        // puts, not printf: the C++ printf of MinGW is its own, some 25 KB,
        // and that one wrote through at once. Flushed, the title shows as it
        // is read where the output goes to a file or a pipe.
        std::puts(title.c_str());
        std::fflush(stdout);
    }
}
