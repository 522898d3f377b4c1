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
    if (host == u"ascii.example")
        return u"xn--not-asked.example";  // an ASCII host must not be sent here
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
        {u"http://a/abcdef" + std::u16string(200, u'\uD55C'),
         "http://a/abcdef" + Repeated("%ED%95%9C", 112)},  // exactly 1023 bytes
        {u"http://a/\U00020BB7", "http://a/%F0%A0%AE%B7"},
        {u"http://a/\u0080\u07FF\u0800", "http://a/%C2%80%DF%BF%E0%A0%80"},
        {u"C:/x/\u00FC", "file:///C:/x/%C3%BC"},
        {u"C:\\9~\\\u00FC", "file:///C:/9~/%C3%BC"},
        {u"\\dir\\\u00FC", "\\dir\\%C3%BC"},
        {u"http://\uD55C\uAD6D.example?q=1", "http://xn--3e0b707e.example?q=1"},
        {u"http://\uD55C\uAD6D.example#top", "http://xn--3e0b707e.example#top"},
        {u"mailto:jos\u00E9@\uD55C\uAD6D.example", "mailto:jos%C3%A9@%ED%95%9C%EA%B5%AD.example"},
        {u"about:\u00FCber", "about:%C3%BCber"},
        {u"git+https://\uD55C\uAD6D.example/", "git+https://xn--3e0b707e.example/"},
        {u"http://a@b@\uD55C\uAD6D.example/", "http://a@b@xn--3e0b707e.example/"},
        {u"http://ascii.example/\u00E9", "http://ascii.example/%C3%A9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::AddressAsUri(c.address, KnownHost), c.uri);
    // Text that ends in a high surrogate whose low half lies just past its end.
    const std::u16string_view cut = u"http://a/x\xD800\xDC00";
    EXPECT_EQ(platform::AddressAsUri(cut.substr(0, cut.size() - 1), KnownHost),
              "http://a/x%EF%BF%BD");
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
