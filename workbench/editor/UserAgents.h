#pragma once

#include <array>
#include <cstddef>

namespace torvex {

inline constexpr std::size_t kUserAgentCount = 70;

// The entries of the Editor's user agent box, in their fixed order.
const std::array<const char*, kUserAgentCount>& userAgents();

} // namespace torvex
