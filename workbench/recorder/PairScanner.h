#pragma once

#include "model/CapturedRequest.h"

#include <string_view>
#include <vector>

namespace torvex {

// Splits posted or query data into name/value pairs, left to right, with three states: between
// pairs, in a name, in a value. Between pairs, control characters, spaces and bytes from '{'
// (123) up are skipped; any other character starts a pair, '&' and '=' included, so "a=1&&b=2"
// has an empty pair in the middle and "=5" a pair without a name. In a name, '&' completes the
// pair with an empty value and '=' starts the value; in a value only '&' ends it. Names and values
// are kept exactly as they stand, still percent-encoded.
std::vector<CCapturedParam> scanPairs(std::string_view data);

} // namespace torvex
