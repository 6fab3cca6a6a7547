#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace torvex::test {

// A fresh folder under /tmp, removed with its contents.
struct TempDir {
    TempDir() {
        char name[] = "/tmp/torvex-test-XXXXXX";
        path        = mkdtemp(name);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&)            = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};

// The whole contents of a file; empty when it cannot be read.
inline std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace torvex::test
