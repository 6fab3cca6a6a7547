#pragma once

#include "regex/RegexNode.h"

#include <string_view>

namespace torvex::regex {

struct Flags {
    bool ignoreCase = false; // i
    bool multiLine  = false; // m
    bool dotAll     = false; // s
    bool extended   = false; // x
};

struct ParsedPattern {
    NodePtr root;
    Flags flags;
    int captureCount         = 0;
    int highestBackReference = 0;
    int error                = 0; // 0 when the text parsed; otherwise a compile error code
    int position             = 0; // where the error was found
};

// Parses "/pattern/flags" into a tree, or reports the first error with its position.
ParsedPattern parsePattern(std::string_view text);

} // namespace torvex::regex
