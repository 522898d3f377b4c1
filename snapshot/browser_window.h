// One browser frame window, and the ordered list of them. Plain value types,
// shared by capture, restore and the snapshot files.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct BrowserWindowRecord {
    BrowserWindowRecord() = default;
    BrowserWindowRecord(std::string name, std::string title, std::string option, std::int32_t w_x,
                        std::int32_t w_y, std::int32_t w_width, std::int32_t w_height)
        : name(std::move(name)),
          title(std::move(title)),
          option(std::move(option)),
          w_x(w_x),
          w_y(w_y),
          w_width(w_width),
          w_height(w_height) {}

    platform::WindowHandle hwnd = nullptr;  // null until capture or a restore's match sets it
    platform::ProcessId pid = 0;
    std::int32_t style = 0;  // show command (SW_ value)
    std::string name;        // window class
    std::string title;
    std::string option;    // address-bar text; the browser's argument on restore
    std::int32_t w_x = 0;  // normal-position rectangle as position and size
    std::int32_t w_y = 0;
    std::int32_t w_width = 0;
    std::int32_t w_height = 0;
    // Every tab's address in the order of the tab row, the front tab's being
    // `option`; empty for a frame of one tab or whose other tabs could not be
    // read, which is then recorded and restored as a frame without tabs.
    std::vector<std::string> tabs;
    std::int32_t front_tab = 0;  // index of the front tab in `tabs`

    friend bool operator==(const BrowserWindowRecord&, const BrowserWindowRecord&) = default;
};

using BrowserWindowList = std::list<BrowserWindowRecord>;
