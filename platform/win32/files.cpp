// Folders and files through the ANSI Win32 calls: paths are passed in the
// system code page exactly as the program holds them.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

bool WriteAll(HANDLE file, const std::string& content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// What the system answers when another program's handle, or the folder's
// permissions, stand in the way: the move over a file that is open (Windows
// allows none, whatever the sharing) or a file the folder will not let us
// make. A folder or a read-only file in the way also answers
// ERROR_ACCESS_DENIED, and writing it in place then fails as well.
bool IsRefusal(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// Another program (a virus scanner, an indexer, an editor reading the file)
// may hold the target open for a moment. MoveFileExA then fails, and it says
// so with ERROR_ACCESS_DENIED as often as with a sharing or lock violation,
// so those are retried a few times; an access that stays denied (a folder or
// a read-only file of that name) costs the retries once, on the failure path.
// Returns 0 when moved, else the last error.
DWORD MoveOver(const std::string& from, const std::string& to) {
    const DWORD kDelaysMs[] = {10, 20, 40, 80, 160, 0};
    DWORD error = 0;
    for (DWORD delay : kDelaysMs) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return 0;
        }
        error = GetLastError();
        if (!IsRefusal(error) || delay == 0) {
            break;
        }
        Sleep(delay);
    }
    return error;
}

// The atomic replacement. Refused means it could not be made but the target
// itself was not the reason for it to fail: no file could be created beside
// it, or the move over it was refused while something held it open. Failed
// means anything else (a write or flush error, a missing folder), where
// writing the target in place would only tear it.
Replacement Replace(const std::string& path, const std::string& content) {
    // Beside the target, so the final move is a rename on one volume; the
    // name is fixed rather than unique on purpose: a save that was killed
    // half-way leaves at most one such file per target, which the next save
    // to that target takes over, whereas unique names pile up until the
    // system runs out of them and every save fails.
    const std::string temporary = path + kReplacementSuffix;
    // The move gives the target the temporary file's attributes, so a hidden
    // or system file would come out visible: the temporary file is made with
    // them from the start. Not read-only: it could then not be deleted when
    // the move fails. A temporary file left with other attributes would make
    // CREATE_ALWAYS fail when they differ in hidden or system, so it goes
    // first.
    const DWORD before = GetFileAttributesA(path.c_str());
    const DWORD kept = before == INVALID_FILE_ATTRIBUTES
                           ? 0
                           : before & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    DeleteFileA(temporary.c_str());
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A folder that lets files in it be written but no new one be made.
        return IsRefusal(GetLastError()) ? Replacement::Refused : Replacement::Failed;
    }
    bool ok = WriteAll(file, content) && FlushFileBuffers(file);
    if (!CloseHandle(file)) {
        ok = false;
    }
    bool refused = false;
    if (ok) {
        const DWORD error = MoveOver(temporary, path);
        if (error == 0) {
            return Replacement::Done;
        }
        refused = IsRefusal(error);
    }
    DeleteFileA(temporary.c_str());
    return refused ? Replacement::Refused : Replacement::Failed;
}

// The whole of an open file from its start; false on a read error.
bool ReadAll(HANDLE file, std::string& content) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1ll << 30)) {
        content.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        content.append(buffer, got);
    }
}

// Moves the file pointer to `offset` from the start.
bool SeekTo(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

HANDLE ToHandle(OpenFile file) {
    return reinterpret_cast<HANDLE>(file);
}

// The folder part of `path` with its final backslash, or "" for a bare name.
// A backslash that is the second byte of a two-byte character is no separator.
std::string FolderOf(const std::string& path) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            end = i + 1;
        }
    }
    return path.substr(0, end);
}

}  // namespace

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryAt(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr);
}

std::vector<std::string> ListMatchingEntries(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        // A pattern such as "*" also finds the folder's own entries.
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened, which is
    // what makes a folder read as "no file".
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string content;
    const bool read = ReadAll(file, content);
    CloseHandle(file);
    if (!read) {
        return std::nullopt;
    }
    return content;
}

bool ReplaceWholeFile(const std::string& path, const std::string& content) {
    return Replace(path, content) == Replacement::Done;
}

Replacement TryReplaceWholeFile(const std::string& path, const std::string& content) {
    return Replace(path, content);
}

OpenFile OpenForWriting(const std::string& path) {
    // OPEN_ALWAYS because CREATE_ALWAYS refuses an existing hidden or system
    // file; sharing reads and writes, so a program that holds the file open
    // for writing does not lock us out.
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<OpenFile>(file);
}

std::optional<std::string> ReadOpenFile(OpenFile file) {
    std::string content;
    if (!SeekTo(ToHandle(file), 0) || !ReadAll(ToHandle(file), content))
        return std::nullopt;
    return content;
}

bool WriteAt(OpenFile file, std::uint64_t offset, const std::string& bytes) {
    return SeekTo(ToHandle(file), offset) && WriteAll(ToHandle(file), bytes);
}

bool SetFileEnd(OpenFile file, std::uint64_t size) {
    return SeekTo(ToHandle(file), size) && SetEndOfFile(ToHandle(file));
}

bool FlushFile(OpenFile file) {
    return FlushFileBuffers(ToHandle(file)) != FALSE;
}

bool CloseFile(OpenFile file) {
    return CloseHandle(ToHandle(file)) != FALSE;
}

void RemoveInterruptedReplacements(const std::string& pattern) {
    const std::string folder = FolderOf(pattern);
    const std::string suffix = kReplacementSuffix;
    for (const std::string& name : ListMatchingEntries(pattern + suffix)) {
        // The system matches patterns against 8.3 short names too (by its
        // short name "A~1.TMP" a file "a.tmpl" matches "*.tmp"), so a name
        // found need not end as the pattern does: only names that really end
        // in our suffix are ours.
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        // Fails, as wanted, on a folder or a read-only file of that name.
        DeleteFileA((folder + name).c_str());
    }
}

}  // namespace platform
