#include "recorder/PairScanner.h"

namespace torvex {
namespace {

enum class ScanState { betweenPairs, inName, inValue };

bool skippedBetweenPairs(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code <= 32 || code >= 123;
}

} // namespace

std::vector<CCapturedParam> scanPairs(std::string_view data) {
    std::vector<CCapturedParam> pairs;
    ScanState state = ScanState::betweenPairs;
    CCapturedParam pending;
    for (const char c : data) {
        if (state == ScanState::betweenPairs) {
            if (skippedBetweenPairs(c)) continue;
            pending = {};
            state   = ScanState::inName;
        }
        if (c == '&') {
            pairs.push_back(std::move(pending));
            state = ScanState::betweenPairs;
        } else if (state == ScanState::inName && c == '=') {
            state = ScanState::inValue;
        } else {
            (state == ScanState::inName ? pending.name : pending.value) += c;
        }
    }
    if (state != ScanState::betweenPairs) pairs.push_back(std::move(pending));
    return pairs;
}

} // namespace torvex
