// Snapshot files on a real folder: naming, listing, the newest file, the
// layout on disk, reading back in saved order and skipping unchanged saves.
// Runs against the simulated file system on Linux and real files on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "storage/snapshot_files.h"
#include "support/test_folder.h"

namespace {

// A working folder with a save folder in it, and a fresh run's memory of the
// last written snapshot.
class SnapshotFiles : public testing::Test {
protected:
    void SetUp() override {
        ResetLastWrittenSnapshot();
        ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    }
    void TearDown() override { ResetLastWrittenSnapshot(); }

    static void Put(const std::string& path, const std::string& content) {
        ASSERT_TRUE(platform::ReplaceWholeFile(path, content)) << path;
    }

    TestFolder folder_;
};

BrowserWindowRecord Record(const std::string& title, const std::string& option, std::int32_t x,
                           std::int32_t y, std::int32_t width, std::int32_t height,
                           std::int32_t style) {
    BrowserWindowRecord record("IEFrame", title, option, x, y, width, height);
    record.style = style;
    return record;
}

// What a captured record looks like once it went through a file.
BrowserWindowList AsReadBack(BrowserWindowList list) {
    for (BrowserWindowRecord& record : list) {
        record.hwnd = nullptr;
        record.pid = 0;
    }
    return list;
}

std::vector<std::string> Titles(const BrowserWindowList& list) {
    std::vector<std::string> titles;
    for (const BrowserWindowRecord& record : list)
        titles.push_back(record.title);
    return titles;
}

TEST_F(SnapshotFiles, TwoWindowsGiveTheDocumentedBytes) {
    BrowserWindowList list = {Record("First", "http://a/", 100, 50, 800, 600, 1),
                              Record("Second", "http://b/?q=1", 120, 80, 1000, 700, 3)};
    ASSERT_TRUE(WriteSnapshotFile(list));

    const std::string newest = NewestSnapshotFile();
    ASSERT_FALSE(newest.empty());
    EXPECT_EQ(platform::ReadWholeFile(newest),
              "[0]\r\nname=IEFrame\r\noption=http://a/\r\nstyle=1\r\ntitle=First\r\n"
              "w_height=600\r\nw_width=800\r\nw_x=100\r\nw_y=50\r\n"
              "[1]\r\nname=IEFrame\r\noption=http://b/?q=1\r\nstyle=3\r\ntitle=Second\r\n"
              "w_height=700\r\nw_width=1000\r\nw_x=120\r\nw_y=80\r\n");
}

TEST_F(SnapshotFiles, TabsAreKeptBesideTheFrontAddress) {
    BrowserWindowRecord tabbed = Record("T", "http://b/", 1, 2, 3, 4, 1);
    tabbed.tabs = {"http://a/", "http://b/", "http://c/"};
    tabbed.front_tab = 1;
    BrowserWindowRecord single = Record("S", "http://s/", 1, 2, 3, 4, 1);
    single.tabs = {"http://s/"};
    ASSERT_TRUE(WriteSnapshotFile({tabbed, single}));
    EXPECT_EQ(platform::ReadWholeFile(NewestSnapshotFile()),
              "[0]\r\nname=IEFrame\r\noption=http://b/\r\nstyle=1\r\ntab_000=http://a/\r\n"
              "tab_001=http://b/\r\ntab_002=http://c/\r\ntab_front=1\r\ntitle=T\r\n"
              "w_height=4\r\nw_width=3\r\nw_x=1\r\nw_y=2\r\n"
              "[1]\r\nname=IEFrame\r\noption=http://s/\r\nstyle=1\r\ntitle=S\r\n"
              "w_height=4\r\nw_width=3\r\nw_x=1\r\nw_y=2\r\n");
    single.tabs.clear();
    EXPECT_EQ(ReadNewestSnapshot(), (BrowserWindowList{tabbed, single}));

    struct Case {
        const char* keys;
        std::vector<std::string> tabs;  // empty: read as a frame without tabs
        std::int32_t front;
    };
    const Case cases[] = {
        {"tab_001=b\r\ntab_000=a\r\ntab_front=0\r\n", {"a", "b"}, 0},
        {"tab_000=a\r\ntab_001=\r\ntab_front=1\r\n", {"a", ""}, 1},
        {"", {}, 0},
        {"tab_000=a\r\ntab_front=0\r\n", {}, 0},
        {"tab_000=a\r\ntab_001=b\r\n", {}, 0},
        {"tab_000=a\r\ntab_001=b\r\ntab_front=2\r\n", {}, 0},
        {"tab_000=a\r\ntab_001=b\r\ntab_front=-1\r\n", {}, 0},
        {"tab_000=a\r\ntab_001=b\r\ntab_front=1x\r\n", {}, 0},
        {"tab_000=a\r\ntab_001=b\r\ntab_front=\r\n", {}, 0},
        {"tab_000=a\r\ntab_002=c\r\ntab_front=0\r\n", {}, 0},
        {"tab_0=a\r\ntab_1=b\r\ntab_front=0\r\n", {}, 0},
        {"tab_000=a\r\ntab_001=b\r\ntab_002=c\r\ntab_004=e\r\ntab_front=2\r\n", {"a", "b", "c"}, 2},
    };
    for (const Case& c : cases) {
        Put("save\\tabs.txt", std::string("[0]\r\noption=o\r\n") + c.keys);
        const BrowserWindowList list = ReadSnapshotFile("save\\tabs.txt");
        ASSERT_EQ(list.size(), 1u) << c.keys;
        EXPECT_EQ(list.front().option, "o") << c.keys;
        EXPECT_EQ(list.front().tabs, c.tabs) << c.keys;
        EXPECT_EQ(list.front().front_tab, c.front) << c.keys;
    }
}

TEST_F(SnapshotFiles, TwelveWindowsComeBackInSavedOrder) {
    BrowserWindowList list;
    for (int i = 0; i < 12; ++i) {
        BrowserWindowRecord record =
            Record("w" + std::to_string(i), "http://host/" + std::to_string(i), -i, 2 * i, 100 + i,
                   200 + i, i % 4);
        record.hwnd = reinterpret_cast<platform::WindowHandle>(static_cast<std::uintptr_t>(i + 1));
        record.pid = 500 + i;
        list.push_back(record);
    }
    // Texts travel byte for byte: Shift-JIS, "=" and spaces at both ends.
    list.front().title = " \x93\xfa\x96\x7b\x8c\xea=x ";
    ASSERT_TRUE(WriteSnapshotFile(list));

    const std::string content = platform::ReadWholeFile(NewestSnapshotFile()).value_or("");
    std::vector<std::string> headers;
    for (std::size_t at = content.find('['); at != std::string::npos;
         at = content.find("\r\n[", at + 1)) {
        std::size_t open = content[at] == '[' ? at : at + 2;
        headers.push_back(content.substr(open, content.find(']', open) - open + 1));
    }
    EXPECT_EQ(headers, (std::vector<std::string>{"[0]", "[1]", "[10]", "[11]", "[2]", "[3]", "[4]",
                                                 "[5]", "[6]", "[7]", "[8]", "[9]"}));

    EXPECT_EQ(ReadNewestSnapshot(), AsReadBack(list));
}

TEST_F(SnapshotFiles, SectionsAreOrderedBySignedNumberStably) {
    struct Case {
        const char* what;
        std::vector<std::string> sections;  // as they stand in the file
        std::vector<std::string> titles;    // records in the order read back
    };
    const Case cases[] = {
        {"2, 0, 1", {"2", "0", "1"}, {"0", "1", "2"}},
        {"01 beside 1: byte order breaks the tie", {"1", "01", "0"}, {"0", "01", "1"}},
        {"negative first", {"0", "-1", "5"}, {"-1", "0", "5"}},
        {"a name that is no number counts as 0", {"1", "abc", "0"}, {"0", "abc", "1"}},
        {"number rule on names", {"3x", "12", " 2"}, {" 2", "3x", "12"}},
    };
    // Enough ties that an unstable sort would reorder them: "n0", "n1",
    // "n10", ... all count as 0 and must stay in byte order.
    Case many{"forty names of number 0", {}, {}};
    for (int i = 0; i < 40; ++i)
        many.sections.push_back("n" + std::to_string(i));
    many.titles = many.sections;
    std::sort(many.titles.begin(), many.titles.end());

    for (const Case& c : {cases[0], cases[1], cases[2], cases[3], cases[4], many}) {
        SCOPED_TRACE(c.what);
        std::string content;
        for (const std::string& name : c.sections) {
            content += "[" + name + "]\r\ntitle=" + name + "\r\n";
        }
        Put("save\\case.txt", content);
        EXPECT_EQ(Titles(ReadSnapshotFile("save\\case.txt")), c.titles);
    }
}

TEST_F(SnapshotFiles, NumbersFollowTheNumberRule) {
    struct Case {
        const char* value;
        std::int32_t number;
    };
    const Case cases[] = {{"12abc", 12}, {"abc", 0},  {" -5", -5},  {"+7", 7},
                          {"", 0},       {"0x1F", 0}, {"\t42", 42}, {"-2147483648", INT32_MIN}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Put("save\\n.txt", std::string("[0]\r\nw_x=") + c.value + "\r\nw_y=" + c.value +
                               "\r\nw_width=" + c.value + "\r\nw_height=" + c.value +
                               "\r\nstyle=" + c.value + "\r\n");
        BrowserWindowList list = ReadSnapshotFile("save\\n.txt");
        ASSERT_EQ(list.size(), 1u);
        const BrowserWindowRecord& r = list.front();
        EXPECT_EQ((std::vector<std::int32_t>{r.w_x, r.w_y, r.w_width, r.w_height, r.style}),
                  std::vector<std::int32_t>(5, c.number));
    }
}

TEST_F(SnapshotFiles, SectionsWithoutTheKeysStillGiveRecords) {
    // The settings file read as a snapshot: one record of empty texts and zeros.
    Put("Pelorin.ini",
        "[Setting]\r\nExitIEWhenRestore=1\r\nAutoSave=1\r\nAutoSaveTime=5\r\nSave=1\r\n"
        "CreateWait=300\r\nResizeWait=500\r\nExitIEWhenExit=1\r\nRestoreWhenStart=1\r\n");
    EXPECT_EQ(ReadSnapshotFile("Pelorin.ini"), BrowserWindowList{BrowserWindowRecord()});

    // Unknown keys are ignored, missing ones read as empty or 0.
    Put("save\\partial.txt", "[0]\r\ntitle=t\r\ncolour=red\r\nw_y=9\r\n");
    BrowserWindowRecord expected("", "t", "", 0, 9, 0, 0);
    EXPECT_EQ(ReadSnapshotFile("save\\partial.txt"), BrowserWindowList{expected});
}

TEST_F(SnapshotFiles, NothingToReadGivesAnEmptyList) {
    Put("save\\empty.txt", "");
    Put("save\\pairs-only.txt", "name=IEFrame\r\ntitle=x\r\n");
    Put("save\\last-header-bare.txt", "[0]\r\ntitle=a\r\n[1]\r\n");
    EXPECT_TRUE(ReadSnapshotFile("save\\empty.txt").empty());
    EXPECT_TRUE(ReadSnapshotFile("save\\pairs-only.txt").empty());
    EXPECT_EQ(Titles(ReadSnapshotFile("save\\last-header-bare.txt")),
              std::vector<std::string>{"a"});
    EXPECT_TRUE(ReadSnapshotFile("save\\missing.txt").empty());
    EXPECT_TRUE(ReadSnapshotFile("").empty());
}

TEST_F(SnapshotFiles, NewestIsTheGreatestName) {
    EXPECT_EQ(NewestSnapshotFile(), "");
    EXPECT_TRUE(ReadNewestSnapshot().empty());

    Put("save\\20050101000000.txt", "[0]\r\ntitle=new year\r\n");
    Put("save\\20041231235959.txt", "[0]\r\ntitle=old year\r\n");
    Put("save\\20060101000000.txt.bak", "[0]\r\ntitle=not a snapshot\r\n");
    // Found through its 8.3 alias "200801~1.TXT", which ends as the pattern does.
    Put("save\\20080101000000.txtold", "[0]\r\ntitle=not a snapshot either\r\n");
    // The pattern ignores letter case.
    Put("save\\20070101000000.TXT", "[0]\r\ntitle=upper case\r\n");
    EXPECT_EQ(ListSnapshotFiles(),
              (std::vector<std::string>{"save\\20041231235959.txt", "save\\20050101000000.txt",
                                        "save\\20070101000000.TXT"}));
    EXPECT_EQ(Titles(ReadNewestSnapshot()), std::vector<std::string>{"upper case"});

    // A name that begins with a letter sorts after every timestamp.
    Put("save\\notes.txt", "[0]\r\ntitle=notes\r\n");
    EXPECT_EQ(NewestSnapshotFile(), "save\\notes.txt");
    EXPECT_EQ(Titles(ReadNewestSnapshot()), std::vector<std::string>{"notes"});

    // So does a folder whose name matches; reading it gives nothing.
    ASSERT_TRUE(platform::CreateDirectoryAt("save\\old.txt"));
    EXPECT_EQ(NewestSnapshotFile(), "save\\old.txt");
    EXPECT_TRUE(ReadNewestSnapshot().empty());
}

// Names compare as unsigned bytes: an upper-case letter before every
// lower-case one, and a Shift-JIS lead byte (0x81 and up) after all of ASCII.
TEST_F(SnapshotFiles, ListingSortsByUnsignedBytes) {
    const std::vector<std::string> sorted = {
        "save\\20050101000000.txt", "save\\Notes.txt",    "save\\apple.txt",
        "save\\zebra.txt",          "save\\\x82\xa0.txt",  // あ
    };
    for (auto name = sorted.rbegin(); name != sorted.rend(); ++name)
        Put(*name, "[0]\r\ntitle=" + *name + "\r\n");
    EXPECT_EQ(ListSnapshotFiles(), sorted);
    EXPECT_EQ(NewestSnapshotFile(), sorted.back());
}

TEST_F(SnapshotFiles, UnchangedSnapshotsAreNotWrittenAgain) {
    const BrowserWindowList one = {Record("A", "http://a/", 0, 0, 10, 10, 1)};

    // Before the first write, the empty snapshot counts as written.
    EXPECT_FALSE(WriteSnapshotFile({}));
    EXPECT_TRUE(ListSnapshotFiles().empty());

    EXPECT_TRUE(WriteSnapshotFile(one));
    EXPECT_FALSE(WriteSnapshotFile(one));
    EXPECT_EQ(ListSnapshotFiles().size(), 1u);

    // Closing every window afterwards is a change: an empty file is written
    // and becomes the newest snapshot.
    EXPECT_TRUE(WriteSnapshotFile({}));
    EXPECT_EQ(platform::ReadWholeFile(NewestSnapshotFile()), "");
    EXPECT_TRUE(ReadNewestSnapshot().empty());
    EXPECT_TRUE(LastWrittenSnapshot().empty());
}

TEST_F(SnapshotFiles, EveryDifferenceCounts) {
    BrowserWindowList base = {Record("A", "http://a/", 0, 0, 10, 10, 1),
                              Record("B", "http://b/", 5, 5, 10, 10, 1)};
    base.front().tabs = {"http://a/", "http://x/"};
    auto changed = [&base](auto change) {
        BrowserWindowList list = base;
        change(list);
        return list;
    };
    const BrowserWindowList variants[] = {
        changed([](BrowserWindowList& l) { l.front().title = "A2"; }),
        changed([](BrowserWindowList& l) { l.front().option = "http://a/2"; }),
        changed([](BrowserWindowList& l) { l.front().w_x = 1; }),
        changed([](BrowserWindowList& l) { l.back().w_height = 11; }),
        changed([](BrowserWindowList& l) { l.back().style = 3; }),
        changed([](BrowserWindowList& l) { l.reverse(); }),  // stacking order
        changed([](BrowserWindowList& l) { l.pop_back(); }),
        changed([](BrowserWindowList& l) { l.front().tabs.back() = "http://y/"; }),
        changed([](BrowserWindowList& l) { l.front().front_tab = 1; }),
        changed([](BrowserWindowList& l) {
            l.back().tabs = {"http://b/", "http://c/"};
        }),
    };
    for (const BrowserWindowList& variant : variants) {
        ResetLastWrittenSnapshot();
        ASSERT_TRUE(WriteSnapshotFile(base));
        EXPECT_TRUE(WriteSnapshotFile(variant));
        EXPECT_FALSE(WriteSnapshotFile(variant));
    }
    // The window handle and process id are not part of a snapshot.
    ResetLastWrittenSnapshot();
    ASSERT_TRUE(WriteSnapshotFile(base));
    EXPECT_FALSE(WriteSnapshotFile(changed([](BrowserWindowList& l) { l.front().pid = 99; })));
}

TEST(SaveFolder, IsMadeSureOf) {
    {
        TestFolder folder;
        EXPECT_TRUE(EnsureSaveFolder());
        EXPECT_TRUE(platform::IsDirectory("save"));
        EXPECT_TRUE(EnsureSaveFolder()) << "an existing folder is fine";
    }
    {
        TestFolder folder;
        ASSERT_TRUE(platform::ReplaceWholeFile("save", "in the way"));
        EXPECT_FALSE(EnsureSaveFolder());
        EXPECT_EQ(platform::ReadWholeFile("save"), "in the way");
    }
}

}  // namespace
