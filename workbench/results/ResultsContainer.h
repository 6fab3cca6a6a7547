#pragma once

#include "results/ResultsStore.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace torvex {

// The results list: the records of the last single run or batch, filled by the run controller's
// worker thread while views read it. Every operation takes the lock; the records handed out are
// shared, so a view keeps drawing its record after the list was cleared.
class CResultsContainer {
public:
    int GetCount() const;
    ResultsRecord GetAt(int index) const;       // null when out of range
    ResultsRecord FindByRunId(int runId) const; // the first with that run id; null for 0 or absent
    std::vector<ResultsRecord> GetAll() const;  // every record at one moment, in order
    // Gives the record the next run id (counted over the container's whole life, loaded files
    // included), appends it, notifies the listener and returns the record's index.
    int Add(ResultsRecord record);
    void Clear();
    // Called after every Add, Clear and successful load, outside the lock, on the calling thread.
    void SetListener(std::function<void()> listener);

    std::string Serialize() const; // the results file's bytes
    // Replaces the whole list with the file's records, keeping their run ids, or refuses the file
    // with a message naming it and leaves the list as it was. Bytes after the last record refuse
    // it too.
    bool LoadFromFile(const std::string& path, std::string& error);
    bool SaveToFile(const std::string& path, std::string& error) const;

private:
    void notify();
    // Loaded records keep the run ids of the file. One without a usable id (0, negative, above
    // INT_MAX / 2, or one an earlier record has) gets a fresh one, and later runs are numbered past
    // them all: a view that remembers the run it shows by its id never mistakes a new run for a
    // loaded one.
    void numberLoadedRuns(std::vector<ResultsRecord>& loaded);

    mutable std::mutex lock_;
    std::vector<ResultsRecord> records_;
    int nextRunId_ = 0; // the last run id given
    std::function<void()> listener_;
};

} // namespace torvex
