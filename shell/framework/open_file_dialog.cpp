#include "shell/framework/open_file_dialog.h"

#include <commdlg.h>

namespace fw {

bool ShowOpenFileDialog(HWND owner, const char* defaultExtension, DWORD flags, std::string& path) {
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = flags;
    if (!GetOpenFileNameA(&ofn))
        return false;
    path = buffer;
    return true;
}

}  // namespace fw
