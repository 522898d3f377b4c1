// Process start, sleep, the local time and the Program Files folder.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"

#if !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "the startup information of 32-bit Windows");
#endif

namespace platform {

ProcessId StartProcess(const std::string& application, const std::string& commandLine) {
    // CreateProcessA may write into its command line, so it gets a private,
    // writable copy sized for the text.
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;  // 68 on 32-bit Windows
    PROCESS_INFORMATION process = {};
    CreateProcessA(application.empty() ? nullptr : application.c_str(), buffer.data(), nullptr,
                   nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    // After a failed start both handles are null and the id is 0.
    if (process.hProcess != nullptr)
        CloseHandle(process.hProcess);
    if (process.hThread != nullptr)
        CloseHandle(process.hThread);
    return process.dwProcessId;
}

namespace {

// The performance counter in whole milliseconds, rounded down: a tick count
// of 10 to 16 ms could end a wait before its time.
std::uint64_t CounterMilliseconds() {
    LARGE_INTEGER frequency, now;
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&now) ||
        frequency.QuadPart <= 0)
        return static_cast<std::uint64_t>(GetTickCount());
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

}  // namespace

// The restore sleeps on the thread that owns the program's window. A program
// that sends a message to every top-level window (a settings change, the
// shutdown query) waits for each answer, so the sleep answers messages sent
// by other threads as they come: the system delivers them to the window
// procedure from inside PeekMessage. PM_NOREMOVE with PM_QS_SENDMESSAGE looks
// at nothing else, so posted messages, the tray's commands among them, stay
// queued until the sleep is over; PM_NOYIELD keeps a program that waits for
// this one to become idle (WaitForInputIdle) waiting, as it is not.
void SleepFor(std::uint32_t milliseconds) {
    const std::uint64_t deadline = CounterMilliseconds() + milliseconds;
    for (;;) {
        const std::uint64_t now = CounterMilliseconds();
        if (now >= deadline)
            return;
        // INFINITE is 0xFFFFFFFF, the one value a finite wait must not pass.
        const DWORD left =
            static_cast<DWORD>(std::min<std::uint64_t>(deadline - now, INFINITE - 1));
        const DWORD woken = MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_SENDMESSAGE, 0);
        if (woken == WAIT_FAILED) {
            Sleep(left);
            return;
        }
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD | PM_QS_SENDMESSAGE);
    }
}

std::optional<std::tm> LocalTimeNow() {
    std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1))
        return std::nullopt;
    // localtime's result lives in a per-thread buffer; copy it out at once.
    const std::tm* local = std::localtime(&now);
    if (local == nullptr)
        return std::nullopt;
    return *local;
}

std::optional<std::string> ProgramFilesFolder() {
    char buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE)) {
        return std::nullopt;
    }
    return std::string(buffer);
}

}  // namespace platform
