#include "model/Scenario.h"

#include <algorithm>

#include "model/ScriptGeneration.h"

#include <utility>

namespace torvex {

bool CScenario::generateScript(const GlobalSettingsValues& settings, std::string& out) {
    std::lock_guard guard(mutex_);
    out = generalText(*this, settings);
    std::string requestsText;
    if (!requests.requestsText(requestsText)) return false;
    out += requestsText;
    return true;
}

void CScenario::resetToDefaults() {
    std::lock_guard guard(mutex_);
    requests.clear();
    general = CGeneralSection{};
    run     = CRunSection{};
}

void CScenario::resetSections() {
    std::lock_guard guard(mutex_);
    general = CGeneralSection{};
    run     = CRunSection{};
}

void CScenario::copyRequestsFrom(const CScenario& other) {
    std::lock_guard guard(mutex_);
    requests.copyFrom(other.requests);
}

void CScenario::swapContents(CScenario& other) {
    if (&other == this) return;
    std::scoped_lock guard(mutex_, other.mutex_);
    std::swap(general, other.general);
    std::swap(run, other.run);
    requests.swap(other.requests);
}

void CScenario::detachRunLogAndClearRequests() {
    std::lock_guard guard(mutex_);
    requests.clear();
}

void CScenario::removeRequest(int id) {
    const CRequest* request = requests.findById(id);
    if (!request) return;
    for (std::vector<std::string>* sequence : {&run.initialSeq, &run.mainSeq, &run.finalSeq}) {
        const auto found = std::find(sequence->begin(), sequence->end(), request->name);
        if (found != sequence->end()) sequence->erase(found);
    }
    requests.remove(id);
}

void CScenario::clearRequests() {
    std::lock_guard guard(requests);
    requests.clear();
    run.initialSeq.clear();
    run.mainSeq.clear();
    run.finalSeq.clear();
}

} // namespace torvex
