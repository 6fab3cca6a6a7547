#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvex {

class CookieJar;

// Walks the stored response (status line and headers) line by line up to its first blank line,
// or its second one when the status is 100. Takes the Location value (leading spaces skipped)
// into `location` and every Set-Cookie line into the jar. Returns the offset of the body: the
// first byte after that blank line, or the response's length when there is none.
std::size_t processHeaders(std::string_view response, int status, CookieJar& jar,
                           std::string& location);

} // namespace torvex
