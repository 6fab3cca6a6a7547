#include "runner/BatchRangeRules.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace torvex {
namespace {

// Far beyond every bound, so that a long run of digits clamps instead of overflowing.
constexpr long long kSaturation = 1'000'000'000'000LL;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A whole number with an optional sign and surrounding spaces; nullopt for anything else.
std::optional<long long> wholeNumber(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min(value * 10 + (c - '0'), kSaturation);
    }
    return negative ? -value : value;
}

int clampedTo(long long value, int minimum, int maximum) {
    return static_cast<int>(std::clamp<long long>(value, minimum, maximum));
}

bool countsDown(int step) {
    return step < 0;
}

} // namespace

BatchRange batchRangeOf(int from, int to, int step) {
    BatchRange range{from, to, step, {}, {}};
    if (countsDown(step)) {
        range.fromRange = {to, kBatchBoundMax};
        range.toRange   = {kBatchBoundMin, from};
    } else {
        range.fromRange = {kBatchBoundMin, to};
        range.toRange   = {from, kBatchBoundMax};
    }
    return range;
}

BatchRange withStepText(const BatchRange& current, std::string_view text) {
    const std::optional<long long> typed = wholeNumber(text);
    if (!typed) return current;
    const int step = clampedTo(*typed, kBatchStepMin, kBatchStepMax);
    int from       = current.from;
    int to         = current.to;
    if (countsDown(step) != countsDown(current.step)) std::swap(from, to);
    return batchRangeOf(from, to, step);
}

BatchRange withFromText(const BatchRange& current, std::string_view text) {
    const std::optional<long long> typed = wholeNumber(text);
    if (!typed) return current;
    int from = clampedTo(*typed, kBatchBoundMin, kBatchBoundMax);
    if (countsDown(current.step) ? from < current.to : from > current.to) from = current.to;
    return batchRangeOf(from, current.to, current.step);
}

BatchRange withToText(const BatchRange& current, std::string_view text) {
    const std::optional<long long> typed = wholeNumber(text);
    if (!typed) return current;
    int to = clampedTo(*typed, kBatchBoundMin, kBatchBoundMax);
    if (countsDown(current.step) ? to > current.from : to < current.from) to = current.from;
    return batchRangeOf(current.from, to, current.step);
}

} // namespace torvex
