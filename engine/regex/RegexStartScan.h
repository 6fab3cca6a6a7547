#pragma once

#include "regex/RegexProgram.h"

namespace torvex::regex {

// Works out which start positions can begin a match: the bytes a match can begin with, and a
// literal prefix every match shares. Anchoring is decided from the parsed pattern.
StartScan analyseStart(const RegexProgram& program);

// Finds the next start position worth trying, in ascending order.
class StartFinder {
public:
    StartFinder(const StartScan& scan, const unsigned char* subject, int length);

    // The first candidate at or after `from`, or -1 when none is left.
    int next(int from);

private:
    int nextUnbounded(int from);
    int nextPrefix(int from);
    bool rareByteIsCommon(int at) const;

    // memchr gives way to memmem once this much of the subject showed a miss every kDenseMiss
    // bytes.
    static constexpr int kMissWindow = 8192;
    static constexpr int kDenseMiss  = 64;

    const StartScan& scan_;
    const unsigned char* subject_;
    int length_;
    int lastStart_; // no match starts after this: the last place of the required byte
    unsigned char pair_[2] = {0, 0};   // the two bytes when a match begins with one of two
    int pairNext_[2]       = {-1, -1}; // where each was found last
    int pairCount_         = 0;
    int prefixMisses_      = 0; // places where the rare byte stood but the prefix did not
};

} // namespace torvex::regex
