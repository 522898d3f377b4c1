#include "support/browser_fixture.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "fixture_protocol.h"

namespace e2e {

namespace {

constexpr char kFrameClass[] = "IEFrame";

std::string AsideCopyPath() {
    return BrowserExecutablePath() + ".wine";
}

bool IsFrame(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return lstrcmpA(name, kFrameClass) == 0;
}

// Windows refuses to overwrite the executable of a running process, and a
// browser whose frame has just closed may still be ending: copy with retries.
bool CopyWhenFree(const std::string& from, const std::string& to) {
    const auto wanted = ReadFileBytes(from);
    if (!wanted)
        return false;
    return WaitUntil([&] {
        return ReadFileBytes(to) == wanted || CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
    });
}

BOOL CALLBACK CollectFrame(HWND window, LPARAM context) {
    if (IsFrame(window))
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // Keep our own windows answering while we wait: the program's hidden
        // main window lives on this thread.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        std::this_thread::sleep_for(20ms);
    }
}

std::string ToWindowsPath(const std::string& path) {
    if (path.empty() || path.front() != '/')
        return path;
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/')
            c = '\\';
    }
    return windows;
}

std::string BrowserExecutablePath() {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) {
        return "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
    }
    return std::string(folder) + "\\Internet Explorer\\IEXPLORE.EXE";
}

bool InstallFixtureBrowser(const std::string& fixtureExe) {
    const std::string browser = BrowserExecutablePath();
    if (GetFileAttributesA(AsideCopyPath().c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CopyFileA(browser.c_str(), AsideCopyPath().c_str(), TRUE)) {
        return false;
    }
    return CopyWhenFree(ToWindowsPath(fixtureExe), browser);
}

bool UseWineBrowser() {
    return CopyWhenFree(AsideCopyPath(), BrowserExecutablePath());
}

bool operator==(const FramePlacement& a, const FramePlacement& b) {
    return a.showCmd == b.showCmd && EqualRect(&a.normal, &b.normal);
}

std::string Describe(const FramePlacement& placement) {
    char text[96];
    std::snprintf(text, sizeof(text), "show %u normal (%ld,%ld)-(%ld,%ld)", placement.showCmd,
                  placement.normal.left, placement.normal.top, placement.normal.right,
                  placement.normal.bottom);
    return text;
}

namespace {

std::string PlaceOption(const std::optional<FramePlacement>& placement) {
    if (!placement)
        return "";
    char option[96];
    std::snprintf(option, sizeof(option), " %s%u,%ld,%ld,%ld,%ld", fixture::kPlaceOption,
                  placement->showCmd, placement->normal.left, placement->normal.top,
                  placement->normal.right, placement->normal.bottom);
    return option;
}

template <typename Char, typename Startup, typename Start>
DWORD StartProcess(const Char* browser, std::basic_string<Char> line, Start start) {
    Startup startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!start(browser, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
               &process)) {
        return 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

}  // namespace

DWORD StartBrowser(const std::string& address, const std::optional<FramePlacement>& placement,
                   const std::string& executable) {
    const std::string browser = executable.empty() ? BrowserExecutablePath() : executable;
    return StartProcess<char, STARTUPINFOA>(
        browser.c_str(), "\"" + browser + "\" " + address + PlaceOption(placement), CreateProcessA);
}

DWORD StartBrowser(const std::wstring& address, const std::optional<FramePlacement>& placement) {
    const std::string ansi = "\"" + BrowserExecutablePath() + "\" ";
    const std::string option = PlaceOption(placement);
    return StartProcess<wchar_t, STARTUPINFOW>(nullptr,
                                               std::wstring(ansi.begin(), ansi.end()) + address +
                                                   std::wstring(option.begin(), option.end()),
                                               CreateProcessW);
}

std::vector<HWND> BrowserFrames() {
    std::vector<HWND> frames;
    EnumWindows(&CollectFrame, reinterpret_cast<LPARAM>(&frames));
    return frames;
}

DWORD OwnerOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

HWND WaitForFrameOf(DWORD pid, std::chrono::milliseconds limit) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND frame : BrowserFrames()) {
                if (OwnerOf(frame) == pid && IsWindowVisible(frame))
                    found = frame;
            }
            return found != nullptr;
        },
        limit);
    return found;
}

HWND WaitForNewFrame(const std::vector<HWND>& before, std::chrono::milliseconds limit) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND frame : BrowserFrames()) {
                if (IsWindowVisible(frame) &&
                    std::find(before.begin(), before.end(), frame) == before.end()) {
                    found = frame;
                }
            }
            return found != nullptr;
        },
        limit);
    return found;
}

std::optional<FramePlacement> AskFixturePlacement(HWND frame) {
    const UINT query = RegisterWindowMessageA(fixture::kQueryMessage);
    LONG fields[6] = {};
    for (unsigned field = 0; field < 6; ++field) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(frame, query, field, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
            return std::nullopt;
        }
        fields[field] = LONG(answer);
    }
    // Any other window answers an unknown message with 0.
    if (fields[fixture::kIdentity] != fixture::kIdentityAnswer)
        return std::nullopt;
    FramePlacement placement;
    placement.showCmd = UINT(fields[fixture::kShowCmd]);
    placement.normal = {fields[fixture::kNormalLeft], fields[fixture::kNormalTop],
                        fields[fixture::kNormalRight], fields[fixture::kNormalBottom]};
    return placement;
}

std::optional<FramePlacement> PlacementSeenFromHere(HWND frame) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(frame, &placement))
        return std::nullopt;
    return FramePlacement{placement.showCmd, placement.rcNormalPosition};
}

bool CloseEveryBrowserFrame(std::chrono::milliseconds limit) {
    for (HWND frame : BrowserFrames())
        PostMessageA(frame, WM_CLOSE, 0, 0);
    return WaitUntil([] { return BrowserFrames().empty(); }, limit);
}

std::string EnterFreshDirectory(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char unique[32];
    std::snprintf(unique, sizeof(unique), "-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    // A parameterised test's name ends in "/<index>": no folder name.
    std::string folder = name;
    std::replace(folder.begin(), folder.end(), '/', '-');
    const std::string path = std::string(temp) + "pelorin-" + folder + unique;
    CreateDirectoryA(path.c_str(), nullptr);
    SetCurrentDirectoryA(path.c_str());
    return path;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    // Write sharing, so that a file another program still holds open for
    // writing (Pelorin.exe's redirected output) can be read as it stands.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

}  // namespace e2e
