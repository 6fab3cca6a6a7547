#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Appends `bytes` in the standard Base64 alphabet with '=' padding and no line breaks.
void appendBase64(std::string& out, std::string_view bytes);

} // namespace torvex
