#include "run/UserThread.h"

#include "api/Output.h"
#include "api/TestSet.h"
#include "run/SequencePlayer.h"
#include "run/Ticks.h"
#include "run/UserLogFile.h"
#include "run/UserSession.h"
#include "scripting/ScriptedUser.h"

#include <cstdint>
#include <ctime>
#include <exception>

#include <unistd.h>

namespace torvex {
namespace {

void begin(CUserSession& user) {
    CTestSet& t = user.testSet;
    user.http.script.random.seed(static_cast<std::uint32_t>(std::time(nullptr)) ^
                                 static_cast<std::uint32_t>(gettid()));
    if (t.log) {
        user.log             = UserLogFile::create(t, user.index());
        user.http.script.log = user.log.get();
    }
    user.http.hasPreviousBody = false;
    user.http.cookies.clear();
    user.startTick   = tickCount();
    user.sentAtStart = t.sent.load();
}

void finish(CUserSession& user) noexcept {
    user.endTick         = tickCount();
    user.sentAtEnd       = user.testSet.sent.load();
    user.http.script.log = nullptr;
    user.log.reset();
    user.http.keptConnection.reset();
}

} // namespace

void runUser(CUserSession& user) noexcept {
    try {
        begin(user);
        if (user.testSet.scriptMode())
            runScriptedUser(user);
        else
            playSequences(user);
    } catch (...) {
        message("FATAL EXCEPTION IN THREAD %d!\r\n", user.index());
    }
    finish(user);
}

} // namespace torvex
