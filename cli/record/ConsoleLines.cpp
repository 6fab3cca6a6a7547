#include "ConsoleLines.h"

#include <cstdio>

namespace {

void writeLine(std::FILE* stream, std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

void ConsoleLines::out(std::string_view line) {
    std::lock_guard guard(lock_);
    writeLine(stdout, line);
}

void ConsoleLines::error(std::string_view line) {
    std::lock_guard guard(lock_);
    writeLine(stderr, line);
}
