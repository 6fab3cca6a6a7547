#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

class TextBuffer;

// A virtual user's cookies in the order they were first set. Only names and values are kept:
// every cookie goes to every host.
class CookieJar {
public:
    struct Cookie {
        std::string name;
        std::optional<std::string> value; // none: kept in the jar without a value (max-age 0)
    };

    const std::vector<Cookie>& cookies() const { return cookies_; }
    void clear() { cookies_.clear(); }

    // Reads the items of one Set-Cookie header (the text after its first ':'). `recentName` is
    // the last cookie name read from the same response; it carries over between header lines.
    void applySetCookie(std::string_view items, std::string& recentName);

    // Appends "Cookie: a=1;c=3\r\n" for the cookies that have a value, or nothing when none has.
    // A ';' follows every written cookie that is not the jar's last one.
    void appendHeader(TextBuffer& out) const;

private:
    std::vector<Cookie> cookies_;
};

} // namespace torvex
