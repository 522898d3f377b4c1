#include "platform/address_uri.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

// Stands in for the system's IDNA: knows one name, refuses the rest.
std::optional<std::u16string> KnownHost(std::u16string_view host) {
    if (host == u"\uD55C\uAD6D.example")
        return u"xn--3e0b707e.example";
    if (host == u"bad\u00E9.example")
        return u"bad\u00E9";  // not ASCII: no use
    return std::nullopt;
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(AddressAsUri, NonAsciiIsPercentEncodedAndTheHostGoesThroughIdna) {
    struct Case {
        std::u16string address;
        std::string uri;
    };
    const Case cases[] = {
        {u"http://fr.example/caf\u00E9", "http://fr.example/caf%C3%A9"},
        {u"http://\uD55C\uAD6D.example/a", "http://xn--3e0b707e.example/a"},
        {u"http://us\u00E9r@\uD55C\uAD6D.example:80/p?q=\u00E9 x#\u00E9",
         "http://us%C3%A9r@xn--3e0b707e.example:80/p?q=%C3%A9 x#%C3%A9"},
        {u"http://b\u00FCcher.example/", "http://b%C3%BCcher.example/"},
        {u"http://bad\u00E9.example/", "http://bad%C3%A9.example/"},
        {u"about:caf\u00E9", "about:caf%C3%A9"},
        {u"http://a/\U0001F600", "http://a/%F0%9F%98%80"},
        {u"http://a/\xD800x\xDC00", "http://a/%EF%BF%BDx%EF%BF%BD"},
        {u"C:\\Users\\\uD55C\\a b#1%.html", "file:///C:/Users/%ED%95%9C/a%20b%231%25.html"},
        {u"\\\\\uD55C\uAD6D.example\\share\\\u00E9", "file://xn--3e0b707e.example/share/%C3%A9"},
        {u"http://a/" + std::u16string(200, u'\uD55C'),
         "http://a/" + Repeated("%ED%95%9C", 112)},  // 1017 bytes: one more passes 1023
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::AddressAsUri(c.address, KnownHost), c.uri);
}

// The file a local address names, for its short path: escapes of ASCII undone,
// nothing guessed where the path is uncertain.
TEST(AddressAsUri, LocalPathOfADriveAShareOrAFileAddress) {
    struct Case {
        std::u16string address;
        std::optional<std::u16string> path;
    };
    const Case cases[] = {
        {u"C:\\Users\\\uD55C\\a.html", u"C:\\Users\\\uD55C\\a.html"},
        {u"c:/x/\uD55C", u"c:\\x\\\uD55C"},
        {u"\\\\srv\\share\\\uD55C", u"\\\\srv\\share\\\uD55C"},
        {u"file:///C:/Users/\uD55C/a%20b%23%25.html", u"C:\\Users\\\uD55C\\a b#%.html"},
        {u"FILE://srv/share/\uD55C", u"\\\\srv\\share\\\uD55C"},
        {u"file:///C:/a%E3%81%82", std::nullopt},
        {u"file:///C:/\uD55C.html#top", std::nullopt},
        {u"file:///C:/a%2", std::nullopt},
        {u"file:///x/\uD55C", std::nullopt},
        {u"http://a/\uD55C", std::nullopt},
        {u"\\dir\\\uD55C", std::nullopt},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const std::optional<std::u16string> path = platform::LocalPathOf(cases[row].address);
        EXPECT_TRUE(path == cases[row].path) << "row " << row;
    }
}

}  // namespace
