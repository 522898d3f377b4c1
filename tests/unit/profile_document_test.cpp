// The profile text format: what Read makes of bytes, the exact bytes Write
// produces, the order of names, and files on disk. Runs against the simulated
// file system on Linux and against the real one under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "storage/profile_document.h"
#include "support/test_folder.h"

// Readable failure messages: every byte outside printable ASCII as \xNN.
static std::string Escaped(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

void PrintTo(const ProfileData& data, std::ostream* os) {
    *os << "{";
    for (const auto& [name, pairs] : data.sections()) {
        *os << " [" << Escaped(name) << "]{";
        for (const auto& [key, value] : pairs) {
            *os << " " << Escaped(key) << "=" << Escaped(value) << ";";
        }
        *os << " }";
    }
    *os << " }";
}

namespace {

using Sections = std::vector<std::pair<std::string, ProfileSection>>;

ProfileData Data(const Sections& sections) {
    ProfileData data;
    for (const auto& [name, pairs] : sections) {
        data.sections()[name] = pairs;
    }
    return data;
}

std::vector<std::string> SectionNames(const ProfileData& data) {
    std::vector<std::string> names;
    for (const auto& entry : data.sections()) {
        names.push_back(entry.first);
    }
    return names;
}

// ---- Reading --------------------------------------------------------------

struct ReadCase {
    const char* what;
    std::string bytes;
    Sections expected;
};

const ReadCase kReadCases[] = {
    {"empty input", "", {}},
    {"only a header, at the end", "[A]\r\n", {}},
    {"CR LF line ends", "[A]\r\nk=v\r\n", {{"A", {{"k", "v"}}}}},
    {"LF line ends", "[A]\nk=v\n", {{"A", {{"k", "v"}}}}},
    {"no final line end", "[A]\nk=v", {{"A", {{"k", "v"}}}}},
    {"a final CR without LF is part of the line", "[A]\r\nk=v\r", {{"A", {{"k", "v\r"}}}}},
    {"a CR before CR LF is part of the line", "[A]\r\nk=v\r\r\n", {{"A", {{"k", "v\r"}}}}},
    {"a CR inside a line is an ordinary byte", "[A]\nk=a\rb\n", {{"A", {{"k", "a\rb"}}}}},
    {"CR alone does not end a line", "[A]\r[B]\nk=v\n", {{"A]\r[B", {{"k", "v"}}}}},
    {"a header with CR after the bracket is no header",
     "[S]\nx=1\n[A]\r\r\nk=v\n",
     {{"S", {{"x", "1"}, {"k", "v"}}}}},
    {"a space before the bracket: no header, ignored",
     "[S]\nx=1\n [A]\nk=v\n",
     {{"S", {{"x", "1"}, {"k", "v"}}}}},
    {"a byte-order mark hides the first header",
     "\xEF\xBB\xBF[A]\r\nk=v\r\n[B]\r\nj=w\r\n",
     {{"B", {{"j", "w"}, {"k", "v"}}}}},
    {"nothing is trimmed",
     "[ A ]\n k = v \n\tt\t=\tu\t\n",
     {{" A ", {{" k ", " v "}, {"\tt\t", "\tu\t"}}}}},
    {"the first = splits", "[A]\na=b=c\n", {{"A", {{"a", "b=c"}}}}},
    {"empty key and empty value", "[A]\n=ab\nab=\n", {{"A", {{"", "ab"}, {"ab", ""}}}}},
    {"two-byte pairs are ignored", "[A]\nk=v\na=\n=b\n", {{"A", {{"k", "v"}}}}},
    {"lines without = are ignored", "[A]\nk=v\nabc\n[AB\nAB]\n", {{"A", {{"k", "v"}}}}},
    {"no comment syntax", "[A]\n;x=1\n#y=2\n", {{"A", {{";x", "1"}, {"#y", "2"}}}}},
    {"an empty header does not end the section",
     "[A]\nk=1\n[]\nj=2\n",
     {{"A", {{"j", "2"}, {"k", "1"}}}}},
    {"short lines do not end the section",
     "[A]\nk=1\n\n\r\n[\nj=2\n",
     {{"A", {{"j", "2"}, {"k", "1"}}}}},
    {"an empty section followed by a header is kept",
     "[A]\n[B]\nk=v\n",
     {{"A", {}}, {"B", {{"k", "v"}}}}},
    {"an empty last section is dropped", "[A]\nk=v\n[B]\n", {{"A", {{"k", "v"}}}}},
    {"a repeated section replaces the earlier one whole",
     "[A]\nk=1\n[A]\nj=2\n",
     {{"A", {{"j", "2"}}}}},
    {"a repeated empty last section leaves the earlier one",
     "[A]\nk=1\n[B]\nx=1\n[A]\n",
     {{"A", {{"k", "1"}}}, {"B", {{"x", "1"}}}}},
    {"a repeated empty section before a header empties it",
     "[A]\nk=1\n[B]\nx=1\n[A]\n[C]\ny=1\n",
     {{"A", {}}, {"B", {{"x", "1"}}}, {"C", {{"y", "1"}}}}},
    {"a later pair replaces an earlier key", "[A]\nk=1\nk=2\n", {{"A", {{"k", "2"}}}}},
    {"pairs without any header are dropped", "k=0\n", {}},
    {"pairs before the first header belong to the first section",
     "k=0\nj=1\n[A]\nx=1\nk=2\n[B]\ny=1\n",
     {{"A", {{"j", "1"}, {"k", "2"}, {"x", "1"}}}, {"B", {{"y", "1"}}}}},
    {"pairs before a header on the last line make it a section",
     "k=0\n[A]\n",
     {{"A", {{"k", "0"}}}}},
    {"a header name may hold brackets, = and spaces",
     "[a] b=[c]\nk=v\n",
     {{"a] b=[c", {{"k", "v"}}}}},
    {"a pair whose key starts with [", "[A]\n[x]=y\n", {{"A", {{"[x]", "y"}}}}},
    {"the shortest header", "[]]\nk=v\n", {{"]", {{"k", "v"}}}}},
    {"zero bytes are ordinary",
     std::string("[A\0]\nk=\0v\n", 10),
     {{std::string("A\0", 2), {{"k", std::string("\0v", 2)}}}}},
    {"Shift-JIS with 0x5C and 0x5D trail bytes",
     "[\x83\x5C]\r\n\x95\x5C=\x83\x5C\x83\x5D\r\n",
     {{"\x83\x5C", {{"\x95\x5C", "\x83\x5C\x83\x5D"}}}}},
};

TEST(ProfileRead, LineClassesAndSections) {
    for (const ReadCase& c : kReadCases) {
        EXPECT_EQ(ParseProfile(c.bytes), Data(c.expected)) << c.what;
    }
}

TEST(ProfileRead, SameResultFromAFile) {
    TestFolder folder;
    for (const ReadCase& c : kReadCases) {
        ASSERT_TRUE(platform::ReplaceWholeFile("p.ini", c.bytes)) << c.what;
        EXPECT_EQ(ProfileDocument("p.ini").Read(), Data(c.expected)) << c.what;
    }
}

TEST(ProfileRead, WhatCannotBeOpenedReadsAsEmpty) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::CreateDirectoryAt("folder.ini"));
    for (const char* path :
         {"missing.ini", "save\\missing.txt", "nofolder\\x.txt", "folder.ini", "save"}) {
        EXPECT_TRUE(ProfileDocument(path).Read().empty()) << path;
    }
}

