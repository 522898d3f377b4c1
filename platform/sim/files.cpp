// The simulated file system and the platform file calls that go through it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/platform.h"
#include "platform/sim/sim_files.h"

namespace sim {
namespace {

FileSystem* g_current = nullptr;

// The model is a Japanese system: paths are code page 932, where the second
// byte of a two-byte character may be 0x5C, the backslash (as in "\x83\x5C"),
// and is then no separator.
bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The positions of the path separators, trail bytes skipped.
std::vector<std::size_t> Separators(const std::string& path) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c)) {
            ++i;
        } else if (c == '\\' || c == '/') {
            at.push_back(i);
        }
    }
    return at;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchFrom(const std::string& name, std::size_t n, const std::string& pattern, std::size_t p) {
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            // Runs of '*' mean the same as one; then try every split point.
            while (p < pattern.size() && pattern[p] == '*') {
                ++p;
            }
            if (p == pattern.size()) {
                return true;
            }
            for (std::size_t k = n; k <= name.size(); ++k) {
                if (MatchFrom(name, k, pattern, p)) {
                    return true;
                }
            }
            return false;
        }
        if (n == name.size()) {
            return false;
        }
        if (pattern[p] != '?' && LowerAscii(pattern[p]) != LowerAscii(name[n])) {
            return false;
        }
        ++p;
        ++n;
    }
    return n == name.size();
}

// The 8.3 alias the system gives a name that is no 8.3 name itself ("" for
// one that is): up to six characters of the base, "~1", and the first three
// of the last extension ("notes.txtold" -> "NOTES~1.TXT"). Here the letters
// keep their case and the number is always 1: only matching, which ignores
// case, looks at aliases.
std::string ShortAlias(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (!base.empty() && base.size() <= 8 && extension.size() <= 3 &&
        base.find_first_of(". ") == std::string::npos && extension.find(' ') == std::string::npos)
        return std::string();
    std::string alias;
    for (char c : base) {
        if (c != '.' && c != ' ' && alias.size() < 6)
            alias += c;
    }
    alias += "~1";
    if (!extension.empty())
        alias += '.';
    for (std::size_t i = 0; i < extension.size() && i < 3; ++i)
        alias += extension[i];
    return alias;
}

// Writes all of `data` to `fd`, retrying short writes; false on an error.
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    return MatchFrom(name, 0, pattern, 0);
}

FileSystem::FileSystem(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path FileSystem::HostPath(const std::string& path) const {
    std::string relative = path;
    for (std::size_t at : Separators(path)) {
        relative[at] = '/';
    }
    // A leading separator would make the path absolute on the host and
    // escape the root.
    relative.erase(0, relative.find_first_not_of('/'));
    return root_ / relative;
}

void FileSystem::ClearFaults() {
    failWriteAfter_.reset();
    writeAtFailed_ = false;
    failReadAfter_.reset();
    failFlush_ = false;
    failRename_ = false;
    failCreateTemporary_ = false;
    holdTarget_ = false;
    failCreateDirectory_ = false;
    failListing_ = false;
}

std::optional<std::string> FileSystem::ReadWholeFile(const std::string& path) const {
    int fd = ::open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> content = ReadFrom(fd);
    ::close(fd);
    return content;
}

std::optional<std::string> FileSystem::ReadFrom(int fd) const {
    struct stat info {};
    // Opening a folder for reading succeeds on Linux; on Windows it does not.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::lseek(fd, 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    char more[4096];
    for (;;) {
        // Fill the string to the size the file had; past that (a file that
        // grew meanwhile) read into a small buffer and append.
        const bool inside = got < content.size();
        char* into = inside ? content.data() + got : more;
        std::size_t room = inside ? content.size() - got : sizeof more;
        // The injected error strikes the first read that would return a byte
        // past the limit; a file that ends at or before it reads whole.
        bool failed = false;
        if (failReadAfter_) {
            const std::size_t left = *failReadAfter_ - std::min(got, *failReadAfter_);
            if (left == 0) {
                into = more;
                room = sizeof more;
                failed = true;
            } else {
                room = std::min(room, left);
            }
        }
        const ssize_t n = ::read(fd, into, room);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || (failed && n > 0)) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (!inside) {
            content.append(more, static_cast<std::size_t>(n));
        }
        got += static_cast<std::size_t>(n);
    }
    content.resize(got);
    return content;
}

platform::Replacement FileSystem::TryReplaceWholeFile(const std::string& path,
                                                      const std::string& content) {
    ++replaceCount_;
    const std::filesystem::path target = HostPath(path);
    // The target's name plus the program's own suffix, as on Windows: beside
    // it, so the rename cannot cross devices, and never seen by a listing of
    // "*.txt". One left by an interrupted replacement is taken over.
    std::filesystem::path temporary = target;
    temporary += platform::kReplacementSuffix;

    if (failCreateTemporary_) {
        return platform::Replacement::Refused;
    }
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno == EACCES || errno == EISDIR ? platform::Replacement::Refused
                                                  : platform::Replacement::Failed;
    }
    bool ok;
    if (failWriteAfter_) {
        WriteAll(fd, content.data(), std::min(*failWriteAfter_, content.size()));
        ok = false;
    } else {
        ok = WriteAll(fd, content.data(), content.size());
    }
    if (ok && (failFlush_ || ::fsync(fd) != 0)) {
        ok = false;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    bool refused = false;
    if (ok && !failRename_) {
        // rename() would also replace an empty folder; Windows refuses it
        // (access denied, as for a file that is held open).
        std::error_code error;
        refused = holdTarget_ || std::filesystem::is_directory(target, error);
        if (!refused && ::rename(temporary.c_str(), target.c_str()) == 0) {
            return platform::Replacement::Done;
        }
    }
    ::unlink(temporary.c_str());
    return refused ? platform::Replacement::Refused : platform::Replacement::Failed;
}

