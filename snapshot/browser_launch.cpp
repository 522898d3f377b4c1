#include "snapshot/browser_launch.h"

#include "platform/platform.h"
#include "snapshot/snapshot_manager.h"

std::string BrowserPathIn(const std::optional<std::string>& programFiles) {
    if (!programFiles)
        return "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
    return *programFiles + "\\Internet Explorer\\IEXPLORE.EXE";
}

std::optional<std::string> BrowserCommandLine(const std::string& browserPath,
                                              const std::string& option) {
    std::string commandLine;
    commandLine.reserve(browserPath.size() + option.size() + 3);
    commandLine += '"';
    commandLine += browserPath;
    commandLine += "\" ";
    commandLine += option;
    if (commandLine.size() + 1 > kMaxCommandLine)
        return std::nullopt;
    return commandLine;
}

platform::ProcessId CSnapshotManager::LaunchBrowser(const std::string& option) {
    std::optional<std::string> commandLine = BrowserCommandLine(BrowserPath, option);
    if (!commandLine)
        return 0;
    return platform::StartProcess(BrowserPath, *commandLine);
}
