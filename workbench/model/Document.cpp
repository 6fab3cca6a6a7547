#include "model/Document.h"

#include "model/RequestIds.h"
#include "model/ScenarioFile.h"

#include <atomic>

namespace torvex {
namespace {

std::atomic<int> newDocuments{0};

} // namespace

int CHexmillLEDoc::newDocumentCount() {
    return newDocuments.load();
}

void CHexmillLEDoc::reinitialize(const CScenario* source) {
    pathName_ = "Scenario" + std::to_string(newDocuments.fetch_add(1) + 1);
    scenario_.detachRunLogAndClearRequests();
    if (source) {
        scenario_.resetSections();
        scenario_.copyRequestsFrom(*source);
    } else {
        scenario_.resetToDefaults();
    }
    resetRequestIds();
    modified_ = false;
}

bool CHexmillLEDoc::open(const std::string& path, std::string& error) {
    if (!openScenarioFile(scenario_, path, error)) return false;
    pathName_ = path;
    modified_ = false;
    return true;
}

bool CHexmillLEDoc::save(const std::string& path, std::string& error) {
    if (!saveScenarioFile(scenario_, path, error)) return false;
    pathName_ = path;
    modified_ = false;
    return true;
}

} // namespace torvex
