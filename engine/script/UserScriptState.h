#pragma once

#include "api/NameTable.h"
#include "api/TextBuffer.h"
#include "script/RandomGenerator.h"

#include <string>
#include <vector>

namespace torvex {

class UserLog;

// What one virtual user needs to turn request definitions into requests: its number, random
// numbers, counter slots, variables and the body buffer. Only the user's own thread touches it.
struct UserScriptState {
    int userIndex = 0; // counted from 0
    RandomGenerator random;
    std::vector<int> counters;        // one slot per $list and $Seq of the test set
    NameTable<std::string> variables; // exported from responses, read by $var
    TextBuffer body{4096};            // the query or body of the request being built
    UserLog* log = nullptr;           // none: the user has no log
    std::string scratch;              // reused for computed parameter names
};

} // namespace torvex
