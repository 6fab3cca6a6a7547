#include "http/CookieJar.h"
#include "api/TextBuffer.h"
#include "http/ResponseHeaders.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

using namespace torvex;

namespace {

// The jar as "a=1|b|c=3": a valueless node shows its name only.
std::string render(const CookieJar& jar) {
    std::string text;
    for (const CookieJar::Cookie& c : jar.cookies()) {
        if (!text.empty()) text += '|';
        text += c.name + (c.value ? "=" + *c.value : "");
    }
    return text;
}

// One response's Set-Cookie lines, sharing the most recent cookie name.
void apply(CookieJar& jar, const std::vector<std::string_view>& lines) {
    std::string recentName;
    for (std::string_view line : lines) jar.applySetCookie(line, recentName);
}

} // namespace

TEST(CookieJar, ReadsSetCookieItems) {
    struct Case {
        std::vector<std::string_view> before, lines;
        const char* after;
    } cases[] = {
        {{}, {"a=1; path=/"}, "a=1"},
        {{"a=1", "b=2"}, {"a=; path=/"}, "b=2"},
        {{"a=1"}, {"a=   ; Path=/"}, ""}, // blank removes
        {{}, {"a=  "}, ""},               // blank is never added
        {{}, {"a=\t"}, "a=\t"},           // only spaces are blank
        {{}, {"a=2; max-age=0"}, "a"},
        {{"a=1", "b=2"}, {"a=3"}, "a=3|b=2"},
        {{"a=1"}, {"A=2"}, "a=1|A=2"},
        {{}, {" a=  x y;b=x=y;c=3;"}, "a=  x y|b=x=y|c=3"},
        {{}, {"a=1; max-age=0", "a=5"}, "a=5"},
        {{}, {"a=1; max-age=0", "a="}, ""},
        // Attribute names are matched by prefix, so "pathological" is an attribute too.
        {{},
         {"a=1; Expires=Wed, 09 Jun 2021 GMT; DOMAIN=x; version=1; Discard=1; comment=hi; "
          "pathological=2"},
         "a=1"},
        {{}, {"a=2; Max-Age=0300", "b=2; max-age=10", "c=2; max-age=-0"}, "a=2|b=2|c"},
        {{}, {"a=1; b=2; max-age= 0;c=3"}, "a=1|b|c=3"},
        // max-age follows the most recent name, across lines of one response only.
        {{}, {"a=1", "Max-Age=0"}, "a"},
        {{"a=1"}, {"max-age=0"}, "a=1"},
        {{}, {"a=1", "b=; max-age=0"}, "a=1"},
        {{}, {"a=1; max-age=; b=0"}, "a=1|b=0"}, // the digit must be max-age's own
        {{}, {"secure", "", "   ", "a"}, ""},
        // Flags without a value are items of their own, not part of the next name.
        {{}, {"secure; a=1"}, "a=1"},
        {{}, {"a=1; Secure; b=2"}, "a=1|b=2"},
        {{}, {"a=1; HttpOnly; Secure; max-age=0"}, "a"},
        {{}, {"a=1;;  ; b=2; HttpOnly"}, "a=1|b=2"},
    };
    for (const Case& c : cases) {
        CookieJar jar;
        for (std::string_view line : c.before) apply(jar, {line});
        apply(jar, c.lines);
        EXPECT_EQ(render(jar), c.after) << ::testing::PrintToString(c.lines);
    }

    CookieJar jar;
    std::string huge(100000, 'v');
    apply(jar, {"big=" + huge + "; path=/"});
    EXPECT_EQ(render(jar), "big=" + huge);
}

TEST(CookieJar, WritesCookieHeader) {
    struct Case {
        std::vector<std::string_view> lines;
        const char* header;
    } cases[] = {
        {{}, ""},
        {{"a=1", "b=x; max-age=0", "c=3"}, "Cookie: a=1;c=3\r\n"},
        {{"a=1", "b=x; max-age=0"}, "Cookie: a=1;\r\n"},
        {{"b=x; max-age=0", "a=1"}, "Cookie: a=1\r\n"},
        {{"a=x; max-age=0"}, ""},
        {{"a=1", "b= 2"}, "Cookie: a=1;b= 2\r\n"},
    };
    for (const Case& c : cases) {
        CookieJar jar;
        for (std::string_view line : c.lines) apply(jar, {line});
        TextBuffer out(4);
        out.append("X");
        jar.appendHeader(out);
        EXPECT_EQ(out.view(), std::string("X") + c.header) << render(jar);
    }
}

TEST(ResponseHeaders, FindsLocationCookiesAndBody) {
    struct Case {
        std::string_view response;
        int status;
        const char* location;
        const char* jar;
        std::string_view body;
    } cases[] = {
        {"HTTP/1.1 302 Found\r\nlocation:    /next page\r\nContent-Length: 4\r\n\r\nbody", 302,
         "/next page", "", "body"},
        {"HTTP/1.1 302 Found\nLOCATION:/x\nContent-Location: /y\n\nLocation: /z\n", 302, "/x", "",
         "Location: /z\n"},
        {"HTTP/1.1 302 Found\r\nLocation:   \r\n\r\n", 302, "", "", ""},
        {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nset-cookie: b=2; Max-Age=0\r\n"
         "SET-COOKIE:c=3\r\nSet-Cookie2: d=4\r\n\r\nSet-Cookie: e=5\r\n",
         200, "", "a=1|b|c=3", "Set-Cookie: e=5\r\n"},
        // A kept 100 Continue block: the real headers follow its blank line.
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\nbody", 100, "",
         "a=1", "body"},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\nbody", 200, "", "",
         "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\nbody"},
        // Without a blank line the whole response is headers; a lone CR at the end is no line.
        {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nLocation: /l", 200, "/l", "a=1", ""},
        {"HTTP/1.1 200 OK\r\n\r", 200, "", "", ""},
        {"", 200, "", "", ""},
    };
    for (const Case& c : cases) {
        CookieJar jar;
        std::string location;
        std::size_t body = processHeaders(c.response, c.status, jar, location);
        EXPECT_EQ(c.response.substr(body), c.body) << c.response;
        EXPECT_EQ(location, c.location) << c.response;
        EXPECT_EQ(render(jar), c.jar) << c.response;
    }

    // The most recent cookie name does not reach into the next response.
    CookieJar jar;
    std::string location;
    processHeaders("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n", 200, jar, location);
    processHeaders("HTTP/1.1 200 OK\r\nSet-Cookie: max-age=0\r\n\r\n", 200, jar, location);
    EXPECT_EQ(render(jar), "a=1");
}
