#pragma once

#include <array>
#include <cstddef>

namespace torvex {

// One entry of the connection speed box: its text and the engine's maximum speed in bits per
// second (-1: no limit).
struct ConnectionSpeed {
    const char* text;
    int bitsPerSecond;
};

inline constexpr std::size_t kConnectionSpeedCount = 11;

// The speed box's entries in their fixed order.
const std::array<ConnectionSpeed, kConnectionSpeedCount>& connectionSpeeds();

} // namespace torvex
