// ReadSnapshotFile on arbitrary file content, through the simulated file
// system, and a restore of what it read on the simulated desktop.
//
// What must hold: one record per section the profile reader finds, in the
// order of their section numbers, each carrying its section's values; and a
// restore of the records starts at most one browser per record, never waits
// longer than the largest wait the settings allow, and moves only frames it
// started.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "snapshot/snapshot_manager.h"
#include "storage/snapshot_files.h"

namespace {

// Past this many records a restore would start that many browsers; the
// reading is still checked, the restore is not run.
constexpr std::size_t kMaxRestored = 200;

void CheckRecords(const ProfileData& parsed, const BrowserWindowList& records) {
    if (records.size() != parsed.sections().size()) {
        fuzz::Fail("one record per section");
    }
    std::vector<std::int32_t> numbers;
    std::vector<std::string> titles;
    for (const auto& [name, section] : parsed.sections()) {
        numbers.push_back(ParseNumber(name));
        const auto title = section.find("title");
        titles.push_back(title == section.end() ? std::string() : title->second);
    }
    // Records come in ascending section number; each title is one of a
    // section's, and every section's title is used exactly once.
    std::vector<std::string> recordTitles;
    for (const BrowserWindowRecord& record : records) {
        recordTitles.push_back(record.title);
        if (record.hwnd != nullptr || record.pid != 0) {
            fuzz::Fail("a record read from a file names a window");
        }
    }
    std::sort(titles.begin(), titles.end());
    std::vector<std::string> sortedRecordTitles = recordTitles;
    std::sort(sortedRecordTitles.begin(), sortedRecordTitles.end());
    if (titles != sortedRecordTitles) {
        fuzz::Fail("the titles are the sections' titles");
    }
    if (!std::is_sorted(numbers.begin(), numbers.end()) && records.size() > 1) {
        // Only the order of the records is promised, not that of the names;
        // check it by looking each record's section number up.
        std::vector<std::pair<std::int32_t, std::string>> expected;
        for (const auto& [name, section] : parsed.sections()) {
            const auto title = section.find("title");
            expected.emplace_back(ParseNumber(name),
                                  title == section.end() ? std::string() : title->second);
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::size_t i = 0;
        for (const BrowserWindowRecord& record : records) {
            if (record.title != expected[i++].second) {
                fuzz::Fail("records in the order of their section numbers");
            }
        }
    }
}

void CheckRestore(const std::string& path, std::size_t recordCount, std::int32_t wait) {
    sim::Desktop desktop;
    CSnapshotManager manager;
    manager.CreateWait = wait;
    // The negated wait, wrapping at the 32-bit minimum as the settings would.
    manager.ResizeWait = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(wait));
    manager.Restore(path);
    if (desktop.Launches().size() > recordCount) {
        fuzz::Fail("more starts than records");
    }
    for (std::uint32_t sleep : desktop.Sleeps()) {
        if (sleep > 300000) {
            fuzz::Fail("a wait beyond the settings' bounds");
        }
    }
    for (const sim::Operation& op : desktop.Log()) {
        if (op.kind == sim::Operation::Kind::Moved || op.kind == sim::Operation::Kind::Shown) {
            if (!desktop.Exists(op.window)) {
                fuzz::Fail("moved or showed a window that does not exist");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Files();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!platform::IsDirectory("save") && !platform::CreateDirectoryAt("save")) {
        fuzz::Fail("cannot make the save folder");
    }
    const std::string path = "save\\20050412153012.txt";
    if (!platform::ReplaceWholeFile(path, bytes)) {
        fuzz::Fail("cannot write the input");
    }
    const BrowserWindowList records = ReadSnapshotFile(path);
    CheckRecords(ParseProfile(bytes), records);
    if (ReadNewestSnapshot() != records) {
        fuzz::Fail("the newest snapshot is the one file there");
    }
    if (records.size() <= kMaxRestored) {
        std::int32_t wait = 0;
        for (std::size_t i = 0; i < size && i < 4; ++i) {
            wait = static_cast<std::int32_t>(static_cast<std::uint32_t>(wait) << 8 | data[i]);
        }
        CheckRestore(path, records.size(), wait);
    }
    return 0;
}
