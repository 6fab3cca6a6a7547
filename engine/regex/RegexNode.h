#pragma once

#include "regex/CharSet.h"

#include <memory>
#include <vector>

namespace torvex::regex {

// The parsed form of a pattern, before it becomes a program.
struct Node {
    enum class Kind {
        Empty,
        Char,        // `ch`; with `fold`, either case of a letter
        AnyButBreak, // '.' without s
        AnyChar,     // '.' with s, or a class holding every byte
        Class,       // `set`
        Assert,      // `assertion`
        BackRef,     // `number`, compared folded with `fold`
        Group,       // capturing when `number` > 0
        LookAround,  // `ahead`, `negated`, `length` (look-behind only)
        Repeat,      // `min`, `max` (-1: unbounded), `lazy`
        Concat,
        Alternation,
        Cut,
    };
    enum class Assertion {
        SubjectStart,
        SubjectEnd,
        LineStart,
        LineEnd,
        WordBoundary,
        NotWordBoundary
    };

    Kind kind        = Kind::Empty;
    unsigned char ch = 0;
    bool fold        = false;
    CharSet set;
    Assertion assertion = Assertion::SubjectStart;
    int number          = 0;
    bool ahead          = true;
    bool negated        = false;
    int length          = 0;
    int min             = 0;
    int max             = 0;
    bool lazy           = false;
    std::vector<std::unique_ptr<Node>> children;

    explicit Node(Kind k) : kind(k) {}

    // True for items that match exactly one byte: they repeat without a loop.
    bool singleByte() const {
        return kind == Kind::Char || kind == Kind::AnyButBreak || kind == Kind::AnyChar ||
               kind == Kind::Class;
    }
};

using NodePtr = std::unique_ptr<Node>;

// A non-capturing group is only its contents.
inline const Node& unwrapped(const Node& node) {
    const Node* inner = &node;
    while (inner->kind == Node::Kind::Group && inner->number == 0)
        inner = inner->children.front().get();
    return *inner;
}

} // namespace torvex::regex
