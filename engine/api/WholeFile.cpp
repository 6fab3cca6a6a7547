#include "api/WholeFile.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace torvex {

std::optional<std::string> readWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    struct stat info {};
    if (!file || fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;

    std::string contents;
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) contents.append(chunk, n);
    if (std::ferror(file.get())) return std::nullopt;
    return contents;
}

} // namespace torvex
