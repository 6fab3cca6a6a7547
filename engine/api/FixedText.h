#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace torvex {

// The length of `text` without an incomplete UTF-8 sequence at its end, for texts that were cut.
inline std::size_t utf8CompleteLength(std::string_view text) {
    std::size_t n = text.size();
    // Look back at most three bytes for the lead byte of the last sequence.
    for (std::size_t back = 1; back <= 4 && back <= n; ++back) {
        auto c = static_cast<unsigned char>(text[n - back]);
        if ((c & 0xC0) == 0x80) continue;
        std::size_t expected = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return expected > back ? n - back : n;
    }
    return n;
}

// The longest prefix of `text` that fits into `limit` bytes without splitting a UTF-8 sequence.
inline std::size_t utf8PrefixLength(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    return utf8CompleteLength(text.substr(0, limit));
}

// A NUL-terminated text field of N bytes that holds at most N - 1 characters. Longer texts are
// cut, never overflowed.
template <std::size_t N> class FixedText {
public:
    static constexpr std::size_t capacity = N;

    FixedText() = default;
    FixedText(std::string_view initial) { set(initial); }

    // Stores `value`, cut to fit; returns false when it had to be cut.
    bool set(std::string_view value) {
        std::size_t n = utf8PrefixLength(value, N - 1);
        std::memmove(text_, value.data(), n);
        text_[n] = '\0';
        return n == value.size();
    }
    void clear() { text_[0] = '\0'; }

    const char* c_str() const { return text_; }
    char* data() { return text_; }
    std::string_view view() const { return text_; }
    bool empty() const { return text_[0] == '\0'; }

private:
    char text_[N] = {};
};

} // namespace torvex
