#pragma once

#include <cstddef>
#include <string_view>

namespace torvex {

// Reads the extra header text of a navigation one line at a time. A line ends at CR LF, a lone
// CR or a lone LF; spaces, tabs, CRs and LFs are trimmed from both ends. A line break at the very
// end yields no extra line, but an empty line between two others is read as an empty line.
class HeaderLines {
public:
    explicit HeaderLines(std::string_view text) : text_(text) {}

    // The next line; false once the whole text was read.
    bool next(std::string_view& line);

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

} // namespace torvex
