#pragma once

#include "regex/RegexParser.h"
#include "regex/RegexProgram.h"

#include <memory>

namespace torvex::regex {

// Turns a parsed pattern into a program for the backtracking matcher.
std::unique_ptr<RegexProgram> generateProgram(const ParsedPattern& parsed);

} // namespace torvex::regex