bool FileSystem::ReplaceWholeFile(const std::string& path, const std::string& content) {
    return TryReplaceWholeFile(path, content) == platform::Replacement::Done;
}

int FileSystem::OpenForWriting(const std::string& path) {
    // A folder cannot be opened for writing, here as on Windows.
    return ::open(HostPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

bool FileSystem::WriteAt(int fd, std::uint64_t offset, const std::string& bytes) {
    std::size_t size = bytes.size();
    bool fails = false;
    if (failWriteAfter_ && !writeAtFailed_ && *failWriteAfter_ < size) {
        size = *failWriteAfter_;
        fails = true;
        writeAtFailed_ = true;
    }
    return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset) &&
           WriteAll(fd, bytes.data(), size) && !fails;
}

bool FileSystem::SetEnd(int fd, std::uint64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool FileSystem::Flush(int fd) {
    return !failFlush_ && ::fsync(fd) == 0;
}

bool FileSystem::IsDirectory(const std::string& path) const {
    std::error_code error;
    return std::filesystem::is_directory(HostPath(path), error);
}

bool FileSystem::CreateDirectoryAt(const std::string& path) {
    if (failCreateDirectory_) {
        return false;
    }
    // mkdir, like CreateDirectoryA, fails when anything of that name exists
    // or when the parent folder is missing.
    return ::mkdir(HostPath(path).c_str(), 0755) == 0;
}

std::vector<std::string> FileSystem::ListMatchingEntries(const std::string& pattern) const {
    std::vector<std::string> names;
    if (failListing_) {
        return names;
    }
    const std::vector<std::size_t> separators = Separators(pattern);
    const std::size_t cut = separators.empty() ? std::string::npos : separators.back();
    const std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
    const std::string filePattern = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    std::error_code error;
    std::filesystem::directory_iterator it(HostPath(folder), error);
    if (error) {
        return names;
    }
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        const std::string alias = ShortAlias(name);
        if (MatchesPattern(name, filePattern) ||
            (!alias.empty() && MatchesPattern(alias, filePattern))) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

void FileSystem::RemoveInterruptedReplacements(const std::string& pattern) {
    const std::vector<std::size_t> separators = Separators(pattern);
    const std::string folder =
        separators.empty() ? std::string() : pattern.substr(0, separators.back() + 1);
    const std::string suffix = platform::kReplacementSuffix;
    for (const std::string& name : ListMatchingEntries(pattern + suffix)) {
        // Letters match without regard to case, but only the exact suffix is
        // one this program made.
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        // unlink, like DeleteFileA, refuses a folder.
        ::unlink(HostPath(folder + name).c_str());
    }
}

FileSystem* CurrentFileSystem() {
    return g_current;
}

ScopedFileSystem::ScopedFileSystem(FileSystem& files) : previous_(g_current) {
    g_current = &files;
}

ScopedFileSystem::~ScopedFileSystem() {
    g_current = previous_;
}

}  // namespace sim

namespace platform {

bool IsDirectory(const std::string& path) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr && files->IsDirectory(path);
}

bool CreateDirectoryAt(const std::string& path) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr && files->CreateDirectoryAt(path);
}

std::vector<std::string> ListMatchingEntries(const std::string& pattern) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr ? files->ListMatchingEntries(pattern) : std::vector<std::string>();
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr ? files->ReadWholeFile(path) : std::nullopt;
}

bool ReplaceWholeFile(const std::string& path, const std::string& content) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr && files->ReplaceWholeFile(path, content);
}

Replacement TryReplaceWholeFile(const std::string& path, const std::string& content) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr ? files->TryReplaceWholeFile(path, content) : Replacement::Failed;
}

// The simulated open file: a host descriptor.
struct FileTag {
    int fd;
};

OpenFile OpenForWriting(const std::string& path) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    const int fd = files != nullptr ? files->OpenForWriting(path) : -1;
    return fd < 0 ? nullptr : new FileTag{fd};
}

std::optional<std::string> ReadOpenFile(OpenFile file) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr ? files->ReadFrom(file->fd) : std::nullopt;
}

bool WriteAt(OpenFile file, std::uint64_t offset, const std::string& bytes) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr && files->WriteAt(file->fd, offset, bytes);
}

bool SetFileEnd(OpenFile file, std::uint64_t size) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr && files->SetEnd(file->fd, size);
}

bool FlushFile(OpenFile file) {
    sim::FileSystem* files = sim::CurrentFileSystem();
    return files != nullptr && files->Flush(file->fd);
}

bool CloseFile(OpenFile file) {
    const bool closed = ::close(file->fd) == 0;
    delete file;
    return closed;
}

void RemoveInterruptedReplacements(const std::string& pattern) {
    if (sim::FileSystem* files = sim::CurrentFileSystem()) {
        files->RemoveInterruptedReplacements(pattern);
    }
}

}  // namespace platform
