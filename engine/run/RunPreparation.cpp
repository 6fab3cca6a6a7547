#include "run/RunPreparation.h"

#include "api/TestSet.h"
#include "run/SequenceCheck.h"
#include "run/UserSession.h"
#include "script/WorkingCopy.h"

namespace torvex {
namespace {

UserResults::Form storageForm(const CTestSet& t) {
    if (t.nodetails) return UserResults::Form::Aggregate;
    return t.scriptMode() ? UserResults::Form::Script : UserResults::Form::Detailed;
}

std::unique_ptr<CUserSession> makeUser(CTestSet& t, int index) {
    auto user                  = std::make_unique<CUserSession>(t, index);
    user->http.script.counters = initialCounters(t, index);
    t.definitions.forEach([&](const std::string& name, const RequestDefinition& definition) {
        user->copies.insert(name.c_str(), makeWorkingCopy(definition));
    });
    user->results.prepare(storageForm(t), static_cast<int>(t.testsequence.entries().size()),
                          t.requests > 0 ? t.requests : 0, t.timestamp != 0);
    return user;
}

} // namespace

bool prepareRun(CTestSet& t) {
    t.users.clear();
    for (auto& count : t.statuscounts) count = 0;
    for (auto& count : t.errorcounts) count = 0;
    if (!checkSequences(t)) return false;
    t.users.reserve(static_cast<std::size_t>(t.clients > 0 ? t.clients : 0));
    for (int i = 0; i < t.clients; ++i) t.users.push_back(makeUser(t, i));
    return true;
}

} // namespace torvex
