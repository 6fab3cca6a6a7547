#pragma once

#include "api/NameTable.h"
#include "http/HttpSession.h"
#include "run/UserResults.h"
#include "script/RequestDefinition.h"

#include <cstdint>
#include <memory>

namespace torvex {

class CTestSet;
class UserLogFile;

// One virtual user of a run: its HTTP session (connection, cookies, variables, random numbers),
// its own working copies of the request definitions, its log and what it recorded. The run
// creates one per user; only the user's thread touches it while the run lasts, and it stays
// readable afterwards for the results and the report.
class CUserSession {
public:
    CUserSession(CTestSet& owner, int userIndex);
    ~CUserSession();
    CUserSession(const CUserSession&)            = delete;
    CUserSession& operator=(const CUserSession&) = delete;

    int index() const { return http.script.userIndex; }
    // The user's working copy of the named request; null when there is none.
    RequestDefinition* workingCopy(const char* name) { return copies.find(name); }

    CTestSet& testSet;
    HttpSession http;
    NameTable<RequestDefinition> copies; // request name -> the user's working copy
    UserResults results;
    std::unique_ptr<UserLogFile> log; // open while the user runs with option log
    std::uint32_t startTick = 0;      // when the user's work began and ended
    std::uint32_t endTick   = 0;
    int sentAtStart         = 0; // the run's sent count at those moments
    int sentAtEnd           = 0;
    int testIterations      = 0; // iterations of the test phase the user began
    int lastOutcome         = 0;
};

} // namespace torvex
