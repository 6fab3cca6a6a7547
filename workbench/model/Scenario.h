#pragma once

#include "model/RequestsContainer.h"
#include "model/RunLog.h"
#include "model/Sections.h"

#include <mutex>
#include <string>

namespace torvex {

struct GlobalSettingsValues;

// The open test scenario: its requests, general and run sections, and run log.
class CScenario {
public:
    CScenario()                            = default;
    CScenario(const CScenario&)            = delete;
    CScenario& operator=(const CScenario&) = delete;

    // The test script of the scenario: the general text, then every request's definition.
    // False (with the general text only) when a request cannot be generated.
    bool generateScript(const GlobalSettingsValues& settings, std::string& out);

    void resetToDefaults();
    void resetSections();
    void copyRequestsFrom(const CScenario& other);
    void detachRunLogAndClearRequests();
    // Removes a request and one entry of its name from each test sequence. The caller holds the
    // request list's lock.
    void removeRequest(int id);
    // Removes every request and empties the three test sequences, under the request list's lock.
    void clearRequests();
    // Exchanges sections and requests with `other` (not the run log): a file is read into a
    // fresh scenario and only then takes the open one's place.
    void swapContents(CScenario& other);

    CRequestsContainer requests;
    CGeneralSection general;
    CRunSection run;
    CRunLog log;

private:
    std::recursive_mutex mutex_;
};

} // namespace torvex
