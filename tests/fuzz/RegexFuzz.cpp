// Compiles the input up to its first NUL byte as "/pattern/flags" and matches the rest against it;
// every reported capture must lie inside the subject.

#include "regex/Regex.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes               = reinterpret_cast<const char*>(data);
    const auto* nul                 = static_cast<const char*>(std::memchr(bytes, '\0', size));
    const std::size_t patternLength = nul ? static_cast<std::size_t>(nul - bytes) : size;
    const std::string subject =
        nul ? std::string(nul + 1, size - patternLength - 1) : std::string();

    torvex::CRegex expression;
    if (!expression.compile(std::string_view(bytes, patternLength))) {
        if (expression.compiled() || expression.errorCode() == torvex::kRegexOk) __builtin_trap();
        return 0;
    }
    // The subject ends at its own first NUL, as the engine's callers pass C strings.
    const auto length = static_cast<int>(std::strlen(subject.c_str()));
    for (int capacity : {10, 1}) {
        int pairs[20];
        int count = capacity;
        if (!expression.match(subject.c_str(), pairs, count)) continue;
        if (count < 1 || count > capacity) __builtin_trap();
        for (int i = 0; i < count; ++i) {
            const int start = pairs[2 * i], end = pairs[2 * i + 1];
            if (start == -1 && end == -1 && i > 0) continue;
            if (start < 0 || end < start || end > length) __builtin_trap();
        }
    }
    return 0;
}
