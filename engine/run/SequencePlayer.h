#pragma once

namespace torvex {

class CUserSession;

// Plays the initial sequence once, the test sequence option-requests times and the final
// sequence once for one user, recording the test sequence's outcomes and pausing after each
// request as its delay asks.
void playSequences(CUserSession& user);

} // namespace torvex
