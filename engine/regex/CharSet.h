#pragma once

#include <array>
#include <cstdint>

namespace torvex::regex {

// A set of byte values. Classification follows the C locale whatever the process locale is, so a
// pattern means the same in every program that loads the engine.
class CharSet {
public:
    constexpr void add(unsigned char c) { bits_[c >> 6] |= std::uint64_t{1} << (c & 63); }
    constexpr bool has(unsigned char c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }
    constexpr void addRange(unsigned char from, unsigned char to) {
        for (unsigned c = from; c <= to; ++c) add(static_cast<unsigned char>(c));
    }
    constexpr void addSet(const CharSet& other) {
        for (int i = 0; i < 4; ++i) bits_[i] |= other.bits_[i];
    }
    constexpr void invert() {
        for (auto& word : bits_) word = ~word;
    }
    constexpr bool full() const {
        return (bits_[0] & bits_[1] & bits_[2] & bits_[3]) == ~std::uint64_t{0};
    }
    constexpr int count() const {
        int n = 0;
        for (auto word : bits_) n += __builtin_popcountll(word);
        return n;
    }
    // Adds the other case of every letter in the set.
    constexpr void addOtherCases() {
        for (unsigned c = 'a'; c <= 'z'; ++c)
            if (has(static_cast<unsigned char>(c)) || has(static_cast<unsigned char>(c - 32))) {
                add(static_cast<unsigned char>(c));
                add(static_cast<unsigned char>(c - 32));
            }
    }

private:
    std::array<std::uint64_t, 4> bits_{};
};

constexpr bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}
constexpr bool isUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}
constexpr bool isLetter(unsigned char c) {
    return isLower(c) || isUpper(c);
}
constexpr bool isWord(unsigned char c) {
    return isLetter(c) || isDigit(c) || c == '_';
}
constexpr bool isSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
constexpr unsigned char foldCase(unsigned char c) {
    return isUpper(c) ? static_cast<unsigned char>(c + 32) : c;
}

// The set of an escape class letter (d s w l u i, upper case for the complement); false when the
// letter names no class.
constexpr bool escapeClass(char letter, CharSet& set) {
    bool (*test)(unsigned char) = nullptr;
    switch (letter | 0x20) {
    case 'd':
        test = isDigit;
        break;
    case 's':
        test = isSpace;
        break;
    case 'w':
        test = isWord;
        break;
    case 'l':
        test = isLower;
        break;
    case 'u':
        test = isUpper;
        break;
    case 'i':
        test = isLetter;
        break;
    default:
        return false;
    }
    set = CharSet{};
    for (unsigned c = 0; c < 256; ++c)
        if (test(static_cast<unsigned char>(c))) set.add(static_cast<unsigned char>(c));
    if (letter >= 'A' && letter <= 'Z') set.invert();
    return true;
}

} // namespace torvex::regex
