// The auto-save period for every AutoSaveTime the dialog can let through.
#include <gtest/gtest.h>

#include <climits>

#include "shell/auto_save_interval.h"

namespace {

TEST(AutoSaveInterval, UsableMinutesGiveTheirPeriodAndTheRestOneMinute) {
    struct Case {
        std::int32_t minutes;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {1, 60000u},     {5, 300000u},      {1440, 86400000u}, {35791, 2147460000u},
        {35792, 60000u}, {71582, 60000u},   {71583, 60000u},   {0, 60000u},
        {-1, 60000u},    {INT_MIN, 60000u}, {INT_MAX, 60000u}, {1000000, 60000u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AutoSaveIntervalMs(c.minutes), c.expected) << c.minutes << " minutes";
    }
}

}  // namespace