TEST(ProfileRead, SubfolderPathsWithBackslashes) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(platform::ReplaceWholeFile("save\\20050412153012.txt", "[0]\r\nname=IEFrame\r\n"));
    EXPECT_EQ(ProfileDocument("save\\20050412153012.txt").Read().Get("0", "name"), "IEFrame");
}

// ---- Writing --------------------------------------------------------------

struct WriteCase {
    const char* what;
    Sections data;
    std::string bytes;
};

const WriteCase kWriteCases[] = {
    {"nothing", {}, ""},
    {"a section without pairs", {{"A", {}}}, "[A]\r\n"},
    {"pairs, then an empty section",
     {{"A", {{"k", "v"}, {"j", "w"}}}, {"B", {}}},
     "[A]\r\nj=w\r\nk=v\r\n[B]\r\n"},
    {"empty key and value", {{"A", {{"", ""}}}}, "[A]\r\n=\r\n"},
    {"nothing trimmed or quoted", {{" A ", {{" k", "v ;#\"x\""}}}}, "[ A ]\r\n k=v ;#\"x\"\r\n"},
    {"Shift-JIS kept byte for byte",
     {{"\x83\x5C", {{"title", "\x83\x5C\x95\x5C\x83\x5D"}}}},
     "[\x83\x5C]\r\ntitle=\x83\x5C\x95\x5C\x83\x5D\r\n"},
    // Content that cannot be read back the same is still written as it is.
    {"= in a key and line breaks in a value",
     {{"A", {{"a=b", "c\r\nd"}}}},
     "[A]\r\na=b=c\r\nd\r\n"},
    {"an empty name", {{"", {{"k", "v"}}}}, "[]\r\nk=v\r\n"},
};

