#include "recorder/HttpHead.h"

#include <algorithm>
#include <charconv>

namespace torvex {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// Splits a block into lines at LF (a CR before it is dropped); stops at the empty line.
std::vector<std::string_view> linesOf(std::string_view block) {
    std::vector<std::string_view> lines;
    while (!block.empty()) {
        const std::size_t end = block.find('\n');
        std::string_view line = block.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        block.remove_prefix(end + 1);
    }
    return lines;
}

// "Name: value" lines after the start line. A folded continuation line joins the value before
// it with one space; a name with spaces or other stray characters is refused, as a server would.
bool parseFields(const std::vector<std::string_view>& lines, HeaderList& headers) {
    auto& fields = headers.fields();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.front() == ' ' || line.front() == '\t') {
            if (fields.empty()) return false;
            fields.back().second += ' ';
            fields.back().second += trimmed(line);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) return false;
        headers.add(std::string(line.substr(0, colon)),
                    std::string(trimmed(line.substr(colon + 1))));
    }
    return true;
}

bool parseDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Every Content-Length value, lists included, must agree.
std::optional<std::optional<std::uint64_t>> contentLength(const HeaderList& headers) {
    std::optional<std::uint64_t> length;
    for (const auto& [name, value] : headers.fields()) {
        if (!equalsNoCase(name, "Content-Length")) continue;
        std::string_view rest = value;
        while (true) {
            const std::size_t comma = rest.find(',');
            std::uint64_t one       = 0;
            if (!parseDecimal(trimmed(rest.substr(0, comma)), one)) return std::nullopt;
            if (length && *length != one) return std::nullopt;
            length = one;
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return length;
}

// Whether the last transfer coding is "chunked".
bool endsChunked(const std::string& codings) {
    const std::size_t comma = codings.rfind(',');
    const std::string_view last =
        trimmed(std::string_view(codings).substr(comma == std::string::npos ? 0 : comma + 1));
    return equalsNoCase(last, "chunked");
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string_view> listItems(std::string_view value) {
    std::vector<std::string_view> items;
    for (;;) {
        const std::size_t comma     = value.find(',');
        const std::string_view item = trimmed(value.substr(0, comma));
        if (!item.empty()) items.push_back(item);
        if (comma == std::string_view::npos) return items;
        value.remove_prefix(comma + 1);
    }
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

const std::string* HeaderList::find(std::string_view name) const {
    for (const auto& field : fields_)
        if (equalsNoCase(field.first, name)) return &field.second;
    return nullptr;
}

bool HeaderList::hasPrefix(std::string_view prefix) const {
    return std::any_of(fields_.begin(), fields_.end(),
                       [&](const auto& field) { return startsWithNoCase(field.first, prefix); });
}

bool HeaderList::hasToken(std::string_view name, std::string_view token) const {
    for (const auto& [fieldName, value] : fields_) {
        if (!equalsNoCase(fieldName, name)) continue;
        for (const std::string_view item : listItems(value))
            if (equalsNoCase(item, token)) return true;
    }
    return false;
}

void HeaderList::remove(std::string_view name) {
    std::erase_if(fields_, [&](const auto& field) { return equalsNoCase(field.first, name); });
}

void HeaderList::add(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

std::string HeaderList::text() const {
    std::string text;
    for (const auto& [name, value] : fields_) text += name + ": " + value + "\r\n";
    return text;
}

bool parseRequestHead(std::string_view block, RequestHead& head) {
    const std::vector<std::string_view> lines = linesOf(block);
    if (lines.empty()) return false;
    const std::string_view line = lines.front();
    const std::size_t first     = line.find(' ');
    const std::size_t last      = line.rfind(' ');
    if (first == std::string_view::npos || first == last) return false;
    head.method  = line.substr(0, first);
    head.target  = line.substr(first + 1, last - first - 1);
    head.version = line.substr(last + 1);
    if (!isToken(head.method) || head.target.empty() ||
        head.target.find_first_of(" \t") != std::string::npos)
        return false;
    if (head.version != "HTTP/1.1" && head.version != "HTTP/1.0") return false;
    return parseFields(lines, head.headers);
}

bool parseResponseHead(std::string_view block, ResponseHead& head) {
    const std::vector<std::string_view> lines = linesOf(block);
    if (lines.empty()) return false;
    const std::string_view line = lines.front();
    // "HTTP/1.x NNN reason"; the reason may be empty or missing.
    if (line.size() < 12 || !line.starts_with("HTTP/1.") || line[8] != ' ') return false;
    std::uint64_t status = 0;
    if (!parseDecimal(line.substr(9, 3), status) || status < 100 || status > 999) return false;
    if (line.size() > 12 && line[12] != ' ') return false;
    head.statusLine = line;
    head.status     = static_cast<int>(status);
    head.http10     = line.starts_with("HTTP/1.0");
    return parseFields(lines, head.headers);
}

std::optional<BodyFraming> requestFraming(const HeaderList& headers) {
    // Browsers send no transfer coding but chunked; a body in other codings could not be
    // read whole and sent on with a length.
    if (const std::string* codings = headers.find("Transfer-Encoding")) {
        if (!equalsNoCase(*codings, "chunked")) return std::nullopt;
        return BodyFraming{BodyFraming::Kind::Chunked, 0};
    }
    const auto length = contentLength(headers);
    if (!length) return std::nullopt;
    if (!*length || **length == 0) return BodyFraming{};
    return BodyFraming{BodyFraming::Kind::Length, **length};
}

BodyFraming responseFraming(std::string_view requestMethod, const ResponseHead& head) {
    if (requestMethod == "HEAD" || head.status < 200 || head.status == 204 || head.status == 304)
        return BodyFraming{};
    if (const std::string* codings = head.headers.find("Transfer-Encoding")) {
        if (endsChunked(*codings)) return BodyFraming{BodyFraming::Kind::Chunked, 0};
        return BodyFraming{BodyFraming::Kind::UntilClose, 0};
    }
    const auto length = contentLength(head.headers);
    if (!length || !*length) return BodyFraming{BodyFraming::Kind::UntilClose, 0};
    return BodyFraming{BodyFraming::Kind::Length, **length};
}

} // namespace torvex
