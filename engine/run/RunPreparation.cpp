#include "run/RunPreparation.h"

#include "api/Output.h"
#include "api/TestSet.h"
#include "run/SequenceCheck.h"
#include "run/TimingWindow.h"
#include "run/UserSession.h"
#include "run/UserShape.h"
#include "script/WorkingCopy.h"

#include <climits>

namespace torvex {
namespace {

// `index` is the user's global number: option firstuser plus its place in this test set.
std::unique_ptr<CUserSession> makeUser(CTestSet& t, int index) {
    auto user                  = std::make_unique<CUserSession>(t, index);
    user->http.script.counters = initialCounters(t, index);
    t.definitions.forEach([&](const std::string& name, const RequestDefinition& definition) {
        user->copies.insert(name.c_str(), makeWorkingCopy(definition));
    });
    UserShape shape = userShapeOf(t);
    user->results.prepare(shape.form, shape.entries, shape.iterations, shape.stamps);
    return user;
}

} // namespace

bool prepareRun(CTestSet& t) {
    t.users.clear();
    t.partWindows.clear();
    for (auto& count : t.statuscounts) count = 0;
    for (auto& count : t.errorcounts) count = 0;
    if (!checkSequences(t)) return false;
    if (t.clients > 0 && t.firstuser > INT_MAX - t.clients) {
        message("Error: firstuser %d leaves no room for %d users!\n", t.firstuser, t.clients);
        return false;
    }
    t.users.reserve(static_cast<std::size_t>(t.clients > 0 ? t.clients : 0));
    for (int i = 0; i < t.clients; ++i) t.users.push_back(makeUser(t, t.firstuser + i));
    return true;
}

} // namespace torvex
