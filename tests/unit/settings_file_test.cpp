// "Pelorin.ini" read and written through the platform seam, in a fresh
// folder per test, so the same cases run on the simulated desktop and under
// Wine.
#include "storage/settings_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_folder.h"

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    static void WriteIni(const std::string& bytes) {
        ASSERT_TRUE(platform::ReplaceWholeFile("Pelorin.ini", bytes));
    }
    static Settings Loaded(const std::string& bytes) {
        WriteIni(bytes);
        Settings settings;
        LoadSettingsFile(settings);
        return settings;
    }

    TestFolder folder_;
};

constexpr const char* kDefaultFile =
    "[Setting]\r\n"
    "AutoSave=0\r\n"
    "AutoSaveTime=1\r\n"
    "CreateWait=300\r\n"
    "ExitIEWhenExit=0\r\n"
    "ExitIEWhenRestore=0\r\n"
    "ResizeWait=500\r\n"
    "RestoreWhenStart=0\r\n"
    "Save=0\r\n";

Settings NonDefault() {
    Settings s;
    s.ExitIEWhenRestore = 1;
    s.AutoSave = 1;
    s.AutoSaveTime = 10;
    s.Save = 1;
    s.CreateWait = 1000;
    s.ResizeWait = 2000;
    s.ExitIEWhenExit = 1;
    s.RestoreWhenStart = 1;
    return s;
}

TEST_F(SettingsFileTest, MissingFileKeepsValuesAndCreatesNothing) {
    Settings settings = NonDefault();
    LoadSettingsFile(settings);
    EXPECT_EQ(settings, NonDefault());
    EXPECT_FALSE(platform::ReadWholeFile("Pelorin.ini").has_value());
}