TEST(ProfileWrite, ExactBytes) {
    for (const WriteCase& c : kWriteCases) {
        EXPECT_EQ(Escaped(FormatProfile(Data(c.data))), Escaped(c.bytes)) << c.what;
    }
}

TEST(ProfileWrite, ExactBytesOnDisk) {
    TestFolder folder;
    for (const WriteCase& c : kWriteCases) {
        ASSERT_TRUE(ProfileDocument("p.ini").Write(Data(c.data))) << c.what;
        const std::optional<std::string> disk = platform::ReadWholeFile("p.ini");
        ASSERT_TRUE(disk.has_value()) << c.what;  // an empty file exists too
        EXPECT_EQ(Escaped(*disk), Escaped(c.bytes)) << c.what;
    }
}

TEST(ProfileWrite, ReplacesEverythingAndLeavesNoOtherFile) {
    TestFolder folder;
    ASSERT_TRUE(platform::ReplaceWholeFile("p.ini", "[Old]\r\nx=1\r\n[Setting]\r\nSave=1\r\n"));
    ASSERT_TRUE(ProfileDocument("p.ini").Write(Data({{"Setting", {{"AutoSave", "0"}}}})));
    EXPECT_EQ(platform::ReadWholeFile("p.ini"), "[Setting]\r\nAutoSave=0\r\n");
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"p.ini"});
}

TEST(ProfileWrite, FailsWhereNoFileCanBeWritten) {
    TestFolder folder;
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    const ProfileData data = Data({{"A", {{"k", "v"}}}});
    EXPECT_FALSE(ProfileDocument("save").Write(data));
    EXPECT_TRUE(platform::IsDirectory("save"));
    EXPECT_FALSE(ProfileDocument("nofolder\\p.ini").Write(data));
    EXPECT_FALSE(platform::IsDirectory("nofolder"));
    EXPECT_EQ(platform::ListMatchingEntries("*"), std::vector<std::string>{"save"});
    EXPECT_TRUE(platform::ListMatchingEntries("save\\*").empty());
}

// ---- Order, equality, copies ------------------------------------------------

TEST(ProfileOrder, NamesAndKeysSortByUnsignedBytes) {
    struct Case {
        const char* what;
        std::vector<std::string> inserted;
        std::vector<std::string> ordered;
    } cases[] = {
        {"numbers as text", {"2", "11", "0", "10", "1"}, {"0", "1", "10", "11", "2"}},
        {"the settings keys",
         {"Save", "ResizeWait", "AutoSaveTime", "RestoreWhenStart", "ExitIEWhenRestore", "AutoSave",
          "ExitIEWhenExit", "CreateWait"},
         {"AutoSave", "AutoSaveTime", "CreateWait", "ExitIEWhenExit", "ExitIEWhenRestore",
          "ResizeWait", "RestoreWhenStart", "Save"}},
        {"upper case first, prefix first",
         {"setting", "Setting", "Settings", "S"},
         {"S", "Setting", "Settings", "setting"}},
        // Bytes from 0x80 are greater than ASCII: a signed char compare would
        // put them first.
        {"high bytes after ASCII",
         {"\x83\x5C", "z", "\x7F", "\xFF", "\x81\x40"},
         {"z", "\x7F", "\x81\x40", "\x83\x5C", "\xFF"}},
    };
    for (const auto& c : cases) {
        ProfileData data;
        for (const std::string& name : c.inserted) {
            data.Set(name, name, "v");
        }
        EXPECT_EQ(SectionNames(data), c.ordered) << c.what;
        ProfileData keyed;
        for (const std::string& key : c.inserted) {
            keyed.Set("S", key, "v");
        }
        std::vector<std::string> keys;
        for (const auto& pair : keyed.sections().at("S")) {
            keys.push_back(pair.first);
        }
        EXPECT_EQ(keys, c.ordered) << c.what;
        // The file lists them in the same order, and reading keeps it.
        EXPECT_EQ(SectionNames(ParseProfile(FormatProfile(data))), SectionNames(data)) << c.what;
    }
}

TEST(ProfileData, GetAndSet) {
    ProfileData data;
    EXPECT_EQ(data.Get("Setting", "Save"), "");
    data.Set("Setting", "Save", "1");
    data.Set("Setting", "AutoSave", "0");
    EXPECT_EQ(data.Get("Setting", "Save"), "1");
    EXPECT_EQ(data.Get("Setting", "save"), "");
    EXPECT_EQ(data.Get("setting", "Save"), "");
    data.Set("Setting", "Save", "");
    EXPECT_EQ(data.Get("Setting", "Save"), "");
    EXPECT_EQ(data.sections().at("Setting").size(), 2u);
    const ProfileData& constant = data;
    EXPECT_EQ(constant.Get("Other", "k"), "");
    EXPECT_EQ(SectionNames(data), std::vector<std::string>{"Setting"});
}

