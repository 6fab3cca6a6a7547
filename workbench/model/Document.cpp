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
    hasFile_  = false;
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

std::string CHexmillLEDoc::title() const {
    const std::size_t slash = pathName_.find_last_of('/');
    return slash == std::string::npos ? pathName_ : pathName_.substr(slash + 1);
}

bool CHexmillLEDoc::open(const std::string& path, std::string& error) {
    if (!openScenarioFile(scenario_, path, error)) return false;
    pathName_ = path;
    hasFile_  = true;
    modified_ = false;
    return true;
}

bool CHexmillLEDoc::save(const std::string& path, std::string& error) {
    if (!saveScenarioFile(scenario_, path, error)) return false;
    pathName_ = path;
    hasFile_  = true;
    modified_ = false;
    return true;
}

} // namespace torvex
