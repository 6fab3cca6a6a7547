#pragma once

namespace torvex {

class CTestSet;

// Runs the loaded test: prepares one user per client, starts their threads (together, or
// option-delaystart milliseconds apart), reports progress at least every 2 seconds, enforces
// maxtime and waits for every user. Returns 1 when a test-sequence request was processed.
int runLoadTest(CTestSet& testSet);

// Releases the users of the last run and what they recorded; the test set can run again.
void releaseRun(CTestSet& testSet);

} // namespace torvex
