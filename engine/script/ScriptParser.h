#pragma once

#include <string_view>

namespace torvex {

class CTestSet;

// Reads a test script into the test set: general options, request definitions, the three
// sequences, header lines, includes and inline script text. Returns 1 when the whole text was
// read and 0 at the first error, after its message; what was read before the error stays.
int parseScript(CTestSet& testSet, std::string_view text);

// Whether scripts may read the files they name ([includes] lines, $content=FILE); on unless
// switched off. A checker that parses untrusted scripts switches it off for the whole process, so
// that no script reaches the machine's files; a named file then reads as one that cannot be opened.
void allowScriptFiles(bool allowed);

} // namespace torvex
