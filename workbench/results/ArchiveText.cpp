#include "results/ArchiveText.h"

#include <bit>
#include <cstdio>

namespace torvex {
namespace {

constexpr std::uint8_t kLongerLength   = 0xFF;
constexpr std::uint16_t kWideMarker    = 0xFFFE;
constexpr std::uint16_t kThirtyTwoBits = 0xFFFF;
constexpr char32_t kReplacement        = 0xFFFD;
constexpr std::uint16_t kHighSurrogate = 0xD800;
constexpr std::uint16_t kLowSurrogate  = 0xDC00;
constexpr std::uint16_t kSurrogatesEnd = 0xE000;

void appendUtf8(std::string& out, char32_t c) {
    auto byte = [&out](std::uint32_t b) { out += static_cast<char>(b); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | (c >> 6));
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | (c >> 12));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | (c >> 18));
        byte(0x80 | ((c >> 12) & 0x3F));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

// UTF-16LE code units to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&bytes](std::size_t i) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    };
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint16_t u = unit(i);
        if (u < kHighSurrogate || u >= kSurrogatesEnd) {
            appendUtf8(out, u);
        } else if (u < kLowSurrogate && i + 1 < units && unit(i + 1) >= kLowSurrogate &&
                   unit(i + 1) < kSurrogatesEnd) {
            appendUtf8(out, 0x10000 + ((char32_t{u} - kHighSurrogate) << 10) +
                                (unit(i + 1) - kLowSurrogate));
            ++i;
        } else {
            appendUtf8(out, kReplacement);
        }
    }
    return out;
}

} // namespace

void ArchiveWriter::unsigned16(std::uint16_t value) {
    out_ += static_cast<char>(value & 0xFF);
    out_ += static_cast<char>(value >> 8);
}

void ArchiveWriter::unsigned32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out_ += static_cast<char>((value >> shift) & 0xFF);
}

void ArchiveWriter::int32(std::int32_t value) {
    unsigned32(static_cast<std::uint32_t>(value));
}

void ArchiveWriter::float32(float value) {
    unsigned32(std::bit_cast<std::uint32_t>(value));
}

void ArchiveWriter::float64(double value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    unsigned32(static_cast<std::uint32_t>(bits));
    unsigned32(static_cast<std::uint32_t>(bits >> 32));
}

// Texts of 4 GiB and more do not occur in a results record; the 32-bit length covers the rest.
void ArchiveWriter::text(std::string_view value) {
    if (value.size() < kLongerLength) {
        out_ += static_cast<char>(value.size());
    } else if (value.size() < kWideMarker) {
        out_ += static_cast<char>(kLongerLength);
        unsigned16(static_cast<std::uint16_t>(value.size()));
    } else {
        out_ += static_cast<char>(kLongerLength);
        unsigned16(kThirtyTwoBits);
        unsigned32(static_cast<std::uint32_t>(value.size()));
    }
    out_ += value;
}

bool ArchiveReader::fail(const char* problem, const char* what) {
    return failAt(at_, problem, what);
}

bool ArchiveReader::failAt(std::size_t at, const char* problem, const char* what) {
    char text[240];
    std::snprintf(text, sizeof text, "%s at byte %zu while reading the %s", problem, at, what);
    error_ = text;
    return false;
}

bool ArchiveReader::take(std::size_t size, std::uint64_t& value, const char* what) {
    if (remaining() < size) return fail("the file ends", what);
    value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
    at_ += size;
    return true;
}

bool ArchiveReader::int32(std::int32_t& value, const char* what) {
    std::uint64_t v;
    if (!take(4, v, what)) return false;
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
}

bool ArchiveReader::float32(float& value, const char* what) {
    std::uint64_t v;
    if (!take(4, v, what)) return false;
    value = std::bit_cast<float>(static_cast<std::uint32_t>(v));
    return true;
}

bool ArchiveReader::float64(double& value, const char* what) {
    std::uint64_t v;
    if (!take(8, v, what)) return false;
    value = std::bit_cast<double>(v);
    return true;
}

// The length prefix of a text. After the wide marker the prefix starts over, and there a 16-bit
// 0xFFFE is a plain length, as the framework that wrote such files reads it.
bool ArchiveReader::length(std::uint32_t& value, bool& wide, const char* what) {
    wide = false;
    std::uint64_t v;
    if (!take(1, v, what)) return false;
    if (v == kLongerLength) {
        if (!take(2, v, what)) return false;
        if (v == kWideMarker) {
            wide = true;
            if (!take(1, v, what)) return false;
            if (v == kLongerLength && !take(2, v, what)) return false;
        }
        if (v == kThirtyTwoBits && !take(4, v, what)) return false;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

bool ArchiveReader::text(std::string& value, const char* what) {
    const std::size_t start = at_;
    std::uint32_t units;
    bool wide;
    if (!length(units, wide, what)) return false;
    const std::uint64_t size = std::uint64_t{units} * (wide ? 2 : 1);
    if (size > remaining()) return failAt(start, "a text length past the end of the file", what);
    std::string_view stored = bytes_.substr(at_, static_cast<std::size_t>(size));
    value                   = wide ? utf16ToUtf8(stored) : std::string(stored);
    at_ += static_cast<std::size_t>(size);
    return true;
}

bool ArchiveReader::count(std::int32_t& value, std::size_t smallest, const char* what) {
    const std::size_t start = at_;
    if (!int32(value, what)) return false;
    if (value < 0) return failAt(start, "a negative count", what);
    if (static_cast<std::size_t>(value) > remaining() / smallest)
        return failAt(start, "a count past the end of the file", what);
    return true;
}

} // namespace torvex
