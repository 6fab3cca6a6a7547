#pragma once

#include <optional>
#include <string>

namespace torvex {

// The whole contents of a regular file, read in binary mode; none when it cannot be opened or is
// not a regular file (a folder, say).
std::optional<std::string> readWholeFile(const std::string& path);

} // namespace torvex
