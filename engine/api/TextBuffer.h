#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace torvex {

// A growable text buffer: capacity, length and characters. It grows by a quarter of its capacity
// at a time, always keeping at least ten spare bytes after the text. The memory is taken at the
// first use, so a buffer that is never used costs nothing.
class TextBuffer {
public:
    explicit TextBuffer(std::size_t capacity);

    void append(std::string_view bytes);
    // The contents as a NUL-terminated text; valid until the next append.
    const char* text();
    std::string_view view() const { return {chars_.get(), length_}; }

    std::size_t length() const { return length_; }
    std::size_t capacity() const { return capacity_; }
    // Empties the buffer but keeps its memory.
    void clear() { length_ = 0; }
    bool holdsMemory() const { return chars_ != nullptr; }

private:
    std::size_t capacity_;
    std::size_t length_ = 0;
    // One byte more than the capacity, so that text() always has room for the NUL; null until
    // the first use.
    std::unique_ptr<char[]> chars_;
};

} // namespace torvex
