#include <windows.h>

#include <stdexcept>

#include "support/test_folder.h"

struct TestFolder::State {
    std::string location;
    std::string previous;
};

namespace {

// Removes a folder with everything in it. Read-only files are made writable
// first, as a test may have left some behind.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

}  // namespace

TestFolder::TestFolder() : state_(std::make_unique<State>()) {
    char base[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, base);
    if (length == 0 || length >= MAX_PATH) {
        throw std::runtime_error("no temporary folder");
    }
    // GetTempFileNameA reserves a unique name as a file; the folder takes
    // its place.
    char unique[MAX_PATH];
    if (GetTempFileNameA(base, "pt", 0, unique) == 0 || !DeleteFileA(unique) ||
        !CreateDirectoryA(unique, nullptr)) {
        throw std::runtime_error(std::string("cannot create a test folder in ") + base);
    }
    state_->location = unique;
    state_->previous = CurrentDirectory();
    if (!SetCurrentDirectoryA(unique)) {
        RemoveTree(unique);
        throw std::runtime_error("cannot enter the test folder " + state_->location);
    }
}

TestFolder::~TestFolder() {
    // The current directory of a process cannot be removed: leave it first.
    SetCurrentDirectoryA(state_->previous.c_str());
    RemoveTree(state_->location);
}

const std::string& TestFolder::location() const {
    return state_->location;
}
