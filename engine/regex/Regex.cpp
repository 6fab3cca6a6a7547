#include "regex/Regex.h"

#include "regex/RegexCodegen.h"
#include "regex/RegexMatcher.h"
#include "regex/RegexStartScan.h"

#include <climits>
#include <cstring>
#include <new>

namespace torvex {

using namespace regex;

CRegex::CRegex()  = default;
CRegex::~CRegex() = default;

void CRegex::fail(int code, int position) const {
    errorCode_.store(code, std::memory_order_relaxed);
    errorPosition_.store(position, std::memory_order_relaxed);
}

bool CRegex::compile(std::string_view text) {
    program_.reset();
    ParsedPattern parsed = parsePattern(text);
    if (parsed.error != kRegexOk) {
        fail(parsed.error, parsed.position);
        return false;
    }
    try {
        program_ = generateProgram(parsed);
    } catch (const std::bad_alloc&) {
        fail(kRegexOutOfMemory, 0);
        return false;
    }
    fail(kRegexOk, 0);
    return true;
}

int CRegex::captureCount() const {
    return program_ ? program_->captureCount : 0;
}

bool CRegex::match(const char* subject, int* pairs, int& pairCount) const {
    if (!pairs || pairCount < 0) pairCount = 0;
    if (program_ && pairCount > program_->captureCount + 1) pairCount = program_->captureCount + 1;
    for (int i = 0; i < 2 * pairCount; ++i) pairs[i] = -1;
    if (!program_ || !subject) return false;
    if (pairCount < program_->highestBackReference) {
        fail(kRegexCaptureVectorTooSmall, program_->highestBackReference);
        return false;
    }
    // Offsets are ints; a subject beyond that is searched up to where offsets still fit.
    int length = static_cast<int>(strnlen(subject, INT_MAX / 2));
    auto text  = reinterpret_cast<const unsigned char*>(subject);
    try {
        Matcher matcher(*program_, text, length);
        StartFinder starts(program_->start, text, length);
        for (int start = starts.next(0); start >= 0; start = starts.next(start + 1)) {
            if (!matcher.attempt(start)) continue;
            if (pairCount > 0) {
                pairs[0] = start;
                pairs[1] = matcher.matchEnd();
            }
            for (int group = 1; group < pairCount; ++group) {
                pairs[2 * group]     = matcher.captureStart(group);
                pairs[2 * group + 1] = matcher.captureEnd(group);
            }
            return true;
        }
    } catch (const BacktrackLimitReached&) {
        fail(kRegexOutOfMemory, 0);
    } catch (const std::bad_alloc&) {
        fail(kRegexOutOfMemory, 0);
    }
    return false;
}

} // namespace torvex
