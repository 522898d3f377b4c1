// What a numeric box of the settings dialog yields for pasted text: the atoi
// rule on the first 255 bytes, which is all the dialog's buffer holds.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "shell/dialog_number.h"

namespace {

TEST(DialogNumber, AtoiOnWhatFitsTheBuffer) {
    const struct {
        const char* what;
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"plain", "300", 300},
        {"pasted sign and spaces", " \t-5", -5},
        {"beyond 32 bits", "99999999999", INT_MAX},
        {"below 32 bits", "-99999999999", INT_MIN},
        {"text after the digits", "12ms", 12},
        {"a zero byte ends the text",
         std::string("12\0"
                     "34",
                     5),
         12},
        {"255 digits are all read", std::string(254, '0') + "7", 7},
        {"the 256th byte is cut off", std::string(255, '0') + "7", 0},
        {"a long paste of nines saturates", std::string(300, '9'), INT_MAX},
        {"empty", "", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialogNumber(c.text), c.value) << c.what;
}

}  // namespace
