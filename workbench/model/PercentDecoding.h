#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Decodes a recorded form or query value: '+' is a space, "%%" one '%', and '%' with two more
// characters the byte their hexadecimal value gives. Reading the value stops at the first
// character that is not a hexadecimal digit ("%4G" is the byte 4), and a value of 0 yields
// nothing ("%00" and "%zz" vanish). A '%' with fewer than two characters after it is dropped
// together with them. Nothing is rejected.
std::string percentDecoded(std::string_view text);

} // namespace torvex
