#include "scripting/ScriptedUser.h"

namespace torvex {

// No script engine is built in yet: a scripted user sends no requests.
void runScriptedUser(CUserSession&) {}

} // namespace torvex