// Files that yield no section at all leave the values as given (a caller
// that constructed defaults sees defaults); files whose section lacks the
// keys give the defaults whatever was held before.
TEST_F(SettingsFileTest, FilesWithoutUsableSettingsGiveTheDefaults) {
    struct Case {
        const char* what;
        std::string bytes;
        bool keepsGivenValues;
    };
    const std::vector<Case> cases = {
        {"empty file", "", true},
        {"header only", "[Setting]\r\n", true},
        {"BOM before the only header", "\xEF\xBB\xBF[Setting]\r\nAutoSave=1\r\nSave=1\r\n", true},
        {"only another section", "[Other]\r\nAutoSave=1\r\n", false},
        {"pairs before any header", "AutoSave=1\r\nSave=1\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteIni(c.bytes);
        Settings settings = NonDefault();
        LoadSettingsFile(settings);
        EXPECT_EQ(settings, c.keepsGivenValues ? NonDefault() : Settings{});
    }
}

TEST_F(SettingsFileTest, ReadsEveryKeyOfAFullFile) {
    const Settings loaded = Loaded(
        "[Setting]\r\nAutoSave=1\r\nAutoSaveTime=10\r\nCreateWait=1000\r\nExitIEWhenExit=1\r\n"
        "ExitIEWhenRestore=1\r\nResizeWait=2000\r\nRestoreWhenStart=1\r\nSave=1\r\n");
    EXPECT_EQ(loaded, NonDefault());
}

// Each number's bounds, both sides: inside stays, one step outside becomes
// the default (never the nearer bound).
TEST_F(SettingsFileTest, NumbersOutsideTheirInclusiveBoundsBecomeTheDefault) {
    struct Case {
        const char* key;
        std::int32_t Settings::*member;
        std::string value;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"AutoSaveTime", &Settings::AutoSaveTime, "0", 1},
        {"AutoSaveTime", &Settings::AutoSaveTime, "1", 1},
        {"AutoSaveTime", &Settings::AutoSaveTime, "2", 2},
        {"AutoSaveTime", &Settings::AutoSaveTime, "1440", 1440},
        {"AutoSaveTime", &Settings::AutoSaveTime, "1441", 1},
        {"AutoSaveTime", &Settings::AutoSaveTime, "-5", 1},
        {"CreateWait", &Settings::CreateWait, "99", 300},
        {"CreateWait", &Settings::CreateWait, "100", 100},
        {"CreateWait", &Settings::CreateWait, "60000", 60000},
        {"CreateWait", &Settings::CreateWait, "60001", 300},
        {"CreateWait", &Settings::CreateWait, "50", 300},
        {"ResizeWait", &Settings::ResizeWait, "499", 500},
        {"ResizeWait", &Settings::ResizeWait, "500", 500},
        {"ResizeWait", &Settings::ResizeWait, "300000", 300000},
        {"ResizeWait", &Settings::ResizeWait, "300001", 500},
        {"ResizeWait", &Settings::ResizeWait, "501", 501},
        // Beyond 32 bits the number saturates and is then out of range.
        {"ResizeWait", &Settings::ResizeWait, "99999999999999999999", 500},
        {"CreateWait", &Settings::CreateWait, "-99999999999999999999", 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        const Settings loaded =
            Loaded("[Setting]\r\n" + std::string(c.key) + "=" + c.value + "\r\n");
        EXPECT_EQ(loaded.*c.member, c.expected);
    }
}

TEST_F(SettingsFileTest, FlagsOtherThanZeroOrOneBecomeZero) {
    struct Flag {
        const char* key;
        std::int32_t Settings::*member;
    };
    const std::vector<Flag> flags = {
        {"ExitIEWhenRestore", &Settings::ExitIEWhenRestore},
        {"AutoSave", &Settings::AutoSave},
        {"Save", &Settings::Save},
        {"ExitIEWhenExit", &Settings::ExitIEWhenExit},
        {"RestoreWhenStart", &Settings::RestoreWhenStart},
    };
    const std::vector<std::pair<std::string, std::int32_t>> values = {
        {"1", 1}, {"0", 0}, {"2", 0}, {"-1", 0}, {"yes", 0}, {"+1", 1}, {"1x", 1}, {"", 0},
    };
    for (const Flag& flag : flags) {
        for (const auto& [text, expected] : values) {
            SCOPED_TRACE(std::string(flag.key) + "=" + text);
            const Settings loaded =
                Loaded("[Setting]\r\n" + std::string(flag.key) + "=" + text + "\r\n");
            EXPECT_EQ(loaded.*flag.member, expected);
        }
    }
}

// The key must match byte for byte, and the value is read by the atoi rule.
TEST_F(SettingsFileTest, KeysAreExactAndValuesFollowTheAtoiRule) {
    struct Case {
        const char* line;
        std::int32_t expectedResizeWait;
    };
    const std::vector<Case> cases = {
        {"ResizeWait= 700", 700},  {"ResizeWait=\t700", 700}, {"ResizeWait =700", 500},
        {"resizewait=700", 500},   {"RESIZEWAIT=700", 500},   {"ResizeWait=700ms", 700},
        {"ResizeWait=0x1F4", 500}, {"ResizeWait=+700", 700},  {"ResizeWait=7 00", 500},
        {"ResizeWait=700\r", 700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Loaded(std::string("[Setting]\r\n") + c.line + "\r\n").ResizeWait,
                  c.expectedResizeWait);
    }
}

// Hand-made files may put settings above the header: they are the section's.
TEST_F(SettingsFileTest, PairsAboveTheHeaderBelongToIt) {
    const Settings loaded = Loaded("AutoSave=1\r\nAutoSaveTime=15\r\n[Setting]\r\nSave=1\r\n");
    Settings expected;
    expected.AutoSave = 1;
    expected.AutoSaveTime = 15;
    expected.Save = 1;
    EXPECT_EQ(loaded, expected);
}

TEST_F(SettingsFileTest, EachKeyIsIndependent) {
    const Settings loaded =
        Loaded("[Setting]\r\nAutoSave=1\r\nCreateWait=99\r\nResizeWait=800\r\n");
    Settings expected;
    expected.AutoSave = 1;
    expected.ResizeWait = 800;
    EXPECT_EQ(loaded, expected);
}

TEST_F(SettingsFileTest, SaveWritesTheNineLinesInByteOrder) {
    ASSERT_TRUE(SaveSettingsFile(Settings{}));
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), std::string(kDefaultFile));

    Settings typed;  // values as a user may type them: stored unchecked
    typed.AutoSaveTime = 0;
    typed.CreateWait = 50;
    typed.ResizeWait = -2147483647 - 1;
    typed.Save = 7;
    ASSERT_TRUE(SaveSettingsFile(typed));
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"),
              std::string("[Setting]\r\nAutoSave=0\r\nAutoSaveTime=0\r\nCreateWait=50\r\n"
                          "ExitIEWhenExit=0\r\nExitIEWhenRestore=0\r\nResizeWait=-2147483648\r\n"
                          "RestoreWhenStart=0\r\nSave=7\r\n"));
}

TEST_F(SettingsFileTest, SaveDropsUnknownKeysAndSections) {
    WriteIni("[Aaa]\r\nx=1\r\n[Setting]\r\nAutoSave=1\r\nColour=red\r\n[Zzz]\r\ny=2\r\n");
    ASSERT_TRUE(SaveSettingsFile(Settings{}));
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), std::string(kDefaultFile));
}

TEST_F(SettingsFileTest, SavedValuesComeBackThroughTheBounds) {
    Settings typed = NonDefault();
    typed.CreateWait = 50;  // accepted by the dialog, refused at the next start
    ASSERT_TRUE(SaveSettingsFile(typed));
    Settings loaded;
    LoadSettingsFile(loaded);
    Settings expected = NonDefault();
    expected.CreateWait = 300;
    EXPECT_EQ(loaded, expected);
}

// A folder in the file's place cannot be replaced: the save reports it, and
// the folder is still there.
TEST_F(SettingsFileTest, FailedSaveIsReported) {
    ASSERT_TRUE(platform::CreateDirectoryAt("Pelorin.ini"));
    EXPECT_FALSE(SaveSettingsFile(NonDefault()));
    EXPECT_TRUE(platform::IsDirectory("Pelorin.ini"));
}

}  // namespace
