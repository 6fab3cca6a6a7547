#pragma once

#include <cstddef>
#include <string_view>
#include <strings.h>

namespace torvex {

// Comparisons that ignore the case of ASCII letters, as keywords, $-functions and request options
// are compared.

inline bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

inline std::size_t findIgnoringCase(std::string_view text, std::string_view needle,
                                    std::size_t from = 0) {
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i)
        if (startsWithIgnoringCase(text.substr(i), needle)) return i;
    return std::string_view::npos;
}

} // namespace torvex
