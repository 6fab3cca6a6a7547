#pragma once

#include "script/RequestDefinition.h"

#include <vector>

namespace torvex {

class CTestSet;
class RandomGenerator;

// A user's own copy of a definition: fields and buffers copied, the parameter list and the
// compiled expressions shared, no overrides, extra parameters or boundary.
RequestDefinition makeWorkingCopy(const RequestDefinition& definition);

// The user's counter slots for a run: all 0, except that a $Seq starting a parameter of a
// definition starts at start + userIndex * step.
std::vector<int> initialCounters(const CTestSet& testSet, int userIndex);

// The pause after a request in milliseconds: delaymin plus a random part below delaymax -
// delaymin when delaymax is set; 0 for no pause.
int requestDelay(const RequestDefinition& copy, RandomGenerator& random);

} // namespace torvex
