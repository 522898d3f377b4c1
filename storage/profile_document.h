// The INI-like text format shared by the settings file and the snapshot
// files.
//
// Reading (from bytes in memory, or from a file through the platform seam):
//  - lines are separated by LF; a CR right before the LF belongs to the line
//    end, any other CR is an ordinary byte; the last line needs no line end;
//  - nothing is trimmed and there are no comments;
//  - each line is, tested in this order: shorter than 3 bytes -> ignored;
//    "[" ... "]" -> a section header (the name is everything in between);
//    contains "=" -> a pair (key before the first "=", value after it);
//    anything else -> ignored;
//  - a header stores the pairs gathered since the previous header under that
//    header's name (replacing an earlier section of the same name whole, also
//    with no pairs); at the end of the input the last section is stored only
//    when it gathered at least one pair; pairs before the first header belong
//    to the first section, and without any header nothing is stored.
// Writing: "[name]" CR LF, then "key=value" CR LF per pair, for every section
// in order; nothing else, and zero bytes for empty data. Text that cannot be
// read back the same (CR or LF in a name, key or value, "=" in a key, ...)
// is written unchanged all the same.
// Names and keys are ordered by unsigned byte-wise comparison, which is what
// std::string's operator< does.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

using ProfileSection = std::map<std::string, std::string>;

class ProfileData {
public:
    using Sections = std::map<std::string, ProfileSection>;

    // The stored value, or the empty string when the section or key is absent.
    std::string Get(const std::string& section, const std::string& key) const;
    // Creates the section and the key as needed; replaces an existing value.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    const Sections& sections() const { return sections_; }
    Sections& sections() { return sections_; }
    bool empty() const { return sections_.empty(); }

    friend bool operator==(const ProfileData&, const ProfileData&) = default;

private:
    Sections sections_;
};

// As platform::ReplaceWholeFile; but where the replacement is refused, the
// content is written into `path` itself, over its old bytes, and the end of
// file set after it. True when the file holds exactly `content`; false, with
// the file as it was, when it cannot be opened or read, or when writing fails
// part-way (the old bytes are put back; only a power cut or a kill meanwhile
// leaves a mixture).
bool ReplaceOrOverwriteWholeFile(const std::string& path, const std::string& content);

// Parses profile text held in memory.
ProfileData ParseProfile(std::string_view bytes);
// The exact bytes that Write puts into a file.
std::string FormatProfile(const ProfileData& data);

class ProfileDocument {
public:
    explicit ProfileDocument(std::string path) : path_(std::move(path)) {}

    // The file's content; empty when the file cannot be opened or read to
    // its end (a half-read file would give values cut short).
    ProfileData Read() const;
    // As Read, telling the two apart: false, with `data` left as it was,
    // when the file cannot be opened or read to its end.
    bool Read(ProfileData& data) const;
    // Replaces the file with exactly `data`, atomically. True only when the
    // whole content reached the file; on false the earlier file is untouched.
    bool Write(const ProfileData& data) const;
    // As Write; but where no replacement can be made (no file may be created
    // beside this one, or another program holds it open for writing but not
    // for replacing), writes the file where it is, putting the old content
    // back when that fails part-way. True only when the whole content reached
    // the file.
    bool WriteOrOverwrite(const ProfileData& data) const;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A 32-bit signed value as "%d" prints it.
std::string IntToString(std::int32_t value);

// The C library's atoi rule on bytes: leading white space skipped, one
// optional sign, decimal digits up to the first other byte, 0 without
// digits. Values beyond 32 bits saturate at the nearest 32-bit value.
std::int32_t ParseNumber(std::string_view text);
