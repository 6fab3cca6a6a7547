#include "script/ResponseValues.h"

#include "api/CaseInsensitive.h"
#include "api/TextBuffer.h"
#include "script/RandomGenerator.h"
#include "script/UrlEncoding.h"

#include <array>
#include <cctype>
#include <cstring>

namespace torvex {
namespace {

constexpr std::size_t maxCandidates = 50;
constexpr std::size_t maxValue      = 8191;

// Values found in a response, at most maxCandidates; one is picked at random.
class Candidates {
public:
    bool full() const { return count_ == values_.size(); }
    void add(std::string_view value) { values_[count_++] = value; }
    // The chosen value, cut to maxValue bytes; empty when there was none.
    std::string_view pick(RandomGenerator& random) const {
        if (count_ == 0) return {};
        std::string_view value = values_[random.next(static_cast<int>(count_))];
        return value.substr(0, maxValue);
    }

private:
    std::array<std::string_view, maxCandidates> values_;
    std::size_t count_ = 0;
};

std::size_t endOf(std::string_view text, std::size_t from, const char* stops) {
    return std::min(text.find_first_of(stops, from), text.size());
}

// The last space before a position, for positions that only grow.
class NearestSpace {
public:
    explicit NearestSpace(std::string_view text) : text_(text) {}
    std::size_t before(std::size_t at) {
        if (at > scanned_) {
            const void* found = memrchr(text_.data() + scanned_, ' ', at - scanned_);
            if (found) last_ = static_cast<const char*>(found) - text_.data();
            scanned_ = at;
        }
        return last_;
    }

private:
    std::string_view text_;
    std::size_t scanned_ = 0;
    std::size_t last_    = std::string_view::npos;
};

// The value attribute of the tag around `at`: quoted up to '"' or '>', unquoted up to a space,
// '>' or the end. Empty when the tag has none.
std::string_view valueAttribute(std::string_view response, std::size_t at) {
    std::size_t open  = response.rfind('<', at);
    open              = open == std::string_view::npos ? 0 : open;
    std::size_t close = endOf(response, at, ">");
    std::size_t found = findIgnoringCase(response.substr(open, close - open), " value=");
    if (found == std::string_view::npos) return {};
    std::size_t start = open + found + 7;
    if (start < response.size() && response[start] == '"') {
        ++start;
        return response.substr(start, endOf(response, start, "\">") - start);
    }
    return response.substr(start, endOf(response, start, " >") - start);
}

void appendUtf8(std::string_view& piece, char (&bytes)[4], unsigned long code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    std::size_t n = 0;
    if (code < 0x100) { // single bytes, as the code says
        bytes[n++] = static_cast<char>(code);
    } else if (code < 0x800) {
        bytes[n++] = static_cast<char>(0xC0 | (code >> 6));
        bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes[n++] = static_cast<char>(0xE0 | (code >> 12));
        bytes[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        bytes[n++] = static_cast<char>(0xF0 | (code >> 18));
        bytes[n++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    piece = std::string_view(bytes, n);
}

// Decodes a character reference at text[at] == '&'. On success sets the decoded bytes and the
// length of the reference.
bool decodeReference(std::string_view text, std::size_t at, char (&bytes)[4],
                     std::string_view& piece, std::size_t& length) {
    static constexpr struct {
        std::string_view name;
        char c;
    } named[] = {{"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'}};
    for (const auto& entity : named) {
        if (startsWithIgnoringCase(text.substr(at + 1), entity.name)) {
            bytes[0] = entity.c;
            piece    = std::string_view(bytes, 1);
            length   = 1 + entity.name.size();
            return true;
        }
    }
    if (at + 1 >= text.size() || text[at + 1] != '#') return false;
    std::size_t i = at + 2;
    bool hex      = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    std::size_t digits = i;
    unsigned long code = 0;
    for (; i < text.size() && i - digits < 7; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (hex ? !std::isxdigit(c) : !std::isdigit(c)) break;
        code = code * (hex ? 16 : 10) + (std::isdigit(c) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    if (i == digits) return false;
    if (i < text.size() && text[i] == ';') ++i;
    appendUtf8(piece, bytes, code);
    length = i - at;
    return true;
}

// Hands the decoded text to `sink` piece by piece, without copying the plain runs.
template <typename Sink> void decodeEntities(std::string_view text, Sink sink) {
    std::size_t plainFrom = 0;
    for (std::size_t at = text.find('&'); at != std::string_view::npos;
         at             = text.find('&', at + 1)) {
        char bytes[4];
        std::string_view piece;
        std::size_t length = 0;
        if (!decodeReference(text, at, bytes, piece, length)) continue;
        sink(text.substr(plainFrom, at - plainFrom));
        sink(piece);
        plainFrom = at + length;
        at        = plainFrom - 1;
    }
    sink(text.substr(plainFrom));
}

} // namespace

void appendUrlParamValue(TextBuffer& out, std::string_view response, std::string_view name,
                         RandomGenerator& random) {
    Candidates candidates;
    for (std::size_t at = response.find(name); at != std::string_view::npos && !candidates.full();
         at             = response.find(name, at + 1)) {
        if (at == 0 || (response[at - 1] != '?' && response[at - 1] != '&')) continue;
        // "?identity=" is another parameter than "id".
        std::size_t equals = at + name.size();
        if (equals >= response.size() || response[equals] != '=') continue;
        std::size_t start = equals + 1;
        candidates.add(response.substr(start, endOf(response, start, "&\" >") - start));
    }
    out.append(candidates.pick(random));
}

void appendHiddenValue(TextBuffer& out, std::string_view response, std::string_view name,
                       RandomGenerator& random, bool multipart) {
    Candidates candidates;
    // The nearest space before each occurrence is followed forward, so that a response full of
    // occurrences is still read only once.
    NearestSpace space(response);
    for (std::size_t at = response.find(name); at != std::string_view::npos && !candidates.full();
         at             = response.find(name, at + 1)) {
        std::size_t after = at + name.size();
        if (after >= response.size() ||
            std::string_view(" \">").find(response[after]) == std::string_view::npos)
            continue;
        std::size_t before = space.before(at);
        if (before == std::string_view::npos ||
            !startsWithIgnoringCase(response.substr(before + 1), "name"))
            continue;
        candidates.add(valueAttribute(response, at));
    }
    std::string_view value = candidates.pick(random);
    if (multipart)
        out.append(value);
    else
        decodeEntities(value, [&](std::string_view piece) { appendUrlEncoded(out, piece); });
}

void appendEntityDecoded(TextBuffer& out, std::string_view text) {
    decodeEntities(text, [&](std::string_view piece) { out.append(piece); });
}

} // namespace torvex
