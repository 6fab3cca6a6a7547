#include "scripting/Cesu8.h"

#include <cstdint>

namespace torvex {
namespace {

// The code unit of a three-byte sequence ED A0..BF xx at `at`: a surrogate half.
bool surrogateAt(std::string_view text, std::size_t at, std::uint32_t low, std::uint32_t high,
                 std::uint32_t& unit) {
    if (at + 3 > text.size() || static_cast<unsigned char>(text[at]) != 0xED) return false;
    auto b1 = static_cast<unsigned char>(text[at + 1]);
    auto b2 = static_cast<unsigned char>(text[at + 2]);
    if ((b2 & 0xC0) != 0x80) return false;
    unit = 0xD000u | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
    return unit >= low && unit <= high;
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    }
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

} // namespace

std::string cesu8ToUtf8(std::string_view text) {
    if (text.find('\xED') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t high, low;
        if (surrogateAt(text, i, 0xD800, 0xDBFF, high) &&
            surrogateAt(text, i + 3, 0xDC00, 0xDFFF, low)) {
            appendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
            i += 6;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string utf8ToCesu8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        bool four = lead >= 0xF0 && lead <= 0xF4 && i + 4 <= text.size() &&
                    (text[i + 1] & 0xC0) == 0x80 && (text[i + 2] & 0xC0) == 0x80 &&
                    (text[i + 3] & 0xC0) == 0x80;
        std::uint32_t c = four ? ((lead & 0x07u) << 18) |
                                     ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 12) |
                                     ((static_cast<unsigned char>(text[i + 2]) & 0x3Fu) << 6) |
                                     (static_cast<unsigned char>(text[i + 3]) & 0x3Fu)
                               : 0;
        if (c < 0x10000 || c > 0x10FFFF) {
            out += text[i++];
            continue;
        }
        c -= 0x10000;
        appendUtf8(out, 0xD800 + (c >> 10));
        appendUtf8(out, 0xDC00 + (c & 0x3FF));
        i += 4;
    }
    return out;
}

} // namespace torvex
