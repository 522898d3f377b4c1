// An address that the ANSI code page cannot hold, spelled in ASCII instead.
//
// Portable, so that Linux tests reach it; the real backend feeds it what the
// address bar shows and the system's IDNA conversion.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The most bytes of address a capture keeps: what WM_GETTEXT leaves of an
// address in the 1024-byte buffer of the ANSI read.
inline constexpr std::size_t kMaxAddressBytes = 1023;

// IDNA ToASCII of a whole host name, dots included; absent when the name has
// no such form.
using HostToAscii = std::function<std::optional<std::u16string>(std::u16string_view host)>;

// `address` (UTF-16, as the address bar shows it) as the URI that RFC 3987
// section 3.1 maps an IRI to: the host of an authority through `hostToAscii`
// (percent-encoded like the rest when that gives nothing in ASCII), every other
// non-ASCII character percent-encoded as its UTF-8 bytes in upper-case hex. A
// local path, "C:\dir\x" or "\\server\share\x", becomes "file:///C:/dir/x" or
// "file://server/share/x" first, with every character that a URI path cannot
// carry as it is ("%", "#", space, ...) percent-encoded. An unpaired surrogate
// stands for U+FFFD. The result is cut to kMaxAddressBytes, never inside one
// character's escapes or inside the host.
std::string AddressAsUri(std::u16string_view address, const HostToAscii& hostToAscii);

// The file that `address` names on a drive or share: "C:\dir\x" and
// "\\server\share\x" as they are (forward slashes made back ones), and
// "file:///C:/dir/x" or "file://server/share/x" as those paths with the
// escapes of ASCII characters undone. Absent for anything else, and for a
// file: address with a query, a fragment or an escaped non-ASCII byte, whose
// path cannot be told for certain.
std::optional<std::u16string> LocalPathOf(std::u16string_view address);

}  // namespace platform
