#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torvex {

// The header fields of one message, in order, names as sent and values trimmed.
class HeaderList {
public:
    // The first value of `name` (compared case-insensitively), or nullptr.
    const std::string* find(std::string_view name) const;
    bool has(std::string_view name) const { return find(name) != nullptr; }
    // Whether any field whose name begins with `prefix` is present.
    bool hasPrefix(std::string_view prefix) const;
    // Whether a comma-separated list in any `name` field holds `token`, case-insensitively.
    bool hasToken(std::string_view name, std::string_view token) const;
    void remove(std::string_view name);
    void add(std::string name, std::string value);
    // "Name: value\r\n" for each field.
    std::string text() const;

    std::vector<std::pair<std::string, std::string>>& fields() { return fields_; }
    const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

struct RequestHead {
    std::string method, target, version; // version: "HTTP/1.0" or "HTTP/1.1"
    HeaderList headers;
};

struct ResponseHead {
    std::string statusLine; // as received, without its line end
    int status  = 0;
    bool http10 = false;
    HeaderList headers;
};

// How a message body is delimited.
struct BodyFraming {
    enum class Kind { None, Length, Chunked, UntilClose };
    Kind kind          = Kind::None;
    std::uint64_t size = 0; // for Length
};

// Both parse a header block up to and including its blank line; false when malformed.
bool parseRequestHead(std::string_view block, RequestHead& head);
bool parseResponseHead(std::string_view block, ResponseHead& head);

// A request's body framing; nothing for conflicting or malformed length fields or a transfer
// coding other than chunked alone.
std::optional<BodyFraming> requestFraming(const HeaderList& headers);
// A response's body framing; responses to HEAD and 1xx, 204 and 304 have no body.
BodyFraming responseFraming(std::string_view requestMethod, const ResponseHead& head);

// The items of a comma-separated field value, trimmed; empty items left out.
std::vector<std::string_view> listItems(std::string_view value);

bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
std::string_view trimmed(std::string_view text);

} // namespace torvex
