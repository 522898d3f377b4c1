#include "shell/framework/open_file_dialog.h"

namespace fw {

namespace {

// The current directory, or "" when it cannot be read.
std::string CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0)
        return std::string();
    std::string directory(needed, '\0');
    const DWORD length = GetCurrentDirectoryA(needed, directory.data());
    if (length == 0 || length >= needed)
        return std::string();
    directory.resize(length);
    return directory;
}

}  // namespace

bool ShowOpenFileDialog(HWND owner, const char* defaultExtension, DWORD flags, std::string& path,
                        OpenFileNameFunction dialog) {
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = flags;
    // Windows documents OFN_NOCHANGEDIR as ineffective for GetOpenFileName:
    // browsing can leave the current directory where the file was picked.
    // Relative paths of the caller (the save folder, the settings file) are
    // found against it, so it is put back whatever the dialog did.
    const std::string before = CurrentDirectory();
    const BOOL chosen = dialog(&ofn);
    if (!before.empty())
        SetCurrentDirectoryA(before.c_str());
    if (!chosen)
        return false;
    path = buffer;
    return true;
}

}  // namespace fw
