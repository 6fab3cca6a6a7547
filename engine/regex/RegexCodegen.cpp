#include "regex/RegexCodegen.h"

#include "regex/RegexStartScan.h"

namespace torvex::regex {
namespace {

class Codegen {
public:
    explicit Codegen(RegexProgram& program)
        : program_(program), nextRegister_(program.pendingStart(program.captureCount + 1)) {}

    void emitNode(const Node& node) {
        switch (node.kind) {
        case Node::Kind::Empty:
            break;
        case Node::Kind::Char:
            emit(node.fold ? Op::CharFold : Op::Char).x = node.ch;
            break;
        case Node::Kind::AnyButBreak:
            emit(Op::AnyButBreak);
            break;
        case Node::Kind::AnyChar:
            emit(Op::AnyChar);
            break;
        case Node::Kind::Class:
            emit(Op::Class).x = addSet(node.set);
            break;
        case Node::Kind::Assert:
            emit(assertionOp(node.assertion));
            break;
        case Node::Kind::BackRef:
            emit(node.fold ? Op::BackRefFold : Op::BackRef).x = node.number;
            break;
        case Node::Kind::Group:
            if (node.number > 0) emit(Op::Open).x = node.number;
            emitNode(*node.children.front());
            if (node.number > 0) emit(Op::Close).x = node.number;
            break;
        case Node::Kind::LookAround: {
            int start         = here();
            Instruction& look = emit(Op::LookStart);
            look.ahead        = node.ahead;
            look.negated      = node.negated;
            look.min          = node.length;
            emitNode(*node.children.front());
            emit(Op::LookEnd).negated = node.negated;
            at(start).y               = here();
            break;
        }
        case Node::Kind::Repeat:
            emitRepeat(node);
            break;
        case Node::Kind::Concat:
            emitConcat(node);
            break;
        case Node::Kind::Alternation:
            emitAlternation(node);
            break;
        case Node::Kind::Cut:
            emit(Op::Cut);
            break;
        }
    }

    void finish() {
        emit(Op::Match);
        program_.registerCount = nextRegister_;
        for (size_t pc = 0; pc < program_.code.size(); ++pc)
            if (program_.code[pc].op == Op::RepeatSingle) setFollow(pc);
    }

private:
    int here() const { return static_cast<int>(program_.code.size()); }
    Instruction& at(int pc) { return program_.code[pc]; }
    Instruction& emit(Op op) {
        program_.code.push_back(Instruction{op});
        return program_.code.back();
    }
    int addSet(const CharSet& set) {
        program_.sets.push_back(set);
        return static_cast<int>(program_.sets.size() - 1);
    }

    static Op assertionOp(Node::Assertion assertion) {
        switch (assertion) {
        case Node::Assertion::SubjectStart:
            return Op::SubjectStart;
        case Node::Assertion::SubjectEnd:
            return Op::SubjectEnd;
        case Node::Assertion::LineStart:
            return Op::LineStart;
        case Node::Assertion::LineEnd:
            return Op::LineEnd;
        case Node::Assertion::WordBoundary:
            return Op::WordBoundary;
        case Node::Assertion::NotWordBoundary:
            return Op::NotWordBoundary;
        }
        return Op::SubjectStart;
    }

    // Runs of single characters become one string comparison.
    void emitConcat(const Node& node) {
        const auto& items = node.children;
        for (size_t i = 0; i < items.size();) {
            size_t end = i;
            bool fold  = false;
            while (end < items.size() && items[end]->kind == Node::Kind::Char)
                fold |= items[end++]->fold;
            if (end - i < 2) {
                emitNode(*items[i++]);
                continue;
            }
            std::string text;
            for (; i < end; ++i) text += static_cast<char>(items[i]->ch);
            program_.strings.push_back(std::move(text));
            emit(fold ? Op::StringFold : Op::String).x =
                static_cast<int>(program_.strings.size() - 1);
        }
    }

    void emitAlternation(const Node& node) {
        std::vector<int> jumps;
        for (size_t i = 0; i < node.children.size(); ++i) {
            int split = -1;
            if (i + 1 < node.children.size()) {
                split             = here();
                emit(Op::Split).x = split + 1;
            }
            emitNode(*node.children[i]);
            if (split >= 0) {
                jumps.push_back(here());
                emit(Op::Jump);
                at(split).y = here();
            }
        }
        for (int jump : jumps) at(jump).x = here();
    }

