#include "shell/framework/current_directory.h"

#include <windows.h>

namespace fw {

// Wide: the ANSI call gives a folder outside the code page back with "?" in
// its name, which no later call can make current again.
std::wstring CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring directory(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, directory.data());
    if (length == 0 || length >= needed)
        return std::wstring();
    directory.resize(length);
    return directory;
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& directory)
    : before_(CurrentDirectory()) {
    if (!directory.empty())
        SetCurrentDirectoryW(directory.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    if (!before_.empty())
        SetCurrentDirectoryW(before_.c_str());
}

}  // namespace fw
