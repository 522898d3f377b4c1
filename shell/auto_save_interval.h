// The auto-save timer's period, kept free of <windows.h> so it can be tested
// anywhere.
#pragma once

#include <cstdint>

// The longest period SetTimer takes (USER_TIMER_MAXIMUM, 0x7FFFFFFF ms,
// about 24.8 days): older systems turn a longer one into 1 ms.
inline constexpr std::int64_t kLongestTimerPeriodMs = 0x7FFFFFFF;

// AutoSaveTime minutes as milliseconds. A product that is not positive or
// is longer than the system's longest timer period gives one minute instead:
// a period of 0 would make the system fire every 10 ms and flood the save
// folder, and a period past the ceiling becomes a 1 ms timer on older
// systems, a storm of saves.
constexpr std::uint32_t AutoSaveIntervalMs(std::int32_t minutes) {
    constexpr std::int64_t kMinute = 60000;
    const std::int64_t product = static_cast<std::int64_t>(minutes) * kMinute;
    if (product <= 0 || product > kLongestTimerPeriodMs)
        return kMinute;
    return static_cast<std::uint32_t>(product);
}
