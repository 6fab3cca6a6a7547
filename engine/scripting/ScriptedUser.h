#pragma once

namespace torvex {

class CUserSession;

// Runs the test set's script (option script: a file, or the inline script text when the option
// begins with "$inline") for one virtual user on the user's thread, to its end.
void runScriptedUser(CUserSession& user);

} // namespace torvex
