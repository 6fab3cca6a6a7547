#include "run/ByteBlock.h"

#include <bit>

namespace torvex {

void BlockWriter::f64(double value) {
    u64(std::bit_cast<std::uint64_t>(value));
}

void BlockWriter::text(std::string_view value) {
    if (value.size() > UINT32_MAX) throw BlockError("text too long for a results block");
    u32(static_cast<std::uint32_t>(value.size()));
    bytes_.append(value);
}

void BlockWriter::setU64(std::size_t offset, std::uint64_t value) {
    for (std::size_t i = 0; i < 8; ++i)
        bytes_.at(offset + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void BlockWriter::put(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

double BlockReader::f64() {
    return std::bit_cast<double>(u64());
}

std::string BlockReader::text() {
    std::uint32_t length = u32();
    return std::string(raw(length));
}

std::string_view BlockReader::raw(std::size_t n) {
    need(n);
    std::string_view part(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return part;
}

std::size_t BlockReader::count(std::size_t itemSize) {
    std::uint32_t n = u32();
    if (itemSize > 0 && n > left() / itemSize) throw BlockError("truncated");
    return n;
}

std::uint64_t BlockReader::get(int width) {
    need(static_cast<std::size_t>(width));
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= static_cast<std::uint64_t>(data_[at_ + i]) << (8 * i);
    at_ += static_cast<std::size_t>(width);
    return value;
}

void BlockReader::need(std::size_t n) const {
    if (n > size_ - at_) throw BlockError("truncated");
}

} // namespace torvex
