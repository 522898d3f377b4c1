// Files and values made to hurt: huge lines, zero bytes, a byte order mark,
// bare CRs, a hundred thousand sections, numbers past 32 bits, command lines
// past the system's limit, folders where files are expected. Each must give
// a defined result without a crash, on both backends.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/platform.h"
#include "snapshot/browser_launch.h"
#include "snapshot/snapshot_manager.h"
#include "storage/profile_document.h"
#include "storage/settings_file.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

// What reading `text` from a file gives: the data and the same through memory.
ProfileData ReadThroughFile(const std::string& text) {
    EXPECT_TRUE(platform::ReplaceWholeFile("hostile.ini", text));
    const ProfileData fromFile = ProfileDocument("hostile.ini").Read();
    EXPECT_EQ(fromFile, ParseProfile(text));
    return fromFile;
}

TEST(HostileProfiles, LinesThatAreNotWhatTheySeem) {
    const std::string mib(1 << 20, 'v');
    struct Case {
        const char* what;
        std::string text;
        std::string section, key, value;  // one pair that must read so
        std::size_t sections;
    };
    const Case cases[] = {
        {"a 1 MiB value", "[s]\r\nk=" + mib + "\r\n", "s", "k", mib, 1},
        {"a 1 MiB line without a line end", "[s]\nk=" + mib, "s", "k", mib, 1},
        {"a 1 MiB line of no kind", "[s]\nk=1\n" + mib + "\n", "s", "k", "1", 1},
        {"zero bytes inside names and values", std::string("[a\0b]\nk\0=v\0w\n", 13),
         std::string("a\0b", 3), std::string("k\0", 2), std::string("v\0w", 3), 1},
        {"a UTF-8 byte order mark makes the first header a plain line",
         "\xEF\xBB\xBF[Setting]\r\nSave=1\r\n[b]\r\nk=2\r\n", "b", "k", "2", 1},
        {"CR without LF is an ordinary byte", "[s]\rk=1\r[t]\nk=2\r", "s]\rk=1\r[t", "k", "2\r", 1},
        {"CR CR LF keeps one CR in the value", "[s]\r\nk=1\r\r\n", "s", "k", "1\r", 1},
    };
    TestFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProfileData data = ReadThroughFile(c.text);
        EXPECT_EQ(data.sections().size(), c.sections);
        EXPECT_EQ(data.Get(c.section, c.key), c.value);
    }
}

TEST(HostileProfiles, HugeCountsAndNames) {
    TestFolder folder;
    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += "[" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    const ProfileData data = ReadThroughFile(many);
    ASSERT_EQ(data.sections().size(), 100000u);
    EXPECT_EQ(data.Get("99999", "k"), "99999");
    EXPECT_EQ(FormatProfile(data).size(), many.size());

    const std::string digits(10000, '9');
    const ProfileData long_name = ReadThroughFile("[" + digits + "]\r\ntitle=t\r\n");
    EXPECT_EQ(long_name.Get(digits, "title"), "t");
    EXPECT_EQ(ParseNumber(digits), kMax);
    EXPECT_EQ(ParseNumber("-" + digits), kMin);
}

TEST(HostileNumbers, BeyondThirtyTwoBitsSaturate) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"2147483647", kMax},           {"2147483648", kMax},
        {"4294967296", kMax},           {"18446744073709551616", kMax},
        {"-2147483648", kMin},          {"-2147483649", kMin},
        {"-9223372036854775809", kMin}, {"00000000000000000000000000042", 42},
        {"4294967297", kMax},           {"  -0000000000000000000000000001x", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
}

TEST(HostileSnapshots, AbsurdRecordsReadAsTheNumberRuleSays) {
    TestFolder folder;
    ASSERT_TRUE(EnsureSaveFolder());
    const std::string digits(10000, '7');
    ASSERT_TRUE(platform::ReplaceWholeFile(
        "save\\20050412153012.txt",
        "[" + digits + "]\r\ntitle=last\r\n[-" + digits +
            "]\r\ntitle=first\r\n"
            "[0]\r\ntitle=%s%s%s%n%n\r\nw_x=99999999999\r\nw_y=-99999999999\r\n"
            "w_width=4294967296\r\nw_height=\t-1\r\nstyle=2147483648\r\n"));
    const BrowserWindowList records = ReadNewestSnapshot();
    ASSERT_EQ(records.size(), 3u);
    auto it = records.begin();
    EXPECT_EQ(it->title, "first");
    ++it;
    EXPECT_EQ(it->title, "%s%s%s%n%n");
    EXPECT_EQ((std::vector<std::int32_t>{it->w_x, it->w_y, it->w_width, it->w_height, it->style}),
              (std::vector<std::int32_t>{kMax, kMin, kMax, -1, kMax}));
    EXPECT_EQ(records.back().title, "last");
}

TEST(HostileSnapshots, FoldersWhereFilesAreExpected) {
    TestFolder folder;
    ASSERT_TRUE(EnsureSaveFolder());
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt", "[0]\r\ntitle=a\r\n"));
    // A folder whose name sorts after every snapshot: it is the newest entry
    // and reads as nothing, and a write to its name fails and leaves it.
    ASSERT_TRUE(platform::CreateDirectoryAt("save\\99991231235959.txt"));
    EXPECT_EQ(NewestSnapshotFile(), "save\\99991231235959.txt");
    EXPECT_TRUE(ReadNewestSnapshot().empty());
    EXPECT_TRUE(ReadSnapshotFile("save").empty());
    EXPECT_FALSE(platform::ReplaceWholeFile("save\\99991231235959.txt", "x"));
    EXPECT_TRUE(platform::IsDirectory("save\\99991231235959.txt"));

    // Pelorin.ini as a folder: nothing to load, and a save fails.
    ASSERT_TRUE(platform::CreateDirectoryAt("Pelorin.ini"));
    Settings settings;
    settings.AutoSaveTime = 9;
    LoadSettingsFile(settings);
    EXPECT_EQ(settings.AutoSaveTime, 9);
    EXPECT_FALSE(SaveSettingsFile(settings));
    EXPECT_TRUE(platform::IsDirectory("Pelorin.ini"));
}

TEST(HostileLaunch, OptionsPastTheCommandLineLimitAreRefused) {
    CSnapshotManager manager;
    manager.BrowserPath = "C:\\nonexistent-pelorin-test\\IEXPLORE.EXE";
    const std::size_t room = kMaxCommandLine - 1 - (manager.BrowserPath.size() + 3);
    for (std::size_t length : {room + 1, std::size_t{40000}, std::size_t{1} << 20}) {
        EXPECT_EQ(BrowserCommandLine(manager.BrowserPath, std::string(length, 'a')), std::nullopt)
            << length;
        EXPECT_EQ(manager.LaunchBrowser(std::string(length, 'a')), 0u) << length;
    }
    EXPECT_TRUE(BrowserCommandLine(manager.BrowserPath, std::string(room, 'a')).has_value());
}

}  // namespace
