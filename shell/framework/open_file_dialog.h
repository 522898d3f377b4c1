// The system's open-file dialog as one call.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

namespace fw {

// The dialog function itself; a test passes a stand-in.
using OpenFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEA*);

// Shows the Open dialog owned by `owner`, listing every file, with no initial
// name or folder. `defaultExtension` (without the dot) is added to a typed
// name that has none. True when the user chose a file; `path` then holds its
// full path. False on Cancel or any failure, with `path` untouched. The
// process's current directory is the same afterwards as before, whatever the
// dialog did to it.
bool ShowOpenFileDialog(HWND owner, const char* defaultExtension, DWORD flags, std::string& path,
                        OpenFileNameFunction dialog = GetOpenFileNameA);

}  // namespace fw
