#include "storage/snapshot_files.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr char kSaveFolder[] = "save";
constexpr char kSnapshotPattern[] = "save\\*.txt";

// The snapshot last written in this run. It starts empty, so a first save
// with no browser window open writes nothing.
ProfileData& LastWritten() {
    static ProfileData last;
    return last;
}

// A page chooses its own title, and the frame's caption shows it: a CR or LF
// in a text would end its line early and let the rest stand as a header or a
// key of its own, forging a record that a restore then opens. Each becomes a
// space; text without them is written byte for byte.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

// A frame's tabs are kept beside `option`, which older readers go by: one key
// per tab, "tab_000", "tab_001", ... in the tab row's order, and "tab_front",
// the number of the tab in front. Three digits at least, so that the keys sort
// in tab order in the file; "tab_front" sorts after them.
constexpr char kTabPrefix[] = "tab_";
constexpr char kFrontTabKey[] = "tab_front";

std::string TabKey(std::size_t number) {
    const std::string digits = IntToString(static_cast<std::int32_t>(number));
    return kTabPrefix + std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

// Written only for a frame of several tabs: a frame of one writes the bytes it
// always did.
void SetTabs(ProfileData& data, const std::string& section, const BrowserWindowRecord& record) {
    if (record.tabs.size() < 2)
        return;
    for (std::size_t i = 0; i < record.tabs.size(); ++i)
        data.Set(section, TabKey(i), OneLine(record.tabs[i]));
    data.Set(section, kFrontTabKey, IntToString(record.front_tab));
}

// The tabs are taken from "tab_000" up to the first number missing. Fewer than
// two, or a front that is not plainly one of their numbers, and the record is
// one of a frame without tabs: restored from `option` alone.
void GetTabs(const ProfileSection& section, BrowserWindowRecord& record) {
    std::vector<std::string> tabs;
    for (auto found = section.find(TabKey(0)); found != section.end();
         found = section.find(TabKey(tabs.size()))) {
        tabs.push_back(found->second);
    }
    const auto front = section.find(kFrontTabKey);
    if (tabs.size() < 2 || front == section.end())
        return;
    const std::string& text = front->second;
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return;
    const std::int32_t number = ParseNumber(text);
    if (static_cast<std::size_t>(number) >= tabs.size())
        return;
    record.tabs = std::move(tabs);
    record.front_tab = number;
}

ProfileData SnapshotData(const BrowserWindowList& list) {
    ProfileData data;
    std::int32_t number = 0;
    for (const BrowserWindowRecord& record : list) {
        const std::string section = IntToString(number++);
        data.Set(section, "name", OneLine(record.name));
        data.Set(section, "title", OneLine(record.title));
        data.Set(section, "option", OneLine(record.option));
        data.Set(section, "w_x", IntToString(record.w_x));
        data.Set(section, "w_y", IntToString(record.w_y));
        data.Set(section, "w_width", IntToString(record.w_width));
        data.Set(section, "w_height", IntToString(record.w_height));
        data.Set(section, "style", IntToString(record.style));
        SetTabs(data, section, record);
    }
    return data;
}

bool EndsWithTxt(const std::string& name) {
    constexpr std::string_view kSuffix = ".txt";
    if (name.size() < kSuffix.size())
        return false;
    const std::string_view tail = std::string_view(name).substr(name.size() - kSuffix.size());
    return std::equal(tail.begin(), tail.end(), kSuffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

BrowserWindowRecord RecordFrom(const ProfileSection& section) {
    auto text = [&section](const char* key) {
        auto found = section.find(key);
        return found == section.end() ? std::string() : found->second;
    };
    auto number = [&text](const char* key) { return ParseNumber(text(key)); };
    BrowserWindowRecord record(text("name"), text("title"), text("option"), number("w_x"),
                               number("w_y"), number("w_width"), number("w_height"));
    record.style = number("style");
    GetTabs(section, record);
    return record;
}

}  // namespace

bool EnsureSaveFolder() {
    return platform::IsDirectory(kSaveFolder) || platform::CreateDirectoryAt(kSaveFolder);
}

void RemoveInterruptedSnapshotSaves() {
    platform::RemoveInterruptedReplacements(kSnapshotPattern);
}

std::string MakeSnapshotFileName() {
    std::optional<std::tm> now = platform::LocalTimeNow();
    if (!now)
        return std::string();
    char buffer[128];
    std::size_t length = std::strftime(buffer, sizeof buffer, "save\\%Y%m%d%H%M%S.txt", &*now);
    return std::string(buffer, length);
}

std::vector<std::string> ListSnapshotFiles() {
    std::vector<std::string> paths;
    for (const std::string& entry : platform::ListMatchingEntries(kSnapshotPattern)) {
        // The system matches the pattern against 8.3 aliases too: an editor's
        // "20240101.txt~" or a "notes.txtold" is found through its alias
        // ending in ".TXT", and would then sort last and be taken as newest.
        if (EndsWithTxt(entry))
            paths.push_back(std::string(kSaveFolder) + "\\" + entry);
    }
    // std::string compares bytes as unsigned values, a prefix first: for
    // timestamp names that is the order of their times.
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string NewestSnapshotFile() {
    std::vector<std::string> paths = ListSnapshotFiles();
    return paths.empty() ? std::string() : paths.back();
}

BrowserWindowList ReadSnapshotFile(const std::string& path) {
    BrowserWindowList records;
    ReadSnapshotFile(path, records);
    return records;
}

BrowserWindowList ReadNewestSnapshot() {
    return ReadSnapshotFile(NewestSnapshotFile());
}

bool ReadSnapshotFile(const std::string& path, BrowserWindowList& records) {
    ProfileData data;
    if (path.empty() || !ProfileDocument(path).Read(data))
        return false;

    // The document keeps sections in byte order of their names (0, 1, 10, 11,
    // 2, ...); the records go back into the order they were saved in. Names
    // that read as the same number keep their byte order: a list's sort is
    // stable, and moves no record.
    std::list<std::pair<std::int32_t, BrowserWindowRecord>> numbered;
    for (const auto& [name, section] : data.sections()) {
        numbered.emplace_back(ParseNumber(name), RecordFrom(section));
    }
    numbered.sort([](const auto& a, const auto& b) { return a.first < b.first; });

    records.clear();
    for (auto& [number, record] : numbered)
        records.push_back(std::move(record));
    return true;
}

bool ReadNewestSnapshot(BrowserWindowList& records) {
    return ReadSnapshotFile(NewestSnapshotFile(), records);
}

bool WriteSnapshotFile(const BrowserWindowList& list) {
    // The name comes from the time the save began, before the content is built.
    const ProfileDocument document(MakeSnapshotFileName());
    ProfileData data = SnapshotData(list);
    if (!SnapshotChanged(data))
        return false;
    // Only a snapshot that reached the disk counts as written: after a failed
    // write the next save of the same windows tries again.
    if (document.path().empty() || !document.Write(data))
        return false;
    LastWritten() = std::move(data);
    return true;
}

bool SnapshotChanged(const ProfileData& data) {
    return !(data == LastWritten());
}

bool SnapshotChanged(const BrowserWindowList& list) {
    return SnapshotChanged(SnapshotData(list));
}

const ProfileData& LastWrittenSnapshot() {
    return LastWritten();
}

void ResetLastWrittenSnapshot() {
    LastWritten() = ProfileData();
}
