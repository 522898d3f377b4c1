// Starting a browser for a recorded address.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The longest command line Windows accepts, terminating zero included.
inline constexpr std::size_t kMaxCommandLine = 32767;

// "<Program Files>\Internet Explorer\IEXPLORE.EXE", or the usual location
// when the folder is unknown.
std::string BrowserPathIn(const std::optional<std::string>& programFiles);

// "\"<browserPath>\" <option>": the path quoted so that a space in it cannot
// make Windows start another program, the option as it is (the browser still
// receives it split at its spaces). Absent when it exceeds kMaxCommandLine.
std::optional<std::string> BrowserCommandLine(const std::string& browserPath,
                                              const std::string& option);