TEST(ProfileData, EqualityIsByContentNotInsertionOrder) {
    ProfileData a;
    a.Set("0", "name", "IEFrame");
    a.Set("0", "title", "\x83\x5C");
    a.Set("1", "name", "IEFrame");
    ProfileData b;
    b.Set("1", "name", "IEFrame");
    b.Set("0", "title", "\x83\x5C");
    b.Set("0", "name", "IEFrame");
    EXPECT_EQ(a, b);

    ProfileData oneByte = b;
    oneByte.Set("0", "title", "\x83\x5D");
    EXPECT_NE(a, oneByte);
    ProfileData extraSection = b;
    extraSection.sections()["2"];
    EXPECT_NE(a, extraSection);
    ProfileData extraKey = b;
    extraKey.Set("1", "option", "");
    EXPECT_NE(a, extraKey);
    ProfileData renamed;
    renamed.Set("0", "name", "IEFrame");
    renamed.Set("0", "title", "\x83\x5C");
    renamed.Set("2", "name", "IEFrame");
    EXPECT_NE(a, renamed);
}

TEST(ProfileData, CopiesAreIndependent) {
    ProfileData original;
    original.Set("A", "k", "v");
    ProfileData copy = original;
    copy.Set("A", "k", "changed");
    copy.Set("B", "j", "w");
    EXPECT_EQ(original.Get("A", "k"), "v");
    EXPECT_EQ(SectionNames(original), std::vector<std::string>{"A"});
    ProfileData assigned;
    assigned = original;
    original.sections().clear();
    EXPECT_EQ(assigned.Get("A", "k"), "v");
}

// Data that meets the fidelity conditions reads back exactly as written:
// random names, keys and values over an alphabet rich in the bytes that
// matter to the syntax.
TEST(ProfileRoundTrip, RandomDataMeetingTheConditionsSurvives) {
    std::mt19937 random(20050412);
    const std::string alphabet = std::string("ab [];=#\t\x83\x5C\x5D\x81\xFF\0", 15);
    auto text = [&](std::size_t minimum, bool allowEquals) {
        std::string s;
        const std::size_t length = minimum + random() % 6;
        while (s.size() < length) {
            const char c = alphabet[random() % alphabet.size()];
            if (allowEquals || c != '=') {
                s += c;
            }
        }
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        ProfileData data;
        const int sections = 1 + static_cast<int>(random() % 4);
        for (int s = 0; s < sections; ++s) {
            const std::string name = text(1, true);
            ProfileSection& pairs = data.sections()[name];
            const int count = static_cast<int>(random() % 4);
            for (int p = 0; p < count; ++p) {
                std::string key = text(0, false);
                std::string value = text(key.size() >= 2 ? 0 : 2 - key.size(), true);
                if (!key.empty() && key.front() == '[' && !value.empty() && value.back() == ']') {
                    value += 'x';
                }
                pairs[key] = value;
            }
        }
        if (data.sections().rbegin()->second.empty()) {
            data.sections().rbegin()->second["last"] = "1";
        }
        const std::string bytes = FormatProfile(data);
        EXPECT_EQ(ParseProfile(bytes), data) << Escaped(bytes);
    }
}

// ---- Numbers ----------------------------------------------------------------

TEST(Numbers, IntToStringIsPercentD) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "0"},
        {300, "300"},
        {-1, "-1"},
        {2147483647, "2147483647"},
        {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
        {1000000, "1000000"},
        {-60000, "-60000"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(IntToString(value), text);
    }
}

TEST(Numbers, ParseNumberFollowsAtoi) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const std::pair<std::string, std::int32_t> cases[] = {
        {"", 0},
        {"0", 0},
        {"300", 300},
        {"-1", -1},
        {"+5", 5},
        {"000123", 123},
        {" \t\n\v\f\r42", 42},
        {"12 34", 12},
        {"7x", 7},
        {"1e3", 1},
        {"0x1A", 0},
        {"x7", 0},
        {"- 5", 0},
        {"--5", 0},
        {"+-5", 0},
        {" +", 0},
        {"\x83\x5C"
         "1",
         0},
        {std::string("5\0"
                     "6",
                     3),
         5},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"99999999999999999999999999", kMax},
        {"-99999999999999999999999999", kMin},
        {"00000000000000000000000000012", 12},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseNumber(text), value) << '"' << Escaped(text) << '"';
    }
}

}  // namespace
