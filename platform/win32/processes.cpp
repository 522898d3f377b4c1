// Process start, sleep, the local time and the Program Files folder.
#include <windows.h>

#include <shlobj.h>

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

void SleepFor(std::uint32_t milliseconds) {
    Sleep(milliseconds);
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
