#include "script/ArgumentReader.h"
#include "script/UrlEncoding.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace torvex;

TEST(ArgumentReader, ReadsQuotedAndPlainArguments) {
    struct Case {
        std::string_view input;
        const char* text;
        char delimiter;
        std::string_view rest;
    } cases[] = {
        {"  abc,rest", "abc", ',', "rest"},
        {"abc)tail", "abc", ')', "tail"},
        {"abc", "abc", '\0', ""},
        {",x", "", ',', "x"},
        // Inside quotes ',' and ')' are text and a backslash takes the next character as it is.
        {"\"a,b\\\"c)\"  ,x", "a,b\"c)", ',', "x"},
        {"\"\",x", "", ',', "x"},
        {"\"\")", "", ')', ""},
        {"a%2cb%2Cc,", "a,b%2Cc", ',', ""},
    };
    for (const Case& c : cases) {
        std::string_view text = c.input;
        Argument argument     = readArgument(text, 255);
        EXPECT_EQ(argument.text, c.text) << c.input;
        EXPECT_EQ(argument.delimiter, c.delimiter) << c.input;
        EXPECT_EQ(text, c.rest) << c.input;
    }

    // Arguments are cut to one byte below the limit, never overflowing the caller's buffer.
    std::string_view shortLimit = "abcdef";
    EXPECT_EQ(readArgument(shortLimit, 4).text, "abc");
    std::string big(300, 'v');
    std::string_view bigText = big;
    EXPECT_EQ(readArgument(bigText, 256).text, std::string(255, 'v'));
}

TEST(ArgumentReader, ReadsListItems) {
    struct Case {
        std::string_view input;
        const char* text;
        bool closed;
        std::string_view rest;
    } cases[] = {
        {"a,b)", "a", false, "b)"},
        {"b)", "b", true, ""},
        {"last", "last", false, ""},
        // A plain item runs to the first ',' even when a ')' comes before it.
        {"x),y", "x)", false, "y"},
        {"f(1),g)", "f(1)", false, "g)"},
        {"\"x,y\" , ,z)", "x,y", false, "z)"},
        {"\"x\" )", "x", true, ""},
        // Only a backslash before a quote is an escape; others stay.
        {"\"say \\\"hi\\\" \\n\",z", "say \"hi\" \\n", false, "z"},
        {"a%2cb,c", "a,b", false, "c"},
        {"a%2Cb)", "a%2Cb", true, ""},
    };
    for (const Case& c : cases) {
        std::string_view text = c.input;
        ListItem item         = readListItem(text);
        EXPECT_EQ(item.text, c.text) << c.input;
        EXPECT_EQ(item.closed, c.closed) << c.input;
        EXPECT_EQ(text, c.rest) << c.input;
    }

    std::string commas = "a%2c%2cb%2C%2";
    decodeCommas(commas);
    EXPECT_EQ(commas, "a,,b%2C%2");
}

TEST(UrlEncoding, KeepsOnlyTheSafeCharacters) {
    int safe = 0;
    for (int c = 0; c < 256; ++c) safe += isUrlSafe(static_cast<unsigned char>(c));
    EXPECT_EQ(safe, 65);
    EXPECT_EQ(urlEncoded("Az09-._ ~+&=/\x7f\x80\xff"), "Az09-._%20%7E%2B%26%3D%2F%7F%80%FF");
    EXPECT_EQ(urlEncoded(std::string("a\0b", 3)), "a%00b");
}
