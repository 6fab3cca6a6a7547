#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Saves `bytes` as the file `path` so that a failed write never costs the old contents: they are
// written beside it and renamed over it. A symbolic link keeps pointing at the saved file, an
// existing file keeps its permissions, and what is not a regular file (a pipe, /dev/stdout) is
// written to directly. False when the file could not be written whole.
bool saveFileContents(const std::string& path, std::string_view bytes);

} // namespace torvex
