// The narrow seam through which storage/ and snapshot/ reach the system.
//
// Every operation the portable logic needs from Windows is declared here, in
// the program's own terms, each with its contract. It is a link-time seam:
// Pelorin.exe links platform/win32, the Linux unit tests link platform/sim.
// Nothing here throws; failures are reported through the result types.
//
// All text is narrow bytes in the system's ANSI code page and is never
// converted; the one exception is an address the code page cannot hold (see
// AddressBarText), which is spelled in ASCII instead. Paths are spelled with backslashes
// ("save\\x.txt"), relative paths resolve against the process's current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// An opaque top-level or child window; nullptr is "no window".
struct WindowTag;
using WindowHandle = WindowTag*;

using ProcessId = std::uint32_t;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A window's show command (an SW_ value) and its normal (restored) rectangle.
struct Placement {
    std::int32_t showCmd = 0;
    Rect normal;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// ---- Windows ---------------------------------------------------------------

// The top-level windows in enumeration order: top of the Z order first.
std::vector<WindowHandle> TopLevelWindows();

// The window's class name, cut to 1023 bytes; empty when it cannot be read.
std::string WindowClassName(WindowHandle window);

// The window's title, cut to 1023 bytes; empty when it cannot be read.
std::string WindowTitle(WindowHandle window);

// The id of the process that owns the window; 0 when it cannot be read.
ProcessId WindowProcess(WindowHandle window);

// The window's show command and normal rectangle; absent when the query fails.
std::optional<Placement> WindowPlacement(WindowHandle window);

// Whether the handle still names a window: false once the window is gone.
bool WindowExists(WindowHandle window);

// The window's current rectangle in screen coordinates; absent on failure.
std::optional<Rect> WindowRect(WindowHandle window);

// The first direct child of `parent` whose class is `className`, or nullptr.
WindowHandle FindChildWindow(WindowHandle parent, const std::string& className);

// The address that an address-bar control shows, read as wide text (at most
// 1023 UTF-16 units): its ANSI bytes when every character converts exactly,
// else the same address in ASCII (AddressAsUri in platform/address_uri.h);
// at most 1023 bytes either way, cut between characters. Empty when nothing
// was copied or when the control's thread does not answer within about a second.
std::string AddressBarText(WindowHandle addressBar);

// One tab of a browser frame: its page's address, read and converted as
// AddressBarText reads, and whether it is the tab the frame shows.
struct FrameTab {
    std::string address;
    bool front = false;
    friend bool operator==(const FrameTab&, const FrameTab&) = default;
};

// The frame's tabs in the order of its tab row; the front tab's address is
// left empty (the address bar shows it), a tab whose page does not give its
// address is left out. Empty for a frame without tabs, and when the reading does not end
// within about a second (at once while too many such readings are still
// stuck in hung browsers).
std::vector<FrameTab> FrameTabs(WindowHandle frame);

// Opens the addresses of `tabs` after the first (which the frame shows) in
// new tabs of the frame, in this order, through the browser of the tab it
// shows; the one at index `front` is brought to the front, the others open
// behind. Stops at the first the browser refuses, and waits at most about a
// second for each.
void OpenTabs(WindowHandle frame, const std::vector<std::string>& tabs, std::size_t front);

// Queues a close request (WM_CLOSE) and returns at once.
void PostCloseRequest(WindowHandle window);

// Every call on another program's window that takes or gives a position or
// size (WindowPlacement, WindowRect, MoveWindowTo, Monitors) speaks in 96-DPI
// units, scaled per monitor by the system, whatever the program's own DPI
// awareness.
//
// MoveWindowTo, MoveWindowAgainTo, ShowWindowAs, SetTopmost and StackWindows
// hand their requests to the window's own thread and wait at most about a
// second for each to be carried out; not at all for a window the system takes
// for hung (a hung browser must not block the program) or for a request the
// system refused; each window carries out its requests in the order they
// were made.

// Moves and sizes the window to x, y, width, height and repaints it.
void MoveWindowTo(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height);

// As MoveWindowTo, right after it with the same values; waits only for the
// window's thread to answer, not for the window to stand there.
void MoveWindowAgainTo(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height);

// Shows the window with a show command (an SW_ value).
void ShowWindowAs(WindowHandle window, std::int32_t showCmd);

// The next window below in the Z order, or nullptr at the bottom.
WindowHandle NextWindowBelow(WindowHandle window);

// Whether the window is visible.
bool IsWindowShown(WindowHandle window);

// Puts the window into the topmost band (true) or takes it out (false),
// without moving or sizing it, and activates it as far as the system lets the
// program. Fails silently on a window that is gone.
void SetTopmost(WindowHandle window, bool topmost);

// Brings the first window to the top of its band and activates it, as far as
// the system lets the program, and places each next one directly below the
// one before it; no other window is asked to move in the Z order.
void StackWindows(const std::vector<WindowHandle>& topFirst);

// One display monitor: its whole rectangle and its work area (the part that
// the taskbar and other desktop toolbars leave to windows), both in screen
// coordinates. A window's normal rectangle (WindowPlacement) is in workspace
// coordinates instead: relative to the work area of its monitor, that is
// moved by workArea.left - area.left and workArea.top - area.top.
struct Monitor {
    Rect area;
    Rect workArea;
    friend bool operator==(const Monitor&, const Monitor&) = default;
};

// The display monitors attached now, in no particular order; empty when they
// cannot be read.
std::vector<Monitor> Monitors();

// The program's own main window (the hidden tray frame), or nullptr before
// one was registered with SetMainWindow.
WindowHandle MainWindow();
void SetMainWindow(WindowHandle window);

// A modal message box with no owner, one OK button and no icon; returns when
// the user has closed it. Both texts are ANSI bytes passed as they are.
void ShowErrorBox(const std::string& text, const std::string& caption);

// ---- Processes and time ----------------------------------------------------

// Starts `application` with the full `commandLine` (which must begin with the
// program name, as Windows expects) in the program's own environment and
// current directory, without waiting. Returns the new process id, or 0 when
// nothing was started. No handle stays open.
ProcessId StartProcess(const std::string& application, const std::string& commandLine);

// Blocks the calling thread for `milliseconds`. Messages that other threads
// send to the thread's windows meanwhile are answered, so that their senders
// are not held up; posted messages stay queued until it returns.
void SleepFor(std::uint32_t milliseconds);

// The current local time (daylight saving included); absent on failure.
std::optional<std::tm> LocalTimeNow();

// ---- Folders and files -----------------------------------------------------

// The Program Files folder, without a trailing backslash; absent on failure.
std::optional<std::string> ProgramFilesFolder();

// True when `path` exists and is a directory, whatever its other attributes.
bool IsDirectory(const std::string& path);

// Creates the directory; false when it cannot, also when anything of that
// name exists already.
bool CreateDirectoryAt(const std::string& path);

// The names (not paths) of the entries matching a pattern such as
// "save\\*.txt", in no particular order; folders that match are included.
// Empty when nothing matches or the folder does not exist.
std::vector<std::string> ListMatchingEntries(const std::string& pattern);

// The whole file, byte for byte; absent when it cannot be opened (missing,
// a folder, no access).
std::optional<std::string> ReadWholeFile(const std::string& path);

// What an atomic replacement of `path` writes first, beside it, as `path`
// followed by this: a name that only this program makes, so that clearing
// what killed replacements left can never take a user's file ("x.txt.tmp",
// "Pelorin.ini.tmp" and the like are left alone). Not ".txt" at the end, in
// the long name or the short one, so no listing of "*.txt" ever sees it.
inline constexpr char kReplacementSuffix[] = "~pelorin.tmp";

// Replaces the whole file with `content` atomically: afterwards it holds
// either exactly `content` (true) or, on any failure, exactly what it held
// before (false). The new content is first written to `path` plus
// kReplacementSuffix and then moved over `path`; that temporary name is fixed,
// so a replacement that was cut short leaves at most one such file per
// target, which the next replacement of that target takes over.
bool ReplaceWholeFile(const std::string& path, const std::string& content);

// How a replacement ended. Refused: it could not be made, but not for a fault
// of the target itself: no file may be created beside `path`, or another
// program holds `path` open in a way that lets it be written but not replaced.
enum class Replacement { Done, Failed, Refused };

// As ReplaceWholeFile, telling a refusal from other failures.
Replacement TryReplaceWholeFile(const std::string& path, const std::string& content);

// A file open for writing in place; nullptr is "not open".
struct FileTag;
using OpenFile = FileTag*;

// Opens the file for reading and writing, made empty when missing, whatever its
// hidden or system attributes, letting other programs read and write it too;
// nullptr when it cannot (a folder, no access, held without sharing).
OpenFile OpenForWriting(const std::string& path);

// The whole of the open file from its first byte; absent on a read error.
std::optional<std::string> ReadOpenFile(OpenFile file);

// Writes `bytes` from byte `offset` on; false unless every byte was written.
bool WriteAt(OpenFile file, std::uint64_t offset, const std::string& bytes);

// Makes the file end after `size` bytes; false on failure.
bool SetFileEnd(OpenFile file, std::uint64_t size);

// Writes what the system still holds of the file to the disk; false on failure.
bool FlushFile(OpenFile file);

// Closes the file, which is not open afterwards either way; false when the
// system reports an error.
bool CloseFile(OpenFile file);

// Removes the temporary files that replacements of the files matching
// `pattern` (such as "save\\*.txt") left behind when they were cut short: the
// process killed or the power lost between writing a temporary file and
// moving it over its target. Only names made by a replacement are touched;
// folders of such names are left alone. Only for a moment when no
// replacement of those files can be under way.
void RemoveInterruptedReplacements(const std::string& pattern);

}  // namespace platform