    void emitRepeat(const Node& node) {
        const Node& inner = unwrapped(*node.children.front());
        const Node& body  = inner.singleByte() ? inner : *node.children.front();
        if (node.max == 0) return;
        if (body.singleByte()) {
            Instruction& repeat = emit(Op::RepeatSingle);
            repeat.min          = node.min;
            repeat.max          = node.max;
            repeat.lazy         = node.lazy;
            switch (body.kind) {
            case Node::Kind::Char:
                repeat.item = body.fold ? Op::CharFold : Op::Char;
                repeat.x    = body.ch;
                break;
            case Node::Kind::Class:
                repeat.item = Op::Class;
                repeat.x    = addSet(body.set);
                break;
            default:
                repeat.item = body.kind == Node::Kind::AnyChar ? Op::AnyChar : Op::AnyButBreak;
                break;
            }
            return;
        }
        if (node.min == 0 && node.max == 1) {
            int split = here();
            emit(Op::Split);
            emitNode(body);
            at(split).x = node.lazy ? here() : split + 1;
            at(split).y = node.lazy ? split + 1 : here();
            return;
        }
        int registers = nextRegister_;
        nextRegister_ += 2;
        emit(Op::LoopInit).x = registers;
        int test             = here();
        Instruction& loop    = emit(Op::LoopTest);
        loop.x               = registers;
        loop.min             = node.min;
        loop.max             = node.max;
        loop.lazy            = node.lazy;
        emitNode(body);
        Instruction& end = emit(Op::LoopEnd);
        end.x            = registers;
        end.y            = test;
        at(test).y       = here();
    }

    // Notes the byte that must follow a repeat, so the matcher can skip lengths that cannot lead
    // to a match. Group boundaries between the two do not consume anything.
    void setFollow(size_t pc) {
        size_t next = pc + 1;
        while (program_.code[next].op == Op::Open || program_.code[next].op == Op::Close) ++next;
        const Instruction& after = program_.code[next];
        Instruction& repeat      = program_.code[pc];
        switch (after.op) {
        case Op::Char:
            repeat.follow = after.x;
            break;
        case Op::CharFold:
            repeat.follow     = after.x;
            repeat.followFold = true;
            break;
        case Op::String:
        case Op::StringFold:
            repeat.follow     = static_cast<unsigned char>(program_.strings[after.x][0]);
            repeat.followFold = after.op == Op::StringFold;
            break;
        default:
            break;
        }
    }

    RegexProgram& program_;
    int nextRegister_;
};

// True when every way of matching begins at the start of the subject.
bool anchoredAtStart(const Node& node) {
    switch (node.kind) {
    case Node::Kind::Assert:
        return node.assertion == Node::Assertion::SubjectStart;
    case Node::Kind::Concat:
    case Node::Kind::Group:
        return anchoredAtStart(*node.children.front());
    case Node::Kind::Repeat:
        return node.min > 0 && anchoredAtStart(*node.children.front());
    case Node::Kind::Alternation:
        for (const auto& child : node.children)
            if (!anchoredAtStart(*child)) return false;
        return true;
    default:
        return false;
    }
}

// A byte that every match consumes, preferring the last one: the search need not start after its
// last occurrence. Returns false when there is none.
bool requiredByte(const Node& node, unsigned char& byte, bool& fold) {
    switch (node.kind) {
    case Node::Kind::Char:
        byte = node.ch;
        fold = node.fold;
        return true;
    case Node::Kind::Group:
        return requiredByte(*node.children.front(), byte, fold);
    case Node::Kind::Repeat:
        return node.min > 0 && requiredByte(*node.children.front(), byte, fold);
    case Node::Kind::Concat:
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            if (requiredByte(**it, byte, fold)) return true;
        return false;
    case Node::Kind::Alternation: {
        unsigned char first = 0;
        bool firstFold      = false;
        for (const auto& child : node.children) {
            if (!requiredByte(*child, byte, fold)) return false;
            if (&child != &node.children.front() && (byte != first || fold != firstFold))
                return false;
            first     = byte;
            firstFold = fold;
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<RegexProgram> generateProgram(const ParsedPattern& parsed) {
    auto program                  = std::make_unique<RegexProgram>();
    program->captureCount         = parsed.captureCount;
    program->highestBackReference = parsed.highestBackReference;
    Codegen codegen(*program);
    codegen.emitNode(*parsed.root);
    codegen.finish();
    program->start          = analyseStart(*program);
    program->start.anchored = anchoredAtStart(*parsed.root);
    unsigned char byte      = 0;
    if (requiredByte(*parsed.root, byte, program->start.requiredFold))
        program->start.required = byte;
    return program;
}

} // namespace torvex::regex
