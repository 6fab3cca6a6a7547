#include "regex/RegexMatcher.h"

#include <cstring>

namespace torvex::regex {

using Entry = BacktrackEntry;

Matcher::Matcher(const RegexProgram& program, const unsigned char* subject, int length)
    : program_(program), subject_(subject), length_(length), registers_(program.registerCount, -1) {
}

bool Matcher::attempt(int start) {
    if (run(0, start)) {
        stack_.clear(); // what is left are choices that the first match made unnecessary
        return true;
    }
    return false;
}

bool Matcher::itemMatches(const Instruction& in, unsigned char c) const {
    switch (in.item) {
    case Op::Char:
        return c == in.x;
    case Op::CharFold:
        return foldCase(c) == in.x;
    case Op::Class:
        return program_.sets[in.x].has(c);
    case Op::AnyButBreak:
        return c != '\r' && c != '\n';
    default:
        return true;
    }
}

// How many items match from pos on, at most `most`.
int Matcher::countItems(const Instruction& in, int pos, int most) const {
    const unsigned char *p = subject_ + pos, *end = p + most;
    switch (in.item) {
    case Op::AnyChar:
        return most;
    case Op::Char:
        while (p < end && *p == in.x) ++p;
        break;
    case Op::Class: {
        const CharSet& set = program_.sets[in.x];
        while (p < end && set.has(*p)) ++p;
        break;
    }
    default:
        while (p < end && itemMatches(in, *p)) ++p;
        break;
    }
    return static_cast<int>(p - (subject_ + pos));
}

// Whether what must follow the repeat can start at pos; without a known follower, always.
bool Matcher::followsAt(const Instruction& in, int pos) const {
    if (in.follow < 0) return true;
    if (pos >= length_) return false;
    unsigned char c = subject_[pos];
    return (in.followFold ? foldCase(c) : c) == in.follow;
}

// The longest end not beyond `end` and not below `shortest` after which the rest can start.
int Matcher::greedyCandidate(const Instruction& in, int end, int shortest) const {
    for (; end >= shortest; --end)
        if (followsAt(in, end)) return end;
    return -1;
}

// Extends a lazy repeat item by item until the rest can start; false when it cannot.
bool Matcher::lazyCandidate(const Instruction& in, int& pos, int& count) const {
    while (!followsAt(in, pos)) {
        if ((in.max >= 0 && count >= in.max) || pos >= length_ || !itemMatches(in, subject_[pos]))
            return false;
        ++pos;
        ++count;
    }
    return true;
}

bool Matcher::backReference(const Instruction& in, int& pos) const {
    int group = in.x;
    if (group < 1 || group > program_.captureCount) return false;
    int start = registers_[2 * group], end = registers_[2 * group + 1];
    if (start < 0) return false;
    int size = end - start;
    if (length_ - pos < size) return false;
    const unsigned char *a = subject_ + start, *b = subject_ + pos;
    if (in.op == Op::BackRef) {
        if (std::memcmp(a, b, size) != 0) return false;
    } else {
        for (int i = 0; i < size; ++i)
            if (foldCase(a[i]) != foldCase(b[i])) return false;
    }
    pos += size;
    return true;
}

// '$' in multi-line mode: the end of the subject, or a line break, which it consumes.
bool Matcher::lineEnd(int& pos) const {
    if (pos == length_) return true;
    if (subject_[pos] == '\r') {
        pos += pos + 1 < length_ && subject_[pos + 1] == '\n' ? 2 : 1;
        return true;
    }
    if (subject_[pos] == '\n') {
        ++pos;
        return true;
    }
    return false;
}

bool Matcher::wordBefore(int pos) const {
    return pos > 0 && isWord(subject_[pos - 1]);
}

void Matcher::set(int reg, int value) {
    stack_.push({Entry::Undo, reg, 0, registers_[reg]});
    registers_[reg] = value;
}

// Removes everything a look-around's body left above its marker, and the marker. The undo entries
// of a successful positive look-around stay, so its captures are undone by later backtracking.
void Matcher::leaveLook(bool keepUndo, Entry& marker) {
    kept_.clear();
    for (;;) {
        Entry entry = stack_.pop();
        if (entry.kind == Entry::Look) {
            marker = entry;
            break;
        }
        if (entry.kind != Entry::Undo) continue;
        if (keepUndo)
            kept_.push_back(entry);
        else
            registers_[entry.pc] = entry.aux;
    }
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) stack_.push(*it);
}

