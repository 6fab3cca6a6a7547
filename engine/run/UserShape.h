#pragma once

#include "run/UserResults.h"

namespace torvex {

class CTestSet;

// The shape every user's results of a run share: the storage form, test-sequence entries,
// iterations and whether iteration time stamps are kept.
struct UserShape {
    UserResults::Form form = UserResults::Form::Detailed;
    int entries            = 0;
    int iterations         = 0;
    bool stamps            = false;
};

// The shape the test set's options give its users: aggregates with option nodetails, a script's
// list in script mode, else the timings table (with time stamps under option timestamp).
UserShape userShapeOf(const CTestSet& testSet);

} // namespace torvex
