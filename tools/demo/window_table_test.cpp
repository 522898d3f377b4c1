#include "window_table.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace demo {
namespace {

WindowState Window(const std::string& address, int show, int left, int top, int right, int bottom) {
    return {address, show, left, top, right, bottom};
}

const WindowState kNormal = Window("http://a/", 1, 80, 120, 680, 560);
const WindowState kMaximised = Window("http://b/", 3, -4, -4, 1284, 1028);
const WindowState kMinimised = Window("http://c/", 2, 0, 1000, 160, 1024);

struct PairingCase {
    const char* name;
    std::vector<WindowState> before;
    std::vector<WindowState> after;
    std::vector<bool> rowMatches;  // per row, in output order
    bool allMatch;
};

// Without this GoogleTest prints a case as its raw bytes, padding included,
// which memcheck reports as a read of uninitialised memory.
void PrintTo(const PairingCase& c, std::ostream* out) {
    *out << c.name;
}

class DemoTablePairingTest : public testing::TestWithParam<PairingCase> {};

TEST_P(DemoTablePairingTest, PairsByAddressAndJudgesEachRow) {
    const PairingCase& c = GetParam();
    const auto rows = CompareByAddress(c.before, c.after);
    ASSERT_EQ(rows.size(), c.rowMatches.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].Matches(), c.rowMatches[i]) << "row " << i;
    EXPECT_EQ(AllMatch(rows), c.allMatch);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoTablePairingTest,
    testing::Values(
        PairingCase{"SameWindowsInAnotherOrder",
                    {kNormal, kMaximised, kMinimised},
                    {kMinimised, kNormal, kMaximised},
                    {true, true, true},
                    true},
        PairingCase{"ShowStateDiffers",
                    {kNormal, kMaximised},
                    {kNormal, Window("http://b/", 1, -4, -4, 1284, 1028)},
                    {true, false},
                    false},
        PairingCase{"OneEdgeDiffers",
                    {kNormal},
                    {Window("http://a/", 1, 80, 120, 680, 561)},
                    {false},
                    false},
        PairingCase{"WindowMissingAfter", {kNormal, kMinimised}, {kNormal}, {true, false}, false},
        PairingCase{"ExtraWindowAfter", {kNormal}, {kNormal, kMaximised}, {true, false}, false},
        PairingCase{"AddressChanged",
                    {kNormal},
                    {Window("http://other/", 1, 80, 120, 680, 560)},
                    {false, false},
                    false},
        PairingCase{"NothingAtAll", {}, {}, {}, false}),
    [](const testing::TestParamInfo<PairingCase>& info) { return info.param.name; });

// Two windows on one address pair in the order listed, so a swap of their
// places is caught rather than hidden by pairing each with its twin.
TEST(DemoTablePairingTest, WindowsOnOneAddressPairInOrder) {
    const WindowState first = Window("http://same/", 1, 0, 0, 100, 100);
    const WindowState second = Window("http://same/", 1, 200, 200, 300, 300);
    EXPECT_TRUE(AllMatch(CompareByAddress({first, second}, {first, second})));
    const auto swapped = CompareByAddress({first, second}, {second, first});
    ASSERT_EQ(swapped.size(), 2u);
    EXPECT_FALSE(swapped[0].Matches());
    EXPECT_FALSE(swapped[1].Matches());
}

TEST(DemoTableStateNameTest, NamesTheThreeStatesAndNumbersTheRest) {
    EXPECT_EQ(ShowStateName(1), "normal");
    EXPECT_EQ(ShowStateName(2), "minimised");
    EXPECT_EQ(ShowStateName(3), "maximised");
    EXPECT_EQ(ShowStateName(0), "show 0");
    EXPECT_EQ(ShowStateName(7), "show 7");
}

TEST(DemoTableFormatTest, AlignsColumnsAndMarksMissingSidesAndMismatches) {
    const auto rows = CompareByAddress({kNormal, kMinimised},
                                       {kNormal, Window("http://long-address/", 3, 1, 2, 3, 4)});
    EXPECT_EQ(
        FormatTable(rows),
        "address              | before                        | after                     | match\n"
        "http://a/            | normal (80,120)-(680,560)     | normal (80,120)-(680,560) | yes\n"
        "http://c/            | minimised (0,1000)-(160,1024) | -                         | NO\n"
        "http://long-address/ | -                             | maximised (1,2)-(3,4)     | NO\n");
}

TEST(DemoTableFormatTest, EmptyTableIsTheHeaderAlone) {
    EXPECT_EQ(FormatTable({}), "address | before | after | match\n");
}

}  // namespace
}  // namespace demo
