// How the real backend keeps an address read as wide text.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// `shown` as AddressBarText returns it: the ANSI bytes when they hold it
// exactly, else its ASCII form; at most kMaxAddressBytes.
std::string StoredAddress(std::wstring_view shown);

}  // namespace platform
