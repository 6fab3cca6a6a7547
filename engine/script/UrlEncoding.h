#pragma once

#include <string>
#include <string_view>

namespace torvex {

class TextBuffer;

// The 65 characters that URL-encoding keeps: '-', '.', digits, letters and '_'.
bool isUrlSafe(unsigned char c);

// Appends `text` with every other byte written as '%' and two upper-case hexadecimal digits.
void appendUrlEncoded(TextBuffer& out, std::string_view text);
std::string urlEncoded(std::string_view text);

} // namespace torvex
