#include "protocol/Printable.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel::protocol {
namespace {

using namespace std::string_literals;

TEST(Printable, ControlCharactersAndBytesThatAreNotUtf8AreEscaped) {
    const struct {
        const char* name;
        std::string text;
        std::string printed;
    } cases[] = {
        {"plain", "T23110042", "T23110042"},
        {"empty", "", ""},
        {"ESC sequence", "T2\x1b[2J\x1b]0;owned\x07", "T2\\x1b[2J\\x1b]0;owned\\x07"},
        {"NUL and DEL", "A\0B\x7f"s, "A\\x00B\\x7f"},
        {"line breaks and tab", "a\r\nb\tc", "a\\x0d\\x0ab\\x09c"},
        {"C1 CSI in UTF-8",
         "a\xc2\x9b"
         "31mb",
         "a\\u009b31mb"},
        {"C1 first and last", "\xc2\x80\xc2\x9f", "\\u0080\\u009f"},
        {"NBSP and Latin-1 letters stay", "\xc2\xa0\xc3\xa9", "\xc2\xa0\xc3\xa9"},
        {"three and four bytes stay", "\xe2\x82\xac \xf0\x9f\x98\x80",
         "\xe2\x82\xac \xf0\x9f\x98\x80"},
        {"Latin-1 byte", "caf\xe9!", "caf\\xe9!"},
        {"a single C1 byte",
         "a\x9b"
         "b",
         "a\\x9bb"},
        {"lone continuation", "\x80", "\\x80"},
        {"overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
        {"overlong three bytes", "\xe0\x80\xaf", "\\xe0\\x80\\xaf"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"cut short at the end", "ok\xe2\x82", "ok\\xe2\\x82"},
        {"cut short by ASCII", "\xe2\x82x", "\\xe2\\x82x"},
        {"backslash stays", "C:\\x\\logs", "C:\\x\\logs"},
        {"UTF-16 LE", "\xff\xfe{\0"s, "\\xff\\xfe{\\x00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrintableText(c.text), c.printed) << c.name;
        EXPECT_EQ(PrintableText(PrintableText(c.text)), c.printed) << c.name << ": twice";
    }
}

TEST(Printable, Utf8LengthIsThatOfAWellFormedCharacterOnly) {
    EXPECT_EQ(Utf8LengthAt("a", 0), 1u);
    EXPECT_EQ(Utf8LengthAt("\xc3\xa9", 0), 2u);
    EXPECT_EQ(Utf8LengthAt("\xc3\xa9", 1), 0u);
    EXPECT_EQ(Utf8LengthAt("\xef\xbb\xbf", 0), 3u);
    EXPECT_EQ(Utf8LengthAt("\xf4\x8f\xbf\xbf", 0), 4u);
    EXPECT_EQ(Utf8LengthAt("\xf5\x80\x80\x80", 0), 0u);
    EXPECT_EQ(Utf8LengthAt("\xc1\xbf", 0), 0u);
    EXPECT_EQ(Utf8LengthAt("\xe0\x9f\xbf", 0), 0u);
    EXPECT_EQ(Utf8LengthAt("\xf0\x8f\xbf\xbf", 0), 0u);
}

} // namespace
} // namespace korvel::protocol
