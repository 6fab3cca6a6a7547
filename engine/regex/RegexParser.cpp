#include "regex/RegexParser.h"

#include "regex/Regex.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace torvex::regex {
namespace {

constexpr int kMaxDepth = 255;
constexpr int kMaxCount = INT_MAX / 2;

struct ParseError {
    int code;
    int position;
};

NodePtr makeNode(Node::Kind kind) {
    return std::make_unique<Node>(kind);
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
// The byte of \e \f \n \r \t, or -1 for any other letter.
int controlEscape(char c) {
    switch (c) {
    case 'e':
        return 27;
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return -1;
    }
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Recursive descent over the pattern text; recursion depth is bounded by the group limit.
class Parser {
public:
    Parser(std::string_view pattern, Flags flags) : text_(pattern), flags_(flags) {}

    NodePtr parse() {
        NodePtr root = alternation(0, false);
        if (pos_ < text_.size())
            throw ParseError{kRegexUnbalanced, static_cast<int>(pos_)}; // stray ')'
        for (auto [number, at] : backReferences_)
            if (number > captureCount_ + 1) throw ParseError{kRegexBadBackReference, at};
        return root;
    }
    int captureCount() const { return captureCount_; }
    int highestBackReference() const {
        int highest = 0;
        for (auto [number, at] : backReferences_) highest = std::max(highest, number);
        return highest;
    }

private:
    // What the last item of a sequence allows a quantifier to do.
    enum class Last { Nothing, Repeatable, Fixed, Quantified };

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }
    int here() const { return static_cast<int>(pos_); }

    void skipIgnoredSpace() {
        if (!flags_.extended) return;
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\r' || peek() == '\n'))
            ++pos_;
    }

    NodePtr alternation(int depth, bool lookBehind) {
        std::vector<NodePtr> branches;
        branches.push_back(sequence(depth, lookBehind));
        while (!atEnd() && peek() == '|') {
            if (lookBehind) throw ParseError{kRegexSyntax, here()};
            ++pos_;
            branches.push_back(sequence(depth, lookBehind));
        }
        if (branches.size() == 1) return std::move(branches.front());
        if (std::all_of(branches.begin(), branches.end(),
                        [](auto& b) { return unwrapped(*b).singleByte(); }))
            return oneOf(branches);
        auto node      = makeNode(Node::Kind::Alternation);
        node->children = std::move(branches);
        return node;
    }

    // Alternatives that each match one byte and capture nothing leave the same state whichever
    // of them matches, so they can be one class: "(.|\n)*" then repeats without a loop.
    static NodePtr oneOf(const std::vector<NodePtr>& branches) {
        CharSet set;
        for (const auto& item : branches) {
            const Node* branch = &unwrapped(*item);
            switch (branch->kind) {
            case Node::Kind::Char:
                set.add(branch->ch);
                if (branch->fold) set.add(static_cast<unsigned char>(branch->ch - 32));
                break;
            case Node::Kind::Class:
                set.addSet(branch->set);
                break;
            default: // '.'
                for (unsigned c = 0; c < 256; ++c)
                    if (branch->kind == Node::Kind::AnyChar || (c != '\r' && c != '\n'))
                        set.add(static_cast<unsigned char>(c));
                break;
            }
        }
        if (set.full()) return makeNode(Node::Kind::AnyChar);
        auto node = makeNode(Node::Kind::Class);
        node->set = set;
        return node;
    }

    NodePtr sequence(int depth, bool lookBehind) {
        auto seq  = makeNode(Node::Kind::Concat);
        Last last = Last::Nothing;
        for (skipIgnoredSpace(); !atEnd() && peek() != '|' && peek() != ')'; skipIgnoredSpace()) {
            char c = peek();
            if (c == '*' || c == '+' || c == '?' || c == '{') {
                if (lookBehind) throw ParseError{kRegexSyntax, here()};
                if (last != Last::Repeatable) throw ParseError{kRegexNothingToRepeat, here()};
                quantify(seq->children.back());
                last = Last::Quantified;
                continue;
            }
            if (c == '(' && lookBehind) throw ParseError{kRegexSyntax, here()};
            size_t before = seq->children.size();
            Last kind     = item(seq->children, depth, lookBehind);
            // An empty \Q\E adds nothing and leaves the previous item quantifiable.
            if (seq->children.size() != before || kind != Last::Repeatable) last = kind;
        }
        if (seq->children.size() == 1) return std::move(seq->children.front());
        if (seq->children.empty()) return makeNode(Node::Kind::Empty);
        return seq;
    }

    Node& add(std::vector<NodePtr>& items, NodePtr node) {
        if (node->kind == Node::Kind::Char && flags_.ignoreCase && isLetter(node->ch)) {
            node->ch   = foldCase(node->ch);
            node->fold = true;
        }
        items.push_back(std::move(node));
        return *items.back();
    }

    Node& literal(std::vector<NodePtr>& items, unsigned char c) {
        auto node = makeNode(Node::Kind::Char);
        node->ch  = c;
        return add(items, std::move(node));
    }

    Last assertion(std::vector<NodePtr>& items, Node::Assertion which) {
        auto node       = makeNode(Node::Kind::Assert);
        node->assertion = which;
        add(items, std::move(node));
        return Last::Fixed;
    }

    // Reads one item at the current position and appends it.
    Last item(std::vector<NodePtr>& items, int depth, bool lookBehind) {
        char c = peek();
        switch (c) {
        case '(':
            return group(items, depth);
        case '[':
            add(items, characterClass());
            return Last::Repeatable;
        case '\\':
            return escape(items, lookBehind);
        case '.':
            ++pos_;
            add(items, makeNode(flags_.dotAll ? Node::Kind::AnyChar : Node::Kind::AnyButBreak));
            return Last::Repeatable;
        case '^':
            ++pos_;
            return assertion(items, flags_.multiLine ? Node::Assertion::LineStart
                                                     : Node::Assertion::SubjectStart);
        case '$':
            ++pos_;
            return assertion(items, flags_.multiLine ? Node::Assertion::LineEnd
                                                     : Node::Assertion::SubjectEnd);
        default:
            ++pos_;
            literal(items, static_cast<unsigned char>(c));
            return Last::Repeatable;
        }
    }

    Last group(std::vector<NodePtr>& items, int depth) {
        int open = here();
        if (depth + 1 > kMaxDepth) throw ParseError{kRegexTooDeep, open};
        ++pos_;
        skipIgnoredSpace();
        NodePtr node;
        bool lookBehind = false;
        if (!atEnd() && peek() == '?') {
            ++pos_;
            skipIgnoredSpace();
            char form = atEnd() ? '\0' : peek();
            if (form == '<') {
                ++pos_;
                skipIgnoredSpace();
                form = atEnd() ? '\0' : peek();
                if (form != '=' && form != '!') throw ParseError{kRegexSyntax, open};
                lookBehind = true;
            }
            if (form == ':') {
                node = makeNode(Node::Kind::Group);
            } else if (form == '=' || form == '!') {
                node          = makeNode(Node::Kind::LookAround);
                node->ahead   = !lookBehind;
                node->negated = form == '!';
            } else {
                throw ParseError{kRegexSyntax, open};
            }
            ++pos_;
        } else {
            node         = makeNode(Node::Kind::Group);
            node->number = ++captureCount_;
        }
        node->children.push_back(alternation(depth + 1, lookBehind));
        if (atEnd()) throw ParseError{kRegexUnbalanced, open};
        ++pos_; // ')'
        if (lookBehind) node->length = fixedLength(*node->children.front());
        bool repeatable = node->kind == Node::Kind::Group;
        add(items, std::move(node));
        return repeatable ? Last::Repeatable : Last::Fixed;
    }

    // The number of bytes a look-behind body spans; it holds single-byte items and assertions.
    static int fixedLength(const Node& node) {
        if (node.kind == Node::Kind::Concat) {
            int length = 0;
            for (const auto& child : node.children) length += fixedLength(*child);
            return length;
        }
        return node.singleByte() ? 1 : 0;
    }

    Last escape(std::vector<NodePtr>& items, bool lookBehind) {
        int backslash = here();
        ++pos_;
        if (atEnd()) { // cannot happen: the closing slash would have been escaped
            literal(items, '\\');
            return Last::Repeatable;
        }
        char c = peek();
        ++pos_;
        if (c >= '0' && c <= '9') {
            if (lookBehind) throw ParseError{kRegexSyntax, backslash};
            long number = c - '0';
            while (!atEnd() && peek() >= '0' && peek() <= '9') {
                number = std::min<long>(number * 10 + (peek() - '0'), kMaxCount);
                ++pos_;
            }
            auto node    = makeNode(Node::Kind::BackRef);
            node->number = static_cast<int>(number);
            node->fold   = flags_.ignoreCase;
            backReferences_.emplace_back(node->number, backslash);
            add(items, std::move(node));
            return Last::Repeatable;
        }
        CharSet set;
        if (escapeClass(c, set)) {
            auto node = makeNode(Node::Kind::Class);
            node->set = set;
            add(items, std::move(node));
            return Last::Repeatable;
        }
        if (int control = controlEscape(c); control >= 0) {
            literal(items, static_cast<unsigned char>(control));
            return Last::Repeatable;
        }
        switch (c) {
        case 'x': {
            if (atEnd() || !isHexDigit(peek())) throw ParseError{kRegexSyntax, backslash};
            int value = hexValue(peek());
            ++pos_;
            if (!atEnd() && isHexDigit(peek())) value = value * 16 + hexValue(text_[pos_++]);
            literal(items, static_cast<unsigned char>(value));
            return Last::Repeatable;
        }
        case 'p':
            if (atEnd() || peek() != '{') throw ParseError{kRegexSyntax, backslash};
            literal(items, 'p');
            return Last::Repeatable;
        case 'A':
            return assertion(items, Node::Assertion::SubjectStart);
        case 'Z':
            return assertion(items, Node::Assertion::SubjectEnd);
        case 'b':
            return assertion(items, Node::Assertion::WordBoundary);
        case 'B':
            return assertion(items, Node::Assertion::NotWordBoundary);
        case 'O':
            add(items, makeNode(Node::Kind::Cut));
            return Last::Fixed;
        case 'Q': {
            size_t end = text_.find("\\E", pos_);
            if (end == std::string_view::npos) end = text_.size();
            for (; pos_ < end; ++pos_) literal(items, static_cast<unsigned char>(peek()));
            pos_ = std::min(end + 2, text_.size());
            return Last::Repeatable;
        }
        default:
            literal(items, static_cast<unsigned char>(c));
            return Last::Repeatable;
        }
    }

    NodePtr characterClass() {
        int open   = here();
        size_t end = pos_ + 1;
        while (end < text_.size() && text_[end] != ']') end += text_[end] == '\\' ? 2 : 1;
        if (end >= text_.size()) throw ParseError{kRegexUnbalanced, open};
        size_t p     = pos_ + 1;
        bool negated = p < end && text_[p] == '^';
        if (negated) ++p;
        CharSet set;
        // Reads one member at p: a class escape into `set`, else a single byte into `c`.
        auto member = [&](unsigned char& c) {
            c = static_cast<unsigned char>(text_[p++]);
            if (c != '\\') return false;
            char next = text_[p++];
            CharSet escaped;
            if (escapeClass(next, escaped)) {
                set.addSet(escaped);
                return true;
            }
            c = static_cast<unsigned char>(next);
            return false;
        };
        while (p < end) {
            unsigned char from = 0;
            if (member(from)) continue;
            bool range = p + 1 < end && text_[p] == '-';
            CharSet escaped;
            if (!range || (text_[p + 1] == '\\' && escapeClass(text_[p + 2], escaped))) {
                set.add(from); // a '-' before a class escape stands for itself
                continue;
            }
            ++p;
            unsigned char to = 0;
            member(to);
            if (to >= from) set.addRange(from, to); // a backwards range adds nothing
        }
        pos_ = end + 1;
        if (flags_.ignoreCase) set.addOtherCases();
        if (negated) set.invert();
        if (set.full()) return makeNode(Node::Kind::AnyChar);
        auto node = makeNode(Node::Kind::Class);
        node->set = set;
        if (set.count() == 1)
            for (unsigned b = 0; b < 256; ++b)
                if (set.has(static_cast<unsigned char>(b))) {
                    node     = makeNode(Node::Kind::Char);
                    node->ch = static_cast<unsigned char>(b);
                }
        return node;
    }

    // Reads a decimal number; false when there is none.
    bool number(int& value) {
        skipIgnoredSpace();
        if (atEnd() || peek() < '0' || peek() > '9') return false;
        long result = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            result = result * 10 + (peek() - '0');
            if (result > kMaxCount) return false;
            ++pos_;
        }
        value = static_cast<int>(result);
        skipIgnoredSpace();
        return true;
    }

    void quantify(NodePtr& target) {
        int at  = here();
        int min = 0, max = -1;
        char c = text_[pos_++];
        if (c == '+') {
            min = 1;
        } else if (c == '?') {
            max = 1;
        } else if (c == '{') {
            if (text_.find('}', pos_) == std::string_view::npos)
                throw ParseError{kRegexUnbalanced, at};
            if (!number(min)) throw ParseError{kRegexBadRepeatCount, at};
            if (!atEnd() && peek() == ',') {
                ++pos_;
                skipIgnoredSpace();
                if (!atEnd() && peek() != '}' && !number(max))
                    throw ParseError{kRegexBadRepeatCount, at};
            } else {
                max = min;
            }
            if (atEnd() || peek() != '}' || (max >= 0 && max < min))
                throw ParseError{kRegexBadRepeatCount, at};
            ++pos_;
        }
        skipIgnoredSpace();
        bool lazy = !atEnd() && peek() == '?';
        if (lazy) ++pos_;
        if (min == 1 && max == 1) return;
        auto repeat  = makeNode(Node::Kind::Repeat);
        repeat->min  = min;
        repeat->max  = max;
        repeat->lazy = lazy;
        repeat->children.push_back(std::move(target));
        target = std::move(repeat);
    }

    std::string_view text_;
    size_t pos_ = 0;
    Flags flags_;
    int captureCount_ = 0;
    std::vector<std::pair<int, int>> backReferences_; // number, position
};

} // namespace

