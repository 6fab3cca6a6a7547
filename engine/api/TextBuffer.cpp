#include "api/TextBuffer.h"

#include <algorithm>
#include <cstring>

namespace torvex {

TextBuffer::TextBuffer(std::size_t capacity)
    : capacity_(capacity), chars_(std::make_unique<char[]>(capacity + 1)) {}

void TextBuffer::append(std::string_view bytes) {
    if (bytes.empty()) return;
    std::size_t needed = length_ + bytes.size() + 10;
    if (capacity_ < needed) {
        std::size_t grown = capacity_;
        // A quarter of a tiny capacity is 0; grow by at least one byte so the loop ends.
        while (grown < needed) grown += std::max<std::size_t>(grown / 4, 1);
        auto moved = std::make_unique<char[]>(grown + 1);
        std::memcpy(moved.get(), chars_.get(), length_);
        chars_    = std::move(moved);
        capacity_ = grown;
    }
    std::memcpy(chars_.get() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
}

const char* TextBuffer::text() {
    chars_[length_] = '\0';
    return chars_.get();
}

} // namespace torvex
