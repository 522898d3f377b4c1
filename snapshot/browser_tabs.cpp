#include "snapshot/browser_tabs.h"

#include <algorithm>
#include <vector>

void CaptureFrameTabs(BrowserWindowRecord& record) {
    const std::vector<platform::FrameTab> tabs = platform::FrameTabs(record.hwnd);
    const auto isFront = [](const platform::FrameTab& tab) { return tab.front; };
    // Without a front tab there is no telling which entry `option` stands
    // for; a restore of the tabs read would then lose it.
    if (tabs.size() < 2 || std::count_if(tabs.begin(), tabs.end(), isFront) != 1)
        return;
    record.tabs.clear();
    for (const platform::FrameTab& tab : tabs)
        record.tabs.push_back(tab.front ? record.option : tab.address);
    record.front_tab =
        static_cast<std::int32_t>(std::find_if(tabs.begin(), tabs.end(), isFront) - tabs.begin());
}

const std::string& StartAddress(const BrowserWindowRecord& record) {
    return record.tabs.empty() ? record.option : record.tabs.front();
}

void OpenOtherTabs(const BrowserWindowRecord& record) {
    if (record.hwnd == nullptr || record.tabs.size() < 2)
        return;
    // IE 7 puts a new tab at the end of the row; IE 8 and later put a tab
    // opened from another one after the last tab opened from that one. Opened
    // in the saved order from the first tab, the row is the saved one either
    // way, also once the front one took the front.
    platform::OpenTabs(record.hwnd, record.tabs, static_cast<std::size_t>(record.front_tab));
}
