#include "api/TextBuffer.h"

#include <algorithm>
#include <cstring>

namespace torvex {

TextBuffer::TextBuffer(std::size_t capacity) : capacity_(capacity) {}

void TextBuffer::append(std::string_view bytes) {
    if (bytes.empty()) return;
    std::size_t needed = length_ + bytes.size() + 10;
    if (capacity_ < needed || !chars_) {
        std::size_t grown = capacity_;
        // A quarter of a tiny capacity is 0; grow by at least one byte so the loop ends.
        while (grown < needed) grown += std::max<std::size_t>(grown / 4, 1);
        auto moved = std::make_unique<char[]>(grown + 1);
        if (chars_) std::memcpy(moved.get(), chars_.get(), length_);
        chars_    = std::move(moved);
        capacity_ = grown;
    }
    std::memcpy(chars_.get() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
}

const char* TextBuffer::text() {
    if (!chars_) chars_ = std::make_unique<char[]>(capacity_ + 1);
    chars_[length_] = '\0';
    return chars_.get();
}

} // namespace torvex
