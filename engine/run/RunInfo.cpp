#include "run/RunInfo.h"

#include "api/TestSet.h"

#include <mutex>
#include <vector>

namespace torvex {
namespace {

std::mutex namesLock;
std::vector<const char*> names;

} // namespace

std::intptr_t describeResults(const CTestSet& t, TorvexInfo& info) {
    bool script               = t.scriptMode();
    info.users                = t.clients;
    info.iterations           = script ? -1 : t.requests;
    info.requestsPerIteration = script ? 1 : static_cast<int32_t>(t.testsequence.entries().size());
    info.aggregate            = t.nodetails;
    info.objective            = t.objectiveid;
    {
        std::lock_guard guard(namesLock);
        names.clear();
        for (const SequenceEntry& entry : t.testsequence.entries())
            names.push_back(entry.name.c_str());
        names.push_back(nullptr); // a terminator for callers that walk the array
        info.requestNames = names.data();
    }
    return t.testsequence.empty() ? 0 : t.objectiveid;
}

void releaseResultNames() {
    std::lock_guard guard(namesLock);
    std::vector<const char*>().swap(names);
}

} // namespace torvex