// Backtracking into a cut ends the attempt, or only the body of the look-around holding it.
// Returns true with the look-around's marker when there is one.
bool Matcher::unwindCut(Entry& marker) {
    while (!stack_.empty()) {
        Entry entry = stack_.pop();
        if (entry.kind == Entry::Look) {
            marker = entry;
            return true;
        }
        if (entry.kind == Entry::Undo) registers_[entry.pc] = entry.aux;
    }
    return false;
}

bool Matcher::run(int pc, int pos) {
    const Instruction* code = program_.code.data();
    const unsigned char* s  = subject_;
    const int length        = length_;
    for (;;) {
        const Instruction& in = code[pc];
        switch (in.op) {
        case Op::Char:
            if (pos < length && s[pos] == in.x) {
                ++pos, ++pc;
                continue;
            }
            goto fail;
        case Op::CharFold:
            if (pos < length && foldCase(s[pos]) == in.x) {
                ++pos, ++pc;
                continue;
            }
            goto fail;
        case Op::String: {
            const std::string& text = program_.strings[in.x];
            int size                = static_cast<int>(text.size());
            if (length - pos < size || std::memcmp(s + pos, text.data(), size) != 0) goto fail;
            pos += size, ++pc;
            continue;
        }
        case Op::StringFold: {
            const std::string& text = program_.strings[in.x];
            int size                = static_cast<int>(text.size());
            if (length - pos < size) goto fail;
            for (int i = 0; i < size; ++i)
                if (foldCase(s[pos + i]) != static_cast<unsigned char>(text[i])) goto fail;
            pos += size, ++pc;
            continue;
        }
        case Op::AnyButBreak:
            if (pos < length && s[pos] != '\r' && s[pos] != '\n') {
                ++pos, ++pc;
                continue;
            }
            goto fail;
        case Op::AnyChar:
            if (pos < length) {
                ++pos, ++pc;
                continue;
            }
            goto fail;
        case Op::Class:
            if (pos < length && program_.sets[in.x].has(s[pos])) {
                ++pos, ++pc;
                continue;
            }
            goto fail;
        case Op::RepeatSingle: {
            int room = length - pos;
            if (in.lazy) {
                if (in.min > room || countItems(in, pos, in.min) < in.min) goto fail;
                int count = in.min;
                pos += in.min;
                if (!lazyCandidate(in, pos, count)) goto fail;
                if (in.max < 0 || count < in.max) stack_.push({Entry::Lazy, pc, pos, count});
            } else {
                int most     = in.max < 0 || in.max > room ? room : in.max;
                int end      = pos + countItems(in, pos, most);
                int shortest = pos + in.min;
                if (end < shortest) goto fail;
                end = greedyCandidate(in, end, shortest);
                if (end < 0) goto fail;
                if (end > shortest) stack_.push({Entry::Greedy, pc, end, shortest});
                pos = end;
            }
            ++pc;
            continue;
        }
        case Op::SubjectStart:
            if (pos != 0) goto fail;
            ++pc;
            continue;
        case Op::SubjectEnd:
            if (pos != length) goto fail;
            ++pc;
            continue;
        case Op::LineStart:
            if (pos != 0 && s[pos - 1] != '\r' && s[pos - 1] != '\n') goto fail;
            ++pc;
            continue;
        case Op::LineEnd:
            if (!lineEnd(pos)) goto fail;
            ++pc;
            continue;
        case Op::WordBoundary:
        case Op::NotWordBoundary: {
            bool boundary = wordBefore(pos) != (pos < length && isWord(s[pos]));
            if (boundary != (in.op == Op::WordBoundary)) goto fail;
            ++pc;
            continue;
        }
        case Op::Split:
            stack_.push({Entry::Choice, in.y, pos, 0});
            pc = in.x;
            continue;
        case Op::Jump:
            pc = in.x;
            continue;
        case Op::Open:
            set(program_.pendingStart(in.x), pos);
            ++pc;
            continue;
        case Op::Close:
            set(2 * in.x, registers_[program_.pendingStart(in.x)]);
            set(2 * in.x + 1, pos);
            ++pc;
            continue;
        case Op::BackRef:
        case Op::BackRefFold:
            if (!backReference(in, pos)) goto fail;
            ++pc;
            continue;
        case Op::LoopInit:
            set(in.x, 0);
            set(in.x + 1, pos);
            ++pc;
            continue;
        case Op::LoopTest: {
            int count = registers_[in.x];
            if (count < in.min) {
                ++pc;
            } else if (in.max >= 0 && count >= in.max) {
                pc = in.y;
            } else if (in.lazy) {
                stack_.push({Entry::Choice, pc + 1, pos, 0});
                pc = in.y;
            } else {
                stack_.push({Entry::Choice, in.y, pos, 0});
                ++pc;
            }
            continue;
        }
        case Op::LoopEnd: {
            const Instruction& test = code[in.y];
            int count               = registers_[in.x] + 1;
            // An iteration that matched nothing ends the repeat, or it would never end.
            if (pos == registers_[in.x + 1] && count >= test.min) {
                pc = test.y;
                continue;
            }
            set(in.x, count);
            set(in.x + 1, pos);
            pc = in.y;
            continue;
        }
        case Op::LookStart:
            if (!in.ahead && pos < in.min) {
                if (!in.negated) goto fail;
                pc = in.y;
                continue;
            }
            stack_.push({Entry::Look, pc, pos, 0});
            if (!in.ahead) pos -= in.min;
            ++pc;
            continue;
        case Op::LookEnd: {
            // The body matched. A positive look-around goes on where it started, keeping the
            // body's captures; a negative one fails and drops them.
            Entry marker{};
            leaveLook(!in.negated, marker);
            if (in.negated) goto fail;
            pos = marker.pos;
            pc  = code[marker.pc].y;
            continue;
        }
        case Op::Cut:
            stack_.push({Entry::CutMark, pc, pos, 0});
            ++pc;
            continue;
        case Op::Match:
            matchEnd_ = pos;
            return true;
        }

    fail:
        for (;;) {
            if (stack_.empty()) return false;
            Entry entry = stack_.pop();
        again:
            switch (entry.kind) {
            case Entry::Undo:
                registers_[entry.pc] = entry.aux;
                continue;
            case Entry::Choice:
                pc  = entry.pc;
                pos = entry.pos;
                break;
            case Entry::Greedy: {
                const Instruction& repeat = code[entry.pc];
                int end                   = greedyCandidate(repeat, entry.pos - 1, entry.aux);
                if (end < 0) continue;
                if (end > entry.aux) stack_.push({Entry::Greedy, entry.pc, end, entry.aux});
                pc  = entry.pc + 1;
                pos = end;
                break;
            }
            case Entry::Lazy: {
                const Instruction& repeat = code[entry.pc];
                int end = entry.pos, count = entry.aux;
                if (end >= length || !itemMatches(repeat, s[end])) continue;
                ++end, ++count;
                if (!lazyCandidate(repeat, end, count)) continue;
                if (repeat.max < 0 || count < repeat.max)
                    stack_.push({Entry::Lazy, entry.pc, end, count});
                pc  = entry.pc + 1;
                pos = end;
                break;
            }
            case Entry::Look: {
                const Instruction& look = code[entry.pc];
                if (!look.negated) continue; // the body failed, so does the look-around
                pc  = look.y;
                pos = entry.pos;
                break;
            }
            case Entry::CutMark:
                if (!unwindCut(entry)) return false;
                goto again;
            }
            break;
        }
    }
}

} // namespace torvex::regex
