#pragma once

#include <string_view>
#include <vector>

namespace torvex {

class CTestSet;

// Replaces the test set's run results by the merge of blocks made by exportRun from parts of one
// run: users ordered by their global index, which must be 0 to N - 1 without a gap, counts added
// up, the run as long as its longest part; option clients becomes N. The test set must have been
// parsed with the same script and options as the parts. On any problem the reason goes to the
// output function, the test set stays as it was and the result is false.
bool mergeRuns(CTestSet& testSet, const std::vector<std::string_view>& blocks);

} // namespace torvex
