// The number a numeric box of the settings dialog yields, kept free of
// <windows.h> so that it can be tested and fuzzed anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "storage/profile_document.h"

// The buffer the dialog reads a box's text into: GetWindowTextA copies at
// most 255 bytes of it and a terminator.
inline constexpr std::size_t kDialogTextBuffer = 256;

// ES_NUMBER only filters typing; a paste can still bring signs, spaces or
// more than ten digits, which the atoi rule reads and saturates at 32 bits.
// Only what fits the buffer, up to a zero byte, is read.
inline std::int32_t DialogNumber(std::string_view boxText) {
    std::string_view read = boxText.substr(0, boxText.find('\0'));
    if (read.size() > kDialogTextBuffer - 1)
        read = read.substr(0, kDialogTextBuffer - 1);
    return ParseNumber(read);
}
