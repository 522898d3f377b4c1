// The simulated backend's file system: the file operations of platform.h,
// carried out in a real folder on the host that a test owns.
//
// A path such as "save\\x.txt" resolves below the root: each backslash
// becomes the host separator, except the second byte of a Shift-JIS
// character (the model is a system with code page 932). Patterns match like
// "*.txt" on a Windows volume with short names: '*' and '?' as wildcards,
// ASCII letters compared without regard to case, folders included, and a name
// is also found by its 8.3 alias ("x.txtx" by "X~1.TXT").
//
// Faults stay armed until ClearFaults(), so a test can make every attempt
// fail and then let the next one through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class FileSystem {
public:
    explicit FileSystem(std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }
    // Where a program path lives on the host.
    std::filesystem::path HostPath(const std::string& path) const;

    // ---- Fault injection ----
    // ReplaceWholeFile puts at most `bytes` bytes into its temporary file and
    // then gets a write error, also when the content is no longer than that
    // (a full disk, or an error the system reports late). The first WriteAt
    // after this that has more bytes puts `bytes` of them and gets the error;
    // later ones (the old bytes put back) go through.
    void FailWriteAfter(std::size_t bytes) {
        failWriteAfter_ = bytes;
        writeAtFailed_ = false;
    }
    // ReplaceWholeFile, and every Flush, writes everything, then fails to
    // flush it.
    void FailFlush() { failFlush_ = true; }
    // ReplaceWholeFile writes and flushes, then fails to move the temporary
    // file over the target (an error of the disk, not another program's hold).
    void FailRename() { failRename_ = true; }
    // No new file may be made beside the target (the folder lets its files be
    // written but nothing be added): the temporary file cannot be created.
    void FailCreateTemporary() { failCreateTemporary_ = true; }
    // Another program holds the target open, letting others read and write
    // it but not replace it: the move over it is refused.
    void HoldTarget() { holdTarget_ = true; }
    void FailCreateDirectory() { failCreateDirectory_ = true; }
    // ListMatchingEntries finds nothing, as when FindFirstFileA fails.
    void FailListing() { failListing_ = true; }
    // ReadWholeFile and ReadFrom get `bytes` bytes of the file and then a read
    // error (a failing disk or a dropped network share).
    void FailReadAfter(std::size_t bytes) { failReadAfter_ = bytes; }
    void ClearFaults();

    // ---- What a test can observe ----
    // Calls of ReplaceWholeFile so far, failed ones included.
    int replaceCount() const { return replaceCount_; }

    // ---- The operations behind platform.h ----
    std::optional<std::string> ReadWholeFile(const std::string& path) const;
    bool ReplaceWholeFile(const std::string& path, const std::string& content);
    platform::Replacement TryReplaceWholeFile(const std::string& path, const std::string& content);
    // The in-place calls, on a host descriptor; OpenForWriting gives -1 on failure.
    int OpenForWriting(const std::string& path);
    std::optional<std::string> ReadFrom(int fd) const;
    bool WriteAt(int fd, std::uint64_t offset, const std::string& bytes);
    bool SetEnd(int fd, std::uint64_t size);
    bool Flush(int fd);
    bool IsDirectory(const std::string& path) const;
    bool CreateDirectoryAt(const std::string& path);
    std::vector<std::string> ListMatchingEntries(const std::string& pattern) const;
    void RemoveInterruptedReplacements(const std::string& pattern);

private:
    std::filesystem::path root_;
    std::optional<std::size_t> failWriteAfter_;
    bool writeAtFailed_ = false;
    std::optional<std::size_t> failReadAfter_;
    bool failFlush_ = false;
    bool failRename_ = false;
    bool failCreateTemporary_ = false;
    bool holdTarget_ = false;
    bool failCreateDirectory_ = false;
    bool failListing_ = false;
    int replaceCount_ = 0;
};

// The file system the platform calls use, or nullptr. Without one, reads find
// nothing and writes fail, so a test that forgot to set one up cannot touch
// the files of the folder it runs in.
FileSystem* CurrentFileSystem();

// Makes `files` the current file system for the guard's lifetime and puts
// the previous one back afterwards.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& files);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous_;
};

// Whether `name` matches a FindFirstFileA-style `pattern` ('*', '?', letters
// without regard to case).
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace sim
