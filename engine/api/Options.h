#pragma once

namespace torvex {

class CTestSet;

// Creates the option records of a new test set, in their fixed order.
void registerOptions(CTestSet& testSet);

// Sets one general option by its exact name, or "rate" (any case). Returns 1 when it was set and 0
// when the name is unknown (silently) or the value is refused (with a message).
int setOption(CTestSet& testSet, const char* name, const char* value);

} // namespace torvex
