#include "shell/framework/open_file_dialog.h"

#include "shell/framework/current_directory.h"

namespace fw {

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
    const CurrentDirectoryScope putBack(CurrentDirectory());
    if (!dialog(&ofn))
        return false;
    path = buffer;
    return true;
}

}  // namespace fw
