#include "ScriptFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::optional<std::string> readScriptFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}
