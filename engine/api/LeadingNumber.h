#pragma once

#include <algorithm>
#include <cctype>
#include <climits>
#include <string_view>

namespace torvex {

// The decimal number at the start of `text` ("12ab" gives 12, "x1" gives 0), held at INT_MAX
// when it is larger.
inline int leadingNumber(std::string_view text) {
    long long n = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        n = std::min<long long>(n * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(n);
}

} // namespace torvex
