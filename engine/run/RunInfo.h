#pragma once

#include "torvexcore.h"

#include <cstdint>

namespace torvex {

class CTestSet;

// Describes the shape of the test set's results; returns the objective id, or 0 when the test
// sequence is empty. The request names live in an engine-wide array reused by the next call.
std::intptr_t describeResults(const CTestSet& testSet, TorvexInfo& info);

// Frees the engine-wide request name array.
void releaseResultNames();

} // namespace torvex
