// The process's current directory, against which the program finds its save
// folder and its settings file.
#pragma once

#include <string>

namespace fw {

// The current directory, or "" when it cannot be read.
std::wstring CurrentDirectory();

// Makes `directory` current while the object lives, then puts back the one
// that was current before, whatever happened meanwhile. An empty directory
// (one that could not be read) is never made current.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::wstring& directory);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::wstring before_;
};

}  // namespace fw
