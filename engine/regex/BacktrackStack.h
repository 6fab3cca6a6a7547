#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace torvex::regex {

// One saved state of the matcher.
struct BacktrackEntry {
    enum Kind : std::int32_t {
        Choice,  // resume at pc, pos
        Undo,    // restore register pc to value aux
        Greedy,  // a greedy single-byte repeat at pc now ending at pos; aux: its shortest end
        Lazy,    // a lazy single-byte repeat at pc now ending at pos; aux: its count
        Look,    // a look-around at pc, started at pos
        CutMark, // a cut was passed
    };
    Kind kind;
    std::int32_t pc;
    std::int32_t pos;
    std::int32_t aux;
};

struct BacktrackLimitReached {};

// The matcher's stack, on the heap so no pattern or subject can overflow the call stack. It grows
// in blocks (16 entries first, each next block twice as large up to a cap), never moves an entry,
// and keeps its blocks for the next attempt.
class BacktrackStack {
public:
    static constexpr std::size_t kFirstBlock   = 16;
    static constexpr std::size_t kLargestBlock = std::size_t{1} << 16;
    static constexpr std::size_t kLimit        = std::size_t{1} << 24; // 256 MiB of entries
    // Entries one match may take back. Nested alternatives and repeats backtrack exponentially
    // in the subject's length; without a bound a response could hold a user's thread for good.
    static constexpr std::uint64_t kMostPops = 10'000'000;

    BacktrackStack() : top_(first_), end_(first_ + kFirstBlock) {}
    BacktrackStack(const BacktrackStack&)            = delete;
    BacktrackStack& operator=(const BacktrackStack&) = delete;

    bool empty() const { return top_ == first_; }

    void push(const BacktrackEntry& entry) {
        if (top_ == end_) nextBlock();
        *top_++ = entry;
    }
    BacktrackEntry pop() {
        if (++pops_ > kMostPops) throw BacktrackLimitReached{};
        if (top_ == begin_) previousBlock();
        return *--top_;
    }
    void clear() {
        block_ = 0;
        begin_ = top_ = first_;
        end_          = first_ + kFirstBlock;
    }

private:
    struct Block {
        std::unique_ptr<BacktrackEntry[]> entries;
        std::size_t size;
    };

    void nextBlock() {
        if (block_ == blocks_.size()) {
            std::size_t size = blocks_.empty() ? kFirstBlock * 2
                                               : std::min(blocks_.back().size * 2, kLargestBlock);
            if (allocated_ + size > kLimit) throw BacktrackLimitReached{};
            blocks_.push_back({std::make_unique<BacktrackEntry[]>(size), size});
            allocated_ += size;
        }
        Block& block = blocks_[block_++];
        begin_ = top_ = block.entries.get();
        end_          = begin_ + block.size;
    }
    void previousBlock() {
        --block_;
        if (block_ == 0) {
            begin_ = first_;
            end_   = first_ + kFirstBlock;
        } else {
            Block& block = blocks_[block_ - 1];
            begin_       = block.entries.get();
            end_         = begin_ + block.size;
        }
        top_ = end_;
    }

    BacktrackEntry first_[kFirstBlock];
    std::vector<Block> blocks_; // block n + 1 of the stack is blocks_[n]
    std::size_t block_     = 0; // 0: the first, built-in block
    std::size_t allocated_ = kFirstBlock;
    std::uint64_t pops_    = 0; // over the stack's whole life: one match
    BacktrackEntry* begin_ = first_;
    BacktrackEntry* top_;
    BacktrackEntry* end_;
};

} // namespace torvex::regex
