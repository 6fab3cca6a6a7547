#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvex {

// Writes the archive form of the results file: little-endian numbers and length-prefixed texts
// (below 255 bytes one length byte; else 0xFF and a 16-bit length below 0xFFFE; else 0xFF, 0xFFFF
// and a 32-bit length).
class ArchiveWriter {
public:
    void int32(std::int32_t value);
    void float32(float value);
    void float64(double value);
    void text(std::string_view value);

    const std::string& bytes() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    void unsigned16(std::uint16_t value);
    void unsigned32(std::uint32_t value);

    std::string out_;
};

// Reads the archive form, refusing whatever does not fit into the bytes: a failure leaves a
// message in error() saying what was being read and at which byte. A text whose 16-bit length is
// 0xFFFE is wide text as older writers stored it (a new length in UTF-16 code units, then
// UTF-16LE); it is read into UTF-8.
class ArchiveReader {
public:
    explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}
    // The reader only looks at the bytes; a temporary would be gone before the first read.
    explicit ArchiveReader(std::string&&) = delete;

    bool int32(std::int32_t& value, const char* what);
    bool float32(float& value, const char* what);
    bool float64(double& value, const char* what);
    bool text(std::string& value, const char* what);
    // A count of items that each take at least `smallest` bytes: refused when negative or when
    // the rest of the bytes cannot hold that many, so that nothing absurd is ever allocated.
    bool count(std::int32_t& value, std::size_t smallest, const char* what);
    // Records `problem` at the current byte, or at byte `at`; always false.
    bool fail(const char* problem, const char* what);
    bool failAt(std::size_t at, const char* problem, const char* what);

    std::size_t position() const { return at_; }
    std::size_t remaining() const { return bytes_.size() - at_; }
    const std::string& error() const { return error_; }

private:
    bool take(std::size_t size, std::uint64_t& value, const char* what);
    bool length(std::uint32_t& value, bool& wide, const char* what);

    std::string_view bytes_;
    std::size_t at_ = 0;
    std::string error_;
};

} // namespace torvex
