#include "snapshot/new_frames.h"

#include <algorithm>
#include <utility>

#include "snapshot/browser_capture.h"
#include "snapshot/browser_tabs.h"

namespace {

constexpr char kBrowserFrameClass[] = "IEFrame";

// The browser frames open now, top of the Z order first.
std::vector<platform::WindowHandle> BrowserFrames() {
    std::vector<platform::WindowHandle> frames;
    for (platform::WindowHandle window : platform::TopLevelWindows()) {
        if (platform::WindowClassName(window) == kBrowserFrameClass)
            frames.push_back(window);
    }
    return frames;
}

bool Contains(const std::vector<platform::WindowHandle>& windows, platform::WindowHandle window) {
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

}  // namespace

NewFrames::NewFrames() : before_(BrowserFrames()) {}

bool NewFrames::Known(platform::WindowHandle window) const {
    return Contains(before_, window) ||
           std::any_of(seen_.begin(), seen_.end(),
                       [window](const Frame& frame) { return frame.window == window; });
}

std::vector<platform::WindowHandle> NewFrames::Note(std::size_t starts) {
    std::vector<platform::WindowHandle> open = BrowserFrames();
    // A new frame opens in front of the frames before it: of those that
    // appeared since the last note, the lowest came first.
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (!Known(*it))
            seen_.push_back({.window = *it, .seenAfter = starts});
    }
    return open;
}

bool NewFrames::CouldHaveOpened(const BrowserWindowList& records, std::size_t index,
                                const Frame& frame) const {
    // A frame first seen after k starts came from one of those k. One owned
    // by the process started for a record came from that record's start or
    // from a later one that merged into it: never from an earlier one, whose
    // browser may have opened nothing.
    if (index >= frame.seenAfter)
        return false;
    std::size_t i = 0;
    for (const BrowserWindowRecord& record : records) {
        if (frame.owner != 0 && record.pid == frame.owner)
            return i <= index;
        ++i;
    }
    return true;
}

void NewFrames::Match(BrowserWindowList& records, std::size_t starts) {
    const std::vector<platform::WindowHandle> open = Note(starts);
    for (Frame& frame : seen_) {
        frame.owner = platform::WindowProcess(frame.window);
        frame.taken = !Contains(open, frame.window);
    }

    // Where the started process owns one new frame, that frame is its
    // record's, as when every browser opened its window in its own process.
    for (BrowserWindowRecord& record : records) {
        Frame* owned = nullptr;
        std::size_t count = 0;
        for (Frame& frame : seen_) {
            if (record.pid != 0 && frame.owner == record.pid) {
                owned = &frame;
                ++count;
            }
        }
        if (count == 1 && !owned->taken) {
            record.hwnd = owned->window;
            owned->taken = true;
        }
    }
    // The rest opened in a process that holds several frames or none of the
    // started ones: first by the address each browser was started with, read
    // as a capture reads it; then, for pages that show another address (a
    // redirect, a page still loading), in the order the frames appeared. The
    // addresses are read only here, so a restore that the processes settle
    // reads none.
    for (bool byAddress : {true, false}) {
        std::size_t index = 0;
        for (BrowserWindowRecord& record : records) {
            for (Frame& frame : seen_) {
                if (record.pid == 0 || record.hwnd != nullptr)
                    break;
                if (frame.taken || !CouldHaveOpened(records, index, frame))
                    continue;
                if (byAddress && !std::exchange(frame.addressRead, true))
                    frame.address = GetAddressBarText(frame.window);
                if (byAddress && frame.address != StartAddress(record))
                    continue;
                record.hwnd = frame.window;
                frame.taken = true;
            }
            ++index;
        }
    }
}
