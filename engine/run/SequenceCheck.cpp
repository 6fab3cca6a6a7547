#include "run/SequenceCheck.h"

#include "api/Output.h"
#include "api/TestSet.h"

namespace torvex {
namespace {

bool allDefined(const CTestSet& t, const SequenceList& sequence) {
    for (const SequenceEntry& entry : sequence.entries()) {
        if (!t.definitions.find(entry.name.c_str())) {
            message("Request %s not found!\n", entry.name.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

bool checkSequences(const CTestSet& t) {
    if (!allDefined(t, t.initsequence)) return false;
    if (!t.scriptMode()) {
        if (t.testsequence.empty()) {
            message("Error: empty test sequence!\n");
            return false;
        }
        if (!allDefined(t, t.testsequence)) return false;
    }
    return allDefined(t, t.finalsequence);
}

} // namespace torvex