ParsedPattern parsePattern(std::string_view text) {
    ParsedPattern result;
    if (text.empty() || text[0] != '/') {
        result.error = kRegexSyntax;
        return result;
    }
    // The pattern ends at the first slash that is not escaped.
    size_t close = 1;
    while (close < text.size() && text[close] != '/') close += text[close] == '\\' ? 2 : 1;
    if (close >= text.size()) {
        result.error    = kRegexSyntax;
        result.position = static_cast<int>(text.size() - 1);
        return result;
    }
    for (size_t i = close + 1; i < text.size(); ++i) {
        switch (text[i]) {
        case 'i':
            result.flags.ignoreCase = true;
            break;
        case 'm':
            result.flags.multiLine = true;
            break;
        case 's':
            result.flags.dotAll = true;
            break;
        case 'x':
            result.flags.extended = true;
            break;
        case 'o':
            break; // start-byte optimisation is always on
        default:
            result.error    = kRegexBadFlag;
            result.position = static_cast<int>(i);
            return result;
        }
    }
    Parser parser(text.substr(1, close - 1), result.flags);
    try {
        result.root = parser.parse();
    } catch (const ParseError& error) {
        result.root.reset();
        result.error    = error.code;
        result.position = error.position;
        return result;
    }
    result.captureCount         = parser.captureCount();
    result.highestBackReference = parser.highestBackReference();
    return result;
}

} // namespace torvex::regex
