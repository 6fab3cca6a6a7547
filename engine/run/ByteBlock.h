#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace torvex {

// A block of bytes that cannot be read as it claims: cut short, or with values that contradict
// each other. The text says what is wrong.
struct BlockError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Appends little-endian numbers and length-prefixed texts to a growing byte string.
class BlockWriter {
public:
    void u8(std::uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
    void u32(std::uint32_t value) { put(value, 4); }
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void u64(std::uint64_t value) { put(value, 8); }
    void i64(std::int64_t value) { u64(static_cast<std::uint64_t>(value)); }
    void f64(double value);
    void text(std::string_view value);
    void raw(std::string_view value) { bytes_.append(value); }
    // Overwrites the 8 bytes at `offset`, written before, with `value`.
    void setU64(std::size_t offset, std::uint64_t value);

    const std::string& bytes() const { return bytes_; }
    std::string take() { return std::move(bytes_); }

private:
    void put(std::uint64_t value, int width);
    std::string bytes_;
};

// Reads what BlockWriter wrote. Every read checks the bytes left first and throws BlockError
// when the block ends too soon, so a damaged block is never read past its end.
class BlockReader {
public:
    BlockReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t u8() { return static_cast<std::uint8_t>(get(1)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(get(4)); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint64_t u64() { return get(8); }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    double f64();
    std::string text();
    std::string_view raw(std::size_t n);

    // A count of items of at least `itemSize` bytes each that the rest of the block can hold;
    // checked before anything is allocated for them.
    std::size_t count(std::size_t itemSize);

    std::size_t left() const { return size_ - at_; }

private:
    std::uint64_t get(int width);
    void need(std::size_t n) const;

    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace torvex
