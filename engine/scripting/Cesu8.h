#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Duktape keeps strings in CESU-8: a character past U+FFFF is a UTF-16 surrogate pair, each half
// encoded like a three-byte character. The engine speaks UTF-8, where such a character is one
// four-byte sequence. These convert between the two; other bytes pass unchanged.
std::string cesu8ToUtf8(std::string_view text);
std::string utf8ToCesu8(std::string_view text);

} // namespace torvex
