#include "scripting/ScriptedUser.h"

#include "api/TestSet.h"
#include "run/UserSession.h"
#include "scripting/ScriptedFrame.h"

#include <strings.h>

namespace torvex {

void runScriptedUser(CUserSession& user) {
    CTestSet& t = user.testSet;
    std::optional<std::string_view> inlineText;
    if (strncasecmp(t.script.c_str(), "$inline", 7) == 0)
        inlineText = t.scripttext ? t.scripttext->view() : std::string_view();
    CScriptedFrame frame;
    if (frame.initialize(t.script.c_str(), inlineText)) frame.run(user);
    frame.close();
}

} // namespace torvex
