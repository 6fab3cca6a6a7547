#pragma once

#include <optional>
#include <string>

// The bytes of the test script file at `path`; none when it cannot be read or is not a regular
// file (a folder, say).
std::optional<std::string> readScriptFile(const std::string& path);
