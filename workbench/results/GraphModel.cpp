#include "results/GraphModel.h"

#include "results/ResultsContainer.h"

namespace torvex {

ResultsList resultsSnapshot(const CResultsContainer& results) {
    ResultsList list;
    for (int i = 0; i < results.GetCount(); ++i)
        if (ResultsRecord record = results.GetAt(i)) list.push_back(std::move(record));
    return list;
}

} // namespace torvex
