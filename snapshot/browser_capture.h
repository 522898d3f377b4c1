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
// ReBarWindow32 > ComboBoxEx32; empty when a link is missing.
std::string GetAddressBarText(platform::WindowHandle frame);
