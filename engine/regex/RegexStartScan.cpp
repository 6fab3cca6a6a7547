#include "regex/RegexStartScan.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace torvex::regex {
namespace {

// Collects the first bytes of every path through the program from `pc`. A path that reaches the
// end, or an item whose first byte cannot be known, makes any start possible.
class FirstBytes {
public:
    explicit FirstBytes(const RegexProgram& program)
        : program_(program), visited_(program.code.size(), false) {}

    bool collect(CharSet& bytes) {
        visit(0);
        bytes = bytes_;
        return !any_;
    }

private:
    void visit(int pc) {
        std::vector<int> pending{pc};
        while (!pending.empty() && !any_) {
            int at = pending.back();
            pending.pop_back();
            if (visited_[at]) continue;
            visited_[at]          = true;
            const Instruction& in = program_.code[at];
            switch (in.op) {
            case Op::Char:
            case Op::CharFold:
            case Op::AnyButBreak:
            case Op::AnyChar:
            case Op::Class:
                addItem(in.op, in.x);
                break;
            case Op::String:
            case Op::StringFold:
                addItem(in.op == Op::String ? Op::Char : Op::CharFold,
                        static_cast<unsigned char>(program_.strings[in.x][0]));
                break;
            case Op::RepeatSingle:
                addItem(in.item, in.x);
                if (in.min == 0) pending.push_back(at + 1);
                break;
            case Op::LineEnd:
                bytes_.add('\r');
                bytes_.add('\n');
                pending.push_back(at + 1); // zero-width at the end of the subject
                break;
            case Op::Split:
                pending.push_back(in.y);
                pending.push_back(in.x);
                break;
            case Op::Jump:
                pending.push_back(in.x);
                break;
            case Op::LoopTest:
                if (in.min == 0) pending.push_back(in.y);
                pending.push_back(at + 1);
                break;
            case Op::LoopEnd:
                pending.push_back(program_.code[in.y].y);
                pending.push_back(in.y);
                break;
            case Op::LookStart:
                pending.push_back(in.y);
                break;
            case Op::BackRef:
            case Op::BackRefFold:
            case Op::Match:
            case Op::LookEnd:
                any_ = true;
                break;
            default:
                pending.push_back(at + 1);
                break; // assertions, groups, loop start, cut
            }
        }
    }

    void addItem(Op item, int x) {
        switch (item) {
        case Op::Char:
            bytes_.add(static_cast<unsigned char>(x));
            break;
        case Op::CharFold:
            bytes_.add(static_cast<unsigned char>(x));
            bytes_.add(static_cast<unsigned char>(x - 32));
            break;
        case Op::Class:
            bytes_.addSet(program_.sets[x]);
            break;
        default:
            any_ = true;
            break; // '.' begins almost anywhere: scanning would not pay
        }
    }

    const RegexProgram& program_;
    std::vector<bool> visited_;
    CharSet bytes_;
    bool any_ = false;
};

// The literal that every match starts with, when the program begins with one.
std::string literalPrefix(const RegexProgram& program) {
    size_t pc = 0;
    while (program.code[pc].op == Op::Open) ++pc;
    const Instruction& in = program.code[pc];
    if (in.op == Op::String) return program.strings[in.x];
    return {};
}

int lastOf(const unsigned char* subject, int length, int byte) {
    const void* found = memrchr(subject, byte, length);
    return found ? static_cast<int>(static_cast<const unsigned char*>(found) - subject) : -1;
}

// How common a byte is in web pages and text, higher for more common: the search for a literal
// looks for its least common byte.
int commonness(unsigned char c) {
    static constexpr std::string_view kByFrequency = " etaoin\"=<>/srhldcu-m.pfgwy_b:;v,k0123456789"
                                                     "'&?#xjqzTSAIMCPBRDLHEFNOGWUVKJYXQZ";
    size_t rank                                    = kByFrequency.find(static_cast<char>(c));
    return rank == std::string_view::npos ? 0 : static_cast<int>(kByFrequency.size() - rank);
}

int rarestOffset(const std::string& prefix) {
    int best = 0;
    for (int i = 1; i < static_cast<int>(prefix.size()); ++i)
        if (commonness(prefix[i]) < commonness(prefix[best])) best = i;
    return best;
}

} // namespace

StartScan analyseStart(const RegexProgram& program) {
    StartScan scan;
    scan.anyStart   = !FirstBytes(program).collect(scan.firstBytes);
    scan.prefix     = literalPrefix(program);
    scan.rareOffset = rarestOffset(scan.prefix);
    return scan;
}

StartFinder::StartFinder(const StartScan& scan, const unsigned char* subject, int length)
    : scan_(scan), subject_(subject), length_(length), lastStart_(length) {
    if (scan.required >= 0) {
        lastStart_ = lastOf(subject, length, static_cast<unsigned char>(scan.required));
        if (scan.requiredFold)
            lastStart_ = std::max(lastStart_, lastOf(subject, length, scan.required - 32));
    }
    if (scan.anyStart || !scan.prefix.empty() || scan.firstBytes.count() > 2) return;
    for (unsigned c = 0; c < 256; ++c)
        if (scan.firstBytes.has(static_cast<unsigned char>(c)))
            pair_[pairCount_++] = static_cast<unsigned char>(c);
}

int StartFinder::next(int from) {
    int start = from > lastStart_ ? -1 : nextUnbounded(from);
    return start > lastStart_ ? -1 : start;
}

bool StartFinder::rareByteIsCommon(int at) const {
    return at >= kMissWindow && prefixMisses_ * kDenseMiss > at;
}

// Looks for the prefix's rarest byte with memchr and compares the whole prefix there; when that
// byte turns out to be common in this subject, memmem does better.
int StartFinder::nextPrefix(int from) {
    const std::string& prefix = scan_.prefix;
    const int size            = static_cast<int>(prefix.size());
    const int offset          = scan_.rareOffset;
    for (int at = from + offset; at < length_ && !rareByteIsCommon(at);) {
        const void* found = std::memchr(subject_ + at, prefix[offset], length_ - at);
        if (!found) return -1;
        int start = static_cast<int>(static_cast<const unsigned char*>(found) - subject_) - offset;
        if (start + size <= length_ && std::memcmp(subject_ + start, prefix.data(), size) == 0)
            return start;
        ++prefixMisses_;
        at   = start + offset + 1;
        from = start + 1;
    }
    if (from >= length_) return -1;
    const void* found = memmem(subject_ + from, length_ - from, prefix.data(), prefix.size());
    return found ? static_cast<int>(static_cast<const unsigned char*>(found) - subject_) : -1;
}

int StartFinder::nextUnbounded(int from) {
    if (from > length_) return -1;
    if (scan_.anchored) return from == 0 ? 0 : -1;
    if (scan_.anyStart) return from;
    if (!scan_.prefix.empty()) return nextPrefix(from);
    if (pairCount_ > 0) {
        // memchr for each byte, remembered until the search passes it.
        int best = -1;
        for (int i = 0; i < pairCount_; ++i) {
            if (pairNext_[i] < from && pairNext_[i] != length_) {
                const void* found = std::memchr(subject_ + from, pair_[i], length_ - from);
                pairNext_[i] =
                    found ? static_cast<int>(static_cast<const unsigned char*>(found) - subject_)
                          : length_;
            }
            if (pairNext_[i] < length_ && (best < 0 || pairNext_[i] < best)) best = pairNext_[i];
        }
        return best;
    }
    for (int p = from; p < length_; ++p)
        if (scan_.firstBytes.has(subject_[p])) return p;
    return -1;
}

} // namespace torvex::regex
