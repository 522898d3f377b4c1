// Capture: one BrowserWindowRecord per top-level browser frame ("IEFrame").
#pragma once

#include <string>

#include "platform/platform.h"
#include "snapshot/browser_window.h"

// Appends one record per top-level "IEFrame" window to `list`, in
// enumeration order (top of the Z order first), and writes each frame's
// title as a line to standard output.
void CaptureBrowserWindows(BrowserWindowList& list);

// The frame's address-bar text through its first children WorkerW >
// ReBarWindow32 > ComboBoxEx32 (IE 6); where that is missing or empty, through
// ... > ReBarWindow32 > Address Band Root > ComboBoxEx32 (IE 7), then
// ... > Address Band Root > Edit (IE 8 to 11). Empty when none shows one.
std::string GetAddressBarText(platform::WindowHandle frame);
