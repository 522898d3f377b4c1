// The simulated file system itself: the behaviour every other module's tests
// rely on, and the faults they inject.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/platform.h"
#include "platform/sim/sim_files.h"
#include "support/test_folder.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Every name in the folder on the host, temporary files included.
std::vector<std::string> HostEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return Sorted(names);
}

TEST(SimFiles, BackslashesAreFoldersBelowTheRoot) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\a.txt", "x"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.location() + "/save/a.txt"));
    // A leading backslash must not reach the host's root folder.
    EXPECT_EQ(sim::CurrentFileSystem()->HostPath("\\save\\a.txt"),
              std::filesystem::path(folder.location()) / "save/a.txt");
}

// "\x95\x5C" and "\x83\x5C" are single characters whose second byte is the
// backslash; taken for separators they would split or misplace the file.
TEST(SimFiles, ShiftJisNamesAreNotSplitAtTheirSecondByte) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("\x83\x5C"));
    ASSERT_TRUE(platform::ReplaceWholeFile("\x83\x5C\\\x95\x5C.txt", "x"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.location() + "/\x83\x5C/\x95\x5C.txt"));
    EXPECT_EQ(platform::ListMatchingEntries("\x83\x5C\\*.txt"),
              std::vector<std::string>{"\x95\x5C.txt"});
    EXPECT_EQ(platform::ReadWholeFile("\x83\x5C\\\x95\x5C.txt"), "x");
    EXPECT_TRUE(platform::IsDirectory("\x83\x5C"));
}

// As Windows with short names, where "x.txtx" has the alias "X~1.TXT".
TEST(SimFiles, ListingMatchesLongNamesAndTheirAliases) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    for (const char* name : {"a.txt", "B.TXT", "c.Txt", "x.txtx", "y.txt.tmp", "txt", ".txt"}) {
        ASSERT_TRUE(platform::ReplaceWholeFile(std::string("save\\") + name, "x")) << name;
    }
    ASSERT_TRUE(platform::CreateDirectoryAt("save\\folder.txt"));
    EXPECT_EQ(
        Sorted(platform::ListMatchingEntries("save\\*.txt")),
        (std::vector<std::string>{".txt", "B.TXT", "a.txt", "c.Txt", "folder.txt", "x.txtx"}));
    EXPECT_TRUE(platform::ListMatchingEntries("missing\\*.txt").empty());
    EXPECT_EQ(platform::ListMatchingEntries("*.TXT"), std::vector<std::string>{});
}

TEST(SimFiles, PatternWildcards) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"a.txt", "*.txt", true},
        {"A.TXT", "*.txt", true},
        {"a.txt", "a.txt", true},
        {"a.txt", "?.txt", true},
        {"ab.txt", "?.txt", false},
        {"a.tx", "*.txt", false},
        {"a.txt", "*", true},
        {"", "*", true},
        {"abc", "a*c", true},
        {"abxbc", "a*bc", true},
        {"abcd", "a*c", false},
        {"a", "", false},
        {"\x83\x5C.txt", "*.txt", true},
        {"\x83\x5C", "\x83\x5C", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sim::MatchesPattern(c.name, c.pattern), c.matches)
            << '"' << c.name << "\" against \"" << c.pattern << '"';
    }
}

TEST(SimFiles, WithoutAFileSystemNothingIsTouched) {
    ASSERT_EQ(sim::CurrentFileSystem(), nullptr);
    EXPECT_FALSE(platform::ReplaceWholeFile("Pelorin.ini", "x"));
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), std::nullopt);
    EXPECT_FALSE(platform::CreateDirectoryAt("save"));
    EXPECT_FALSE(platform::IsDirectory("."));
    EXPECT_TRUE(platform::ListMatchingEntries("*").empty());
}

TEST(SimFiles, ScopedFileSystemsNestAndRestore) {
    TestFolder outer;
    sim::FileSystem* outerFiles = sim::CurrentFileSystem();
    ASSERT_NE(outerFiles, nullptr);
    {
        sim::FileSystem inner(outer.location() + "/inner");
        std::filesystem::create_directory(inner.root());
        sim::ScopedFileSystem installed(inner);
        EXPECT_EQ(sim::CurrentFileSystem(), &inner);
        ASSERT_TRUE(platform::ReplaceWholeFile("a.txt", "inner"));
    }
    EXPECT_EQ(sim::CurrentFileSystem(), outerFiles);
    EXPECT_EQ(platform::ReadWholeFile("inner\\a.txt"), "inner");
    EXPECT_EQ(platform::ReadWholeFile("a.txt"), std::nullopt);
}

// Every injected write fault leaves the old file as it was, reports false and
// leaves no temporary file behind.
TEST(SimFiles, EveryWriteFaultKeepsTheOldFile) {
    const std::string before = "[old]\r\nk=v\r\n";
    const std::string after = "[new]\r\nkey=a longer value\r\n";
    struct Fault {
        const char* name;
        void (*arm)(sim::FileSystem&);
    } faults[] = {
        {"write after 0 bytes", [](sim::FileSystem& f) { f.FailWriteAfter(0); }},
        {"write after 5 bytes", [](sim::FileSystem& f) { f.FailWriteAfter(5); }},
        {"write after all bytes", [](sim::FileSystem& f) { f.FailWriteAfter(1000); }},
        {"flush", [](sim::FileSystem& f) { f.FailFlush(); }},
        {"rename", [](sim::FileSystem& f) { f.FailRename(); }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        TestFolder folder;
        sim::FileSystem& files = *sim::CurrentFileSystem();
        ASSERT_TRUE(platform::ReplaceWholeFile("x.txt", before));
        fault.arm(files);
        EXPECT_FALSE(platform::ReplaceWholeFile("x.txt", after));
        EXPECT_FALSE(platform::ReplaceWholeFile("new.txt", after));
        EXPECT_EQ(platform::ReadWholeFile("x.txt"), before);
        EXPECT_EQ(HostEntries(folder.location()), std::vector<std::string>{"x.txt"});
        files.ClearFaults();
        EXPECT_TRUE(platform::ReplaceWholeFile("x.txt", after));
        EXPECT_EQ(platform::ReadWholeFile("x.txt"), after);
        EXPECT_EQ(files.replaceCount(), 4);
    }
}

TEST(SimFiles, FolderAndListingFaults) {
    TestFolder folder;
    sim::FileSystem& files = *sim::CurrentFileSystem();
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\a.txt", "x"));
    files.FailCreateDirectory();
    files.FailListing();
    EXPECT_FALSE(platform::CreateDirectoryAt("other"));
    EXPECT_FALSE(platform::IsDirectory("other"));
    EXPECT_TRUE(platform::ListMatchingEntries("save\\*.txt").empty());
    files.ClearFaults();
    EXPECT_TRUE(platform::CreateDirectoryAt("other"));
    EXPECT_EQ(platform::ListMatchingEntries("save\\*.txt"), std::vector<std::string>{"a.txt"});
}

}  // namespace
