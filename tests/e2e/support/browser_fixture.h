// Test-side helpers for the Wine tests: install the fixture browser in the
// prefix, start it at a chosen placement, find its frame, ask it for its own
// placement, and close every browser frame with a deadline.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

// Polls `done` every 20 ms until it holds or `limit` has passed; true when it
// held. Every wait of the Wine tests goes through here, never a bare sleep.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

// A path as Windows spells it: a Unix path "/a/b" becomes "Z:\a\b" (Wine maps
// the Unix root to drive Z:), anything else is returned as it is.
std::string ToWindowsPath(const std::string& path);

// "<Program Files>\Internet Explorer\IEXPLORE.EXE".
std::string BrowserExecutablePath();

// Puts `fixtureExe` in place of the browser executable; the first call keeps
// the prefix's own browser aside so that UseWineBrowser can put it back.
bool InstallFixtureBrowser(const std::string& fixtureExe);
bool UseWineBrowser();

struct FramePlacement {
    UINT showCmd = 0;
    RECT normal{};
};
bool operator==(const FramePlacement& a, const FramePlacement& b);
std::string Describe(const FramePlacement& placement);

// Starts `executable` (the installed browser when empty) as "<path>" <address>,
// with the fixture's placement option when one is given. Returns the process
// id or 0.
DWORD StartBrowser(const std::string& address,
                   const std::optional<FramePlacement>& placement = std::nullopt,
                   const std::string& executable = "");

// The same with a wide address, through CreateProcessW: an address outside
// the ANSI code page reaches the browser whole.
DWORD StartBrowser(const std::wstring& address,
                   const std::optional<FramePlacement>& placement = std::nullopt);

// Every top-level "IEFrame" window, top of the Z order first.
std::vector<HWND> BrowserFrames();
// The first "IEFrame" window owned by `pid`, polled until `limit`; null if none.
HWND WaitForFrameOf(DWORD pid, std::chrono::milliseconds limit = 10000ms);
DWORD OwnerOf(HWND window);
// A visible frame that is not in `before`, polled until `limit`; null if none.
// Finds a frame wherever the browser opened it, also in another process.
HWND WaitForNewFrame(const std::vector<HWND>& before, std::chrono::milliseconds limit = 10000ms);

// The fixture frame's own account of its placement (see fixture_protocol.h).
std::optional<FramePlacement> AskFixturePlacement(HWND frame);
// What GetWindowPlacement says from this process.
std::optional<FramePlacement> PlacementSeenFromHere(HWND frame);

// Posts WM_CLOSE to every browser frame and waits until none is left.
bool CloseEveryBrowserFrame(std::chrono::milliseconds limit = 10000ms);

// Makes and enters a fresh empty directory under the prefix's temp folder, so
// that "save" and "Pelorin.ini" start from nothing. Returns its path.
std::string EnterFreshDirectory(const std::string& name);

// The whole file, or nullopt when it cannot be read. Reads also a file that
// another process has open for writing.
std::optional<std::string> ReadFileBytes(const std::string& path);

}  // namespace e2e
