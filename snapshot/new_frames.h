// The browser frames that a restore's starts open, and which record each
// belongs to, wherever the browser opened it: in the started process, in one
// that already ran (merging), or in one the started process started (hand-off).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "snapshot/browser_window.h"

class NewFrames {
public:
    // Notes the frames open now: they belong to no record, ever.
    NewFrames();

    // Notes the frames that appeared since the last note, after `starts`
    // browser starts. Returns every frame open now.
    std::vector<platform::WindowHandle> Note(std::size_t starts);

    // Notes once more, then sets the hwnd of each started record (pid not 0)
    // to its frame, each frame going to one record at most: the one frame
    // its process owns; else the frame whose address bar shows the record's
    // option; else the frames in the order they appeared. A record is never
    // given a frame that its start cannot have opened.
    void Match(BrowserWindowList& records, std::size_t starts);

private:
    struct Frame {
        platform::WindowHandle window = nullptr;
        std::size_t seenAfter = 0;  // starts made when it was first seen
        platform::ProcessId owner = 0;
        bool taken = false;        // by a record, or closed since
        bool addressRead = false;  // read only when needed
        std::string address{};
    };

    bool Known(platform::WindowHandle window) const;
    bool CouldHaveOpened(const BrowserWindowList& records, std::size_t index,
                         const Frame& frame) const;

    std::vector<platform::WindowHandle> before_;
    std::vector<Frame> seen_;  // in the order they appeared
};
