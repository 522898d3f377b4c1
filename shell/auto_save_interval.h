// The auto-save timer's period, kept free of <windows.h> so it can be tested
// anywhere.
#pragma once

#include <cstdint>

// AutoSaveTime minutes as milliseconds. A product that is not positive or
// does not fit 32 bits unsigned gives one minute instead: a period of 0 would
// make the system fire every 10 ms and flood the save folder, and a wrapped
// product would be an arbitrary period.
constexpr std::uint32_t AutoSaveIntervalMs(std::int32_t minutes) {
    constexpr std::int64_t kMinute = 60000;
    const std::int64_t product = static_cast<std::int64_t>(minutes) * kMinute;
    if (product <= 0 || product > static_cast<std::int64_t>(UINT32_MAX))
        return kMinute;
    return static_cast<std::uint32_t>(product);
}
