#pragma once

#include <cstddef>
#include <string_view>

namespace torvex {

// Splits a script into lines. A line ends at a carriage return, a line feed, or the end of the
// text; a carriage return followed by a line feed ends one line. Control characters at the end of
// a line are dropped, spaces and tabs at its start skipped; lines longer than maxLength bytes are
// cut there.
class LineReader {
public:
    static constexpr std::size_t maxLength = 65535;

    explicit LineReader(std::string_view text) : text_(text) {}

    // The next line, or false at the end of the text. The view points into the script text.
    bool next(std::string_view& line);

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace torvex
