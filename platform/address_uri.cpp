#include "platform/address_uri.h"

#include <algorithm>

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
bool IsAsciiLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char32_t c) {
    return c >= '0' && c <= '9';
}

bool IsAllAscii(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

// What a URI path carries as it is: unreserved, sub-delims, ":", "@", "/".
bool IsPathCharacter(char32_t c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) ||
           std::u16string_view(u"-._~!$&'()*+,;=:@/").find(char16_t(c)) !=
               std::u16string_view::npos;
}

// The code point at `at`, which moves past it. Invalid UTF-16 (a surrogate
// without its other half) cannot be spelled in UTF-8: it stands for U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& at) {
    const char32_t c = text[at++];
    if (IsHighSurrogate(c) && at < text.size() && IsLowSurrogate(text[at]))
        return 0x10000 + ((c - 0xD800) << 10) + (text[at++] - 0xDC00);
    return IsHighSurrogate(c) || IsLowSurrogate(c) ? kReplacement : c;
}

std::string PercentEncoded(char32_t c) {
    unsigned char bytes[4];
    int count = 0;
    if (c < 0x80) {
        bytes[count++] = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        bytes[count++] = static_cast<unsigned char>(0xC0 | (c >> 6));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[count++] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        bytes[count++] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (int i = 0; i < count; ++i) {
        escaped += '%';
        escaped += kHex[bytes[i] >> 4];
        escaped += kHex[bytes[i] & 0xF];
    }
    return escaped;
}

// Builds the URI piece by piece and keeps the pieces that fit in
// kMaxAddressBytes: a cut half-way through "%E3%81%82" or through a host
// would name another page, or none.
class UriWriter {
public:
    void Append(const std::string& piece) {
        text_ += piece;
        if (text_.size() <= kMaxAddressBytes)
            fits_ = text_.size();
    }
    std::string Take() {
        text_.resize(fits_);
        return std::move(text_);
    }

private:
    std::string text_;
    std::size_t fits_ = 0;
};

// ASCII stays as it is, unless `inPath` and a URI path cannot carry it.
void AppendEscaped(UriWriter& out, std::u16string_view text, bool inPath) {
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = NextCodePoint(text, at);
        if (c < 0x80 && (!inPath || IsPathCharacter(c))) {
            out.Append(std::string(1, static_cast<char>(c)));
        } else {
            out.Append(PercentEncoded(c));
        }
    }
}

// A host already in ASCII is kept as it is, whatever IDNA would make of it.
void AppendHost(UriWriter& out, std::u16string_view host, const HostToAscii& hostToAscii,
                bool inPath) {
    if (!IsAllAscii(host) && hostToAscii) {
        const std::optional<std::u16string> ascii = hostToAscii(host);
        if (ascii && !ascii->empty() && IsAllAscii(*ascii)) {
            out.Append(std::string(ascii->begin(), ascii->end()));
            return;
        }
    }
    AppendEscaped(out, host, inPath);
}

// The length of "scheme:" when `text` starts with a scheme, else 0.
std::size_t SchemeLength(std::u16string_view text) {
    if (text.empty() || !IsAsciiLetter(text[0]))
        return 0;
    for (std::size_t at = 1; at < text.size(); ++at) {
        const char16_t c = text[at];
        if (c == ':')
            return at + 1;
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

bool IsDrivePath(std::u16string_view path) {
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

int HexValue(char16_t c) {
    if (IsAsciiDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "C:\dir\x" -> "file:///C:/dir/x" and "\\server\share\x" ->
// "file://server/share/x", the forms a browser itself shows for such paths;
// empty when `address` is no local path.
std::u16string FileUriOf(std::u16string_view address) {
    const bool drive = IsDrivePath(address);
    const bool share = address.size() >= 3 && address.substr(0, 2) == u"\\\\";
    if (!drive && !share)
        return std::u16string();
    std::u16string uri = drive ? u"file:///" : u"file:";
    for (char16_t c : address)
        uri += c == '\\' ? u'/' : c;
    return uri;
}

}  // namespace

std::string AddressAsUri(std::u16string_view address, const HostToAscii& hostToAscii) {
    const std::u16string fileUri = FileUriOf(address);
    const bool inPath = !fileUri.empty();
    if (inPath)
        address = fileUri;

    UriWriter out;
    std::size_t at = 0;
    if (const std::size_t scheme = SchemeLength(address);
        scheme > 0 && address.substr(scheme, 2) == u"//") {
        at = scheme + 2;
        out.Append(std::string(address.begin(), address.begin() + at));
        std::size_t end = address.find_first_of(u"/?#", at);
        if (end == std::u16string_view::npos)
            end = address.size();
        const std::u16string_view authority = address.substr(at, end - at);
        const std::size_t userEnd = authority.rfind(u'@');
        const std::size_t hostAt = userEnd == std::u16string_view::npos ? 0 : userEnd + 1;
        AppendEscaped(out, authority.substr(0, hostAt), inPath);
        const std::u16string_view hostAndPort = authority.substr(hostAt);
        // An IP literal ("[...]") is no name for IDNA: it goes as it is.
        const std::size_t hostEnd =
            !hostAndPort.empty() && hostAndPort[0] == '[' ? 0 : hostAndPort.find(u':');
        AppendHost(out, hostAndPort.substr(0, hostEnd), hostToAscii, inPath);
        if (hostEnd != std::u16string_view::npos)
            AppendEscaped(out, hostAndPort.substr(hostEnd), inPath);
        at = end;
    }
    AppendEscaped(out, address.substr(at), inPath);
    return out.Take();
}

std::optional<std::u16string> LocalPathOf(std::u16string_view address) {
    std::u16string path;
    if (IsDrivePath(address) || address.substr(0, 2) == u"\\\\") {
        path = address;
    } else {
        constexpr std::u16string_view kLocal = u"file:///";
        constexpr std::u16string_view kShare = u"file://";
        if (address.size() < kShare.size() ||
            !std::equal(kShare.begin(), kShare.end(), address.begin(), [](char16_t a, char16_t b) {
                return a == (b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
            })) {
            return std::nullopt;
        }
        const bool local = address.substr(kShare.size(), 1) == u"/";
        const std::u16string_view rest = address.substr(local ? kLocal.size() : kShare.size());
        if (local ? !IsDrivePath(rest) : rest.empty())
            return std::nullopt;
        if (!local)
            path = u"\\\\";
        for (std::size_t at = 0; at < rest.size(); ++at) {
            const char16_t c = rest[at];
            if (c == '?' || c == '#')
                return std::nullopt;
            if (c != '%') {
                path += c;
                continue;
            }
            const int high = at + 2 < rest.size() ? HexValue(rest[at + 1]) : -1;
            const int low = high >= 0 ? HexValue(rest[at + 2]) : -1;
            // An escaped byte past ASCII is of an unknown code page.
            if (low < 0 || high >= 8)
                return std::nullopt;
            path += char16_t(high * 16 + low);
            at += 2;
        }
    }
    for (char16_t& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

}  // namespace platform
