#include "editor/DelayFieldRules.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace torvex {
namespace {

// Leading blanks, an optional sign and digits, nothing after them; large numbers saturate.
std::optional<long long> wholeNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    const std::size_t digitsFrom = at;
    long long value              = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        value = std::min(value * 10 + (text[at] - '0'), 10LL * kMaxDelaySeconds);
    if (at == digitsFrom || at != text.size()) return std::nullopt;
    return negative ? -value : value;
}

} // namespace

int delayOnLeave(std::string_view text, int lastApplied) {
    const std::optional<long long> number = wholeNumber(text);
    if (!number) return lastApplied;
    return static_cast<int>(std::clamp<long long>(*number, 0, kMaxDelaySeconds));
}

DelayCorrection delayOnChange(std::string_view text, int lastApplied) {
    if (text.empty()) return {0, true};
    return {delayOnLeave(text, lastApplied), false};
}

} // namespace torvex
