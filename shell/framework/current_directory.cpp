#include "shell/framework/current_directory.h"

#include <windows.h>

namespace fw {

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

CurrentDirectoryScope::CurrentDirectoryScope(const std::string& directory)
    : before_(CurrentDirectory()) {
    if (!directory.empty())
        SetCurrentDirectoryA(directory.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    if (!before_.empty())
        SetCurrentDirectoryA(before_.c_str());
}

}  // namespace fw
