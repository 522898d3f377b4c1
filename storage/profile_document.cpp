#include "storage/profile_document.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/platform.h"

std::string ProfileData::Get(const std::string& section, const std::string& key) const {
    const auto found = sections_.find(section);
    if (found == sections_.end()) {
        return std::string();
    }
    const auto value = found->second.find(key);
    return value == found->second.end() ? std::string() : value->second;
}

void ProfileData::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
    sections_[section].insert_or_assign(key, value);
}

namespace {

// Files we wrote ourselves list keys and sections in ascending order, so the
// new entry nearly always belongs at the end; with that hint the insertion
// costs a comparison or two instead of a walk down the tree.
template <typename Map, typename Value>
void StoreAtEnd(Map& map, std::string_view key, Value&& value) {
    map.insert_or_assign(map.end(), std::string(key), std::forward<Value>(value));
}

class ProfileReader {
public:
    void Line(std::string_view line) {
        if (line.size() < 3) {
            return;
        }
        if (line.front() == '[' && line.back() == ']') {
            Header(line.substr(1, line.size() - 2));
            return;
        }
        // Pairs before the first header are gathered like any other: the
        // first header takes them into its section (see Header).
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            StoreAtEnd(pairs_, line.substr(0, equals), line.substr(equals + 1));
        }
    }

    ProfileData Finish() {
        if (inSection_ && !pairs_.empty()) {
            StoreAtEnd(data_.sections(), name_, std::move(pairs_));
        }
        return std::move(data_);
    }

private:
    void Header(std::string_view name) {
        // An empty section is stored when another header follows it, but
        // not at the end of the input (see Finish). The first header stores
        // nothing and keeps what was gathered before it, so pairs that stand
        // above every header belong to the first section; without any header
        // they are never stored.
        if (inSection_) {
            StoreAtEnd(data_.sections(), name_, std::move(pairs_));
            // A moved-from map is valid but unspecified: start from a known empty one.
            pairs_.clear();
        }
        name_.assign(name);
        inSection_ = true;
    }

    ProfileData data_;
    ProfileSection pairs_;
    std::string name_;
    // A header name is never empty (a header line has at least 3 bytes), so
    // this is the same as "the current section name is non-empty".
    bool inSection_ = false;
};

}  // namespace

ProfileData ParseProfile(std::string_view bytes) {
    ProfileReader reader;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        const char* lineEnd = found != nullptr ? static_cast<const char*>(found) : end;
        const char* next = found != nullptr ? lineEnd + 1 : end;
        // A CR belongs to the line end only when an LF follows it; a CR at
        // the very end of the input is part of the last line.
        if (found != nullptr && lineEnd > at && lineEnd[-1] == '\r') {
            --lineEnd;
        }
        reader.Line(std::string_view(at, static_cast<std::size_t>(lineEnd - at)));
        at = next;
    }
    return reader.Finish();
}

std::string FormatProfile(const ProfileData& data) {
    std::size_t size = 0;
    for (const auto& [name, pairs] : data.sections()) {
        size += name.size() + 4;
        for (const auto& [key, value] : pairs) {
            size += key.size() + value.size() + 3;
        }
    }
    std::string out;
    out.reserve(size);
    for (const auto& [name, pairs] : data.sections()) {
        out += '[';
        out += name;
        out += "]\r\n";
        for (const auto& [key, value] : pairs) {
            out += key;
            out += '=';
            out += value;
            out += "\r\n";
        }
    }
    return out;
}

ProfileData ProfileDocument::Read() const {
    ProfileData data;
    Read(data);
    return data;
}

bool ProfileDocument::Read(ProfileData& data) const {
    const std::optional<std::string> bytes = platform::ReadWholeFile(path_);
    if (!bytes) {
        return false;
    }
    data = ParseProfile(*bytes);
    return true;
}

bool ProfileDocument::Write(const ProfileData& data) const {
    return platform::ReplaceWholeFile(path_, FormatProfile(data));
}

bool ProfileDocument::WriteOrOverwrite(const ProfileData& data) const {
    return ReplaceOrOverwriteWholeFile(path_, FormatProfile(data));
}

namespace {

// `content` from the file's first byte on, and the end of the file after it.
bool PutFromStart(platform::OpenFile file, const std::string& content) {
    return platform::WriteAt(file, 0, content) && platform::SetFileEnd(file, content.size());
}

// The file written where it is. Emptying it first would leave, after a
// failure part-way, an empty file and every setting back at its default; a
// plain overwrite would leave new bytes over old ones, which can tear a line
// into a value that is neither ("AutoSaveTime=5" over "AutoSaveTime=1440"
// reads 5440). So the old bytes are read first, the new ones written over
// them and only then the end set; when anything fails, the old bytes go back
// where they were and the end at their length. A write error here is in
// practice a full disk as the file grows, and the old bytes need no new room.
// Not covered: the power lost or the process killed while the new bytes are
// going in, or a disk that also refuses the old bytes back, which leave a
// mixture.
bool Overwrite(const std::string& path, const std::string& content) {
    const platform::OpenFile file = platform::OpenForWriting(path);
    if (file == nullptr)
        return false;
    const std::optional<std::string> old = platform::ReadOpenFile(file);
    bool ok = old.has_value();
    if (ok) {
        ok = PutFromStart(file, content) && platform::FlushFile(file);
        if (!ok && PutFromStart(file, *old))
            platform::FlushFile(file);
    }
    if (!platform::CloseFile(file))
        ok = false;
    return ok;
}

}  // namespace

bool ReplaceOrOverwriteWholeFile(const std::string& path, const std::string& content) {
    switch (platform::TryReplaceWholeFile(path, content)) {
        case platform::Replacement::Done:
            return true;
        case platform::Replacement::Refused:
            return Overwrite(path, content);
        case platform::Replacement::Failed:
            break;
    }
    return false;
}

std::string IntToString(std::int32_t value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::int32_t ParseNumber(std::string_view text) {
    std::size_t at = 0;
    // isspace() in the "C" locale, which is what atoi skips.
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Accumulated as a magnitude in 64 bits and clamped once past the 32-bit
    // range, so any number of digits is safe.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (magnitude <= kLimit) {
            magnitude = magnitude * 10 + (text[at] - '0');
        }
        ++at;
    }
    if (negative) {
        return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                   : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                               : static_cast<std::int32_t>(magnitude);
}
