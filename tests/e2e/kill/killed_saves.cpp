// killed_saves.exe <Pelorin.exe> <fixture_browser.exe> <count> [seed [signal folder]]
//
// With a signal folder, the kill is a SIGKILL sent from the Unix side by
// scripts/killed-saves: the driver creates "armed" there once the copy's frame
// exists and waits for "resolved" (the helper has found the copy's Unix
// process), then at the kill moment creates "kill" and waits for the copy to
// end. Without one, TerminateProcess ends the copy.
//
// Starts Pelorin.exe <count> times beside one fixture browser frame, makes
// each copy save a snapshot and confirm the settings dialog, and terminates
// it at a random moment of that work. After every kill, each file in the save folder
// matching *.txt must hold exactly the bytes of a complete snapshot, and
// Pelorin.ini exactly its old or its new content. The temporary files a kill
// leaves are counted and left for the next copy, whose start must clear them:
// after a last copy started and ended normally, none may be left. Prints the
// counts; exits 1 when any file was found torn or missing, or a temporary
// file outlived that last start.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/browser_fixture.h"

namespace {

constexpr UINT kSave = 103;      // IDM_SAVE
constexpr UINT kSettings = 105;  // IDM_SETTINGS
constexpr UINT kExit = 101;      // IDM_EXIT
constexpr char kFrameClass[] = "Pelorin:0:0:0:0";
constexpr char kOldIni[] = "[Setting]\r\nAutoSaveTime=7\r\n";
constexpr char kNewIni[] =
    "[Setting]\r\nAutoSave=0\r\nAutoSaveTime=7\r\nCreateWait=300\r\nExitIEWhenExit=0\r\n"
    "ExitIEWhenRestore=0\r\nResizeWait=500\r\nRestoreWhenStart=0\r\nSave=0\r\n";

struct Found {
    DWORD pid;
    const char* className;
    HWND window;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* f = reinterpret_cast<Found*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner == f->pid && std::string(name) == f->className) {
        f->window = window;
        return FALSE;
    }
    return TRUE;
}

