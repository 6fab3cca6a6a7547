#pragma once

#include "regex/CharSet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvex::regex {

enum class Op : std::uint8_t {
    Char,        // x: the byte
    CharFold,    // x: a lower-case letter, matched in either case
    String,      // x: index into strings
    StringFold,  // x: index into strings (lower case), compared folded
    AnyButBreak, // any byte but CR and LF
    AnyChar,
    Class,        // x: index into sets
    RepeatSingle, // item, x: the repeated single-byte item; min, max (-1: unbounded), lazy, follow
    SubjectStart,
    SubjectEnd,
    LineStart,
    LineEnd, // consumes the line break it stands at
    WordBoundary,
    NotWordBoundary,
    Split, // try x first, then y
    Jump,  // x
    Open,  // x: group number
    Close, // x: group number
    BackRef,
    BackRefFold,
    LoopInit,  // x: first of the loop's two registers (count, start of the iteration)
    LoopTest,  // x: registers; min, max, lazy; y: the instruction after the loop
    LoopEnd,   // x: registers; y: the loop's LoopTest
    LookStart, // ahead, negated; min: the look-behind length; y: the instruction after LookEnd
    LookEnd,   // negated
    Cut,
    Match,
};

struct Instruction {
    Op op;
    Op item             = Op::Char;
    bool lazy           = false;
    bool negated        = false;
    bool ahead          = true;
    bool followFold     = false;
    std::int32_t x      = 0;
    std::int32_t y      = 0;
    std::int32_t min    = 0;
    std::int32_t max    = 0;
    std::int32_t follow = -1; // the byte that must come right after a repeat, or -1
};

// How the search picks start positions without changing any result.
struct StartScan {
    bool anchored = false;  // only the first position can match
    bool anyStart = true;   // a match may begin with any byte (or be empty)
    CharSet firstBytes;     // otherwise: the bytes a match can begin with
    std::string prefix;     // a literal every match begins with (case-sensitive), if any
    int rareOffset    = 0;  // the prefix's least common byte, searched for first
    int required      = -1; // a byte every match consumes (lower case when folded), or -1
    bool requiredFold = false;
};

struct RegexProgram {
    std::vector<Instruction> code;
    std::vector<CharSet> sets;
    std::vector<std::string> strings;
    int captureCount         = 0;
    int highestBackReference = 0;
    int registerCount        = 0; // capture pairs, then pending group starts, then loop registers
    StartScan start;

    int pendingStart(int group) const { return 2 * (captureCount + 1) + group; }
};

} // namespace torvex::regex
