#pragma once

#include <atomic>
#include <memory>
#include <string_view>

namespace torvex {

namespace regex {
struct RegexProgram;
}

// Error codes of a compile (and of a match, for the last two).
enum RegexError : int {
    kRegexOk                    = 0,
    kRegexNothingCompiled       = 1,
    kRegexSyntax                = 2,
    kRegexUnbalanced            = 3,
    kRegexTooDeep               = 4,
    kRegexBadFlag               = 5,
    kRegexBadBackReference      = 6,
    kRegexBadRepeatCount        = 8,
    kRegexNothingToRepeat       = 9,
    kRegexCaptureVectorTooSmall = 10, // set by match; the position is the highest back-reference
    kRegexOutOfMemory           = 11, // set by match: the backtracking stack or count hit its limit
};

// A compiled regular expression in the delimited form /pattern/flags, matched by the engine's
// own backtracking matcher. Compiled once, it may be matched from many threads at once.
class CRegex {
public:
    CRegex();
    ~CRegex();
    CRegex(const CRegex&)            = delete;
    CRegex& operator=(const CRegex&) = delete;

    // Compiles "/pattern/flags". On failure nothing stays compiled and errorCode() and
    // errorPosition() say why and where (an offset in the pattern between the slashes; for a bad
    // flag an offset in the whole text).
    bool compile(std::string_view text);

    bool compiled() const { return program_ != nullptr; }
    int errorCode() const { return errorCode_.load(std::memory_order_relaxed); }
    int errorPosition() const { return errorPosition_.load(std::memory_order_relaxed); }
    int captureCount() const;

    // Searches the NUL-terminated subject for the first match. `pairs` holds `pairCount` pairs of
    // (start, end) offsets; pairCount is lowered to captureCount() + 1 when that is smaller, those
    // pairs are set to -1 and then filled for every group that took part in the match.
    bool match(const char* subject, int* pairs, int& pairCount) const;

private:
    void fail(int code, int position) const;

    std::unique_ptr<const regex::RegexProgram> program_;
    // Atomic because a match that finds the capture vector too small records it while other
    // threads may be matching the same expression.
    mutable std::atomic<int> errorCode_{kRegexNothingCompiled};
    mutable std::atomic<int> errorPosition_{0};
};

} // namespace torvex
