// A frame's tabs: read into its record at a capture, opened again after a
// restore placed the frame.
#pragma once

#include <string>

#include "snapshot/browser_window.h"

// Fills `record.tabs` and `record.front_tab` from the tab row of
// `record.hwnd`; the front tab's entry is `record.option`. Leaves them empty
// unless at least two tabs were read and exactly one of them is in front.
void CaptureFrameTabs(BrowserWindowRecord& record);

// The address the record's browser is started with: its first tab's, else
// `option`.
const std::string& StartAddress(const BrowserWindowRecord& record);

// Opens the record's tabs after the first in its frame `record.hwnd`, in
// order, the front one brought to the front.
void OpenOtherTabs(const BrowserWindowRecord& record);
