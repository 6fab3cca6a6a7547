#include "run/UserSession.h"

#include "run/UserLogFile.h"

namespace torvex {

CUserSession::CUserSession(CTestSet& owner, int userIndex) : testSet(owner), http(owner) {
    http.script.userIndex = userIndex;
}

CUserSession::~CUserSession() = default;

} // namespace torvex