HWND WindowOf(DWORD pid, const char* className) {
    Found found{pid, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

HWND WaitForWindow(DWORD pid, const char* className, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        if (HWND w = WindowOf(pid, className))
            return w;
        Sleep(5);
    }
    return nullptr;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::vector<std::string> Entries(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

PROCESS_INFORMATION Start(const std::string& exe, const std::string& args,
                          const std::string& folder) {
    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    // The program's title lines go nowhere.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, folder.c_str(), &startup, &info);
    CloseHandle(nowhere);
    if (!started) {
        std::fprintf(stderr, "cannot start %s (%lu)\n", exe.c_str(), GetLastError());
        std::exit(2);
    }
    CloseHandle(info.hThread);
    return info;
}

// A Unix path "/a/b" as Wine's drive Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: killed_saves.exe PELORIN FIXTURE COUNT [SEED]\n");
        return 2;
    }
    const std::string pelorin = WindowsPath(argv[1]);
    const std::string fixture = WindowsPath(argv[2]);
    const int count = std::atoi(argv[3]);
    const unsigned seed = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : GetTickCount();

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "pelorin-killed-" + std::to_string(seed);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string ini = folder + "\\Pelorin.ini";
    const std::string save = folder + "\\save";
    CreateDirectoryA(save.c_str(), nullptr);
    if (!WriteAll(ini, kOldIni))
        return 2;

    PROCESS_INFORMATION browser = Start(fixture, "about:killed", folder);
    if (!WaitForWindow(browser.dwProcessId, "IEFrame", 10000)) {
        std::fprintf(stderr, "no fixture frame\n");
        return 2;
    }

    // One save run to its end gives the bytes every complete snapshot holds.
    PROCESS_INFORMATION first = Start(pelorin, "", folder);
    HWND frame = WaitForWindow(first.dwProcessId, kFrameClass, 10000);
    if (!frame)
        return 2;
    PostMessageA(frame, WM_COMMAND, kSave, 0);
    PostMessageA(frame, WM_COMMAND, kExit, 0);
    WaitForSingleObject(first.hProcess, 10000);
    CloseHandle(first.hProcess);
    std::vector<std::string> names = Entries(save + "\\*.txt");
    if (names.size() != 1) {
        std::fprintf(stderr, "the reference save wrote %zu files\n", names.size());
        return 2;
    }
    const std::string complete = e2e::ReadFileBytes(save + "\\" + names[0]).value_or("");

    std::mt19937 random(seed);
    // From the frame's appearance, the save, the dialog and its confirmed
    // save take a few tens of milliseconds under Wine; the kills spread over
    // that time, so that some land in each step.
    std::uniform_int_distribution<int> delay(0, 50);
    const std::string signals = argc > 5 ? WindowsPath(argv[5]) : std::string();
    int killed = 0, exitedFirst = 0, torn = 0, iniNew = 0, iniOld = 0, strayTmp = 0;
    int snapshotsSeen = 0, signalled = 0, terminated = 0, mostStrayAtOnce = 0;
    const auto temporaryFiles = [&] {
        return Entries(save + "\\*.tmp").size() + Entries(folder + "\\*.tmp").size();
    };
    for (int i = 0; i < count; ++i) {
        WriteAll(ini, kOldIni);
        PROCESS_INFORMATION copy = Start(pelorin, "", folder);
        HWND window = WaitForWindow(copy.dwProcessId, kFrameClass, 10000);
        bool resolved = false;
        if (window && !signals.empty()) {
            WriteAll(signals + "\\armed", std::to_string(i));
            const DWORD asked = GetTickCount();
            while (!resolved && GetTickCount() - asked < 5000) {
                resolved =
                    GetFileAttributesA((signals + "\\resolved").c_str()) != INVALID_FILE_ATTRIBUTES;
                if (!resolved)
                    Sleep(1);
            }
            DeleteFileA((signals + "\\resolved").c_str());
        }
        if (window) {
            PostMessageA(window, WM_COMMAND, kSave, 0);
            PostMessageA(window, WM_COMMAND, kSettings, 0);
        }
        const DWORD start = GetTickCount();
        const DWORD at = static_cast<DWORD>(delay(random));
        bool confirmed = false;
        while (GetTickCount() - start < at) {
            if (!confirmed) {
                HWND dialog = WindowOf(copy.dwProcessId, "#32770");
                if (dialog && IsWindowVisible(dialog)) {
                    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                    confirmed = true;
                }
            }
            Sleep(1);
        }
        if (WaitForSingleObject(copy.hProcess, 0) == WAIT_OBJECT_0) {
            ++exitedFirst;
        } else {
            if (resolved) {
                WriteAll(signals + "\\kill", std::to_string(i));
                if (WaitForSingleObject(copy.hProcess, 10000) == WAIT_OBJECT_0)
                    ++signalled;
            }
            if (WaitForSingleObject(copy.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(copy.hProcess, 9);
                WaitForSingleObject(copy.hProcess, 10000);
                ++terminated;
            }
            ++killed;
        }
        CloseHandle(copy.hProcess);

        for (const std::string& name : Entries(save + "\\*.txt")) {
            ++snapshotsSeen;
            if (e2e::ReadFileBytes(save + "\\" + name) != complete) {
                ++torn;
                std::printf("torn snapshot after kill %d: %s\n", i, name.c_str());
            }
        }
        const int stray = static_cast<int>(temporaryFiles());
        strayTmp += stray;
        mostStrayAtOnce = std::max(mostStrayAtOnce, stray);
        const std::optional<std::string> settings = e2e::ReadFileBytes(ini);
        if (settings == kNewIni) {
            ++iniNew;
        } else if (settings == kOldIni) {
            ++iniOld;
        } else {
            ++torn;
            std::printf("torn or missing Pelorin.ini after kill %d (%zu bytes)\n", i,
                        settings.value_or("").size());
        }
    }

    // A last copy, started and ended normally: its start clears what the
    // kills left (the exit posted now runs once the start-up is over).
    PROCESS_INFORMATION last = Start(pelorin, "", folder);
    if (HWND lastFrame = WaitForWindow(last.dwProcessId, kFrameClass, 10000))
        PostMessageA(lastFrame, WM_COMMAND, kExit, 0);
    if (WaitForSingleObject(last.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(last.hProcess, 9);
    CloseHandle(last.hProcess);
    const int leftAtEnd = static_cast<int>(temporaryFiles());
    TerminateProcess(browser.hProcess, 0);
    CloseHandle(browser.hProcess);

    std::printf(
        "runs %d: killed %d (SIGKILL %d, TerminateProcess %d), ended before the kill %d; "
        "Pelorin.ini afterwards old %d, new %d; snapshot files checked %d; torn or missing %d; "
        "temporary files (not *.txt) found after kills %d, at most %d at once, "
        "left after a normal start %d; seed %u\n",
        count, killed, signalled, terminated, exitedFirst, iniOld, iniNew, snapshotsSeen, torn,
        strayTmp, mostStrayAtOnce, leftAtEnd, seed);
    return torn == 0 && leftAtEnd == 0 ? 0 : 1;
}
