#pragma once

namespace torvex {

class CTestSet;

// Checks the sequences and creates the run's users, each with its working copies, counter slots
// and empty results storage. False (with the reason on the output function) when the test
// cannot run.
bool prepareRun(CTestSet& testSet);

} // namespace torvex
