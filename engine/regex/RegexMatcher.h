#pragma once

#include "regex/BacktrackStack.h"
#include "regex/RegexProgram.h"

#include <vector>

namespace torvex::regex {

// Runs a program against one subject. One matcher serves one search on one thread; the program
// is only read.
class Matcher {
public:
    Matcher(const RegexProgram& program, const unsigned char* subject, int length);

    // Tries the program at one start position, alternatives and repeats in Perl order; on success
    // the captures and matchEnd() describe the first match found there.
    bool attempt(int start);

    int matchEnd() const { return matchEnd_; }
    // Register 2k and 2k + 1 hold the start and end of group k (-1 when it did not take part).
    int captureStart(int group) const { return registers_[2 * group]; }
    int captureEnd(int group) const { return registers_[2 * group + 1]; }

private:
    bool run(int pc, int pos);
    bool itemMatches(const Instruction& in, unsigned char c) const;
    int countItems(const Instruction& in, int pos, int most) const;
    bool followsAt(const Instruction& in, int pos) const;
    int greedyCandidate(const Instruction& in, int end, int shortest) const;
    bool lazyCandidate(const Instruction& in, int& pos, int& count) const;
    bool backReference(const Instruction& in, int& pos) const;
    bool lineEnd(int& pos) const;
    bool wordBefore(int pos) const;
    void set(int reg, int value);
    void leaveLook(bool keepUndo, BacktrackEntry& marker);
    bool unwindCut(BacktrackEntry& marker);

    const RegexProgram& program_;
    const unsigned char* subject_;
    int length_;
    int matchEnd_ = -1;
    std::vector<int> registers_;
    BacktrackStack stack_;
    std::vector<BacktrackEntry> kept_; // undo entries carried over a finished look-around
};

} // namespace torvex::regex
