#pragma once

namespace torvex {

class CUserSession;

// The body of a virtual user's thread: opens its log, plays the initial, test and final sequences
// (or runs the test set's script) and notes when it started and ended. Never throws: an escaping
// exception ends the user with "FATAL EXCEPTION IN THREAD <index>!" on the output function.
void runUser(CUserSession& user) noexcept;

} // namespace torvex
