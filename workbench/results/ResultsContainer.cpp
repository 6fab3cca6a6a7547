#include "results/ResultsContainer.h"

#include "results/ResultsFile.h"

#include <algorithm>
#include <climits>
#include <set>
#include <utility>

namespace torvex {

int CResultsContainer::GetCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(records_.size());
}

ResultsRecord CResultsContainer::GetAt(int index) const {
    std::lock_guard guard(lock_);
    if (index < 0 || static_cast<std::size_t>(index) >= records_.size()) return nullptr;
    return records_[static_cast<std::size_t>(index)];
}

std::vector<ResultsRecord> CResultsContainer::GetAll() const {
    std::lock_guard guard(lock_);
    return records_;
}

ResultsRecord CResultsContainer::FindByRunId(int runId) const {
    if (runId == 0) return nullptr;
    std::lock_guard guard(lock_);
    auto found = std::find_if(records_.begin(), records_.end(),
                              [runId](const ResultsRecord& r) { return r->runId == runId; });
    return found == records_.end() ? nullptr : *found;
}

int CResultsContainer::Add(ResultsRecord record) {
    int index;
    {
        std::lock_guard guard(lock_);
        record->runId = ++nextRunId_;
        records_.push_back(std::move(record));
        index = static_cast<int>(records_.size()) - 1;
    }
    notify();
    return index;
}

void CResultsContainer::Clear() {
    std::vector<ResultsRecord> released;
    {
        std::lock_guard guard(lock_);
        released.swap(records_);
    }
    notify();
}

void CResultsContainer::SetListener(std::function<void()> listener) {
    std::lock_guard guard(lock_);
    listener_ = std::move(listener);
}

// The listener is copied under the lock and called outside it, so it may read the list.
void CResultsContainer::notify() {
    std::function<void()> listener;
    {
        std::lock_guard guard(lock_);
        listener = listener_;
    }
    if (listener) listener();
}

std::string CResultsContainer::Serialize() const {
    std::vector<ResultsRecord> records;
    {
        std::lock_guard guard(lock_);
        records = records_;
    }
    return resultsFileBytes(records);
}

void CResultsContainer::numberLoadedRuns(std::vector<ResultsRecord>& loaded) {
    // Run ids count runs from 1; one from a damaged file near INT_MAX would leave no room for
    // the ids given after it, so it counts as unusable too.
    constexpr int largestLoadedRunId = INT_MAX / 2;
    std::set<int> taken;
    for (const ResultsRecord& record : loaded) {
        if (record->runId > 0 && record->runId <= largestLoadedRunId &&
            taken.insert(record->runId).second)
            continue;
        record->runId = 0;
    }
    if (!taken.empty()) nextRunId_ = std::max(nextRunId_, *taken.rbegin());
    for (const ResultsRecord& record : loaded) {
        if (record->runId == 0) record->runId = ++nextRunId_;
    }
}

bool CResultsContainer::LoadFromFile(const std::string& path, std::string& error) {
    std::vector<ResultsRecord> loaded;
    if (!readResultsFile(path, loaded, error)) return false;
    {
        std::lock_guard guard(lock_);
        numberLoadedRuns(loaded);
        records_.swap(loaded);
    }
    notify();
    return true;
}

bool CResultsContainer::SaveToFile(const std::string& path, std::string& error) const {
    return writeResultsFile(path, Serialize(), error);
}

} // namespace torvex
