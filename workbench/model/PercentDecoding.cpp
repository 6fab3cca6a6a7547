#include "model/PercentDecoding.h"

namespace torvex {
namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of the leading hexadecimal digits of two characters; 0 when the first is none.
int escapeValue(char first, char second) {
    const int high = hexDigitValue(first);
    if (high < 0) return 0;
    const int low = hexDigitValue(second);
    return low < 0 ? high : high * 16 + low;
}

} // namespace

std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c != '%') {
            out += c;
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (i + 2 < text.size()) {
            if (int value = escapeValue(text[i + 1], text[i + 2])) out += static_cast<char>(value);
            i += 2;
        } else {
            break; // a truncated escape: it and the character after it are dropped
        }
    }
    return out;
}

} // namespace torvex
