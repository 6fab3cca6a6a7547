#pragma once

#include "script/ScriptParser.h"
#include "torvexcore.h"

namespace torvex::fuzz {

// Once per process: the parser's messages go nowhere, and scripts may not read files, so an
// [includes] line or $content=FILE fails as an unreadable file.
inline void quietParserWithoutFiles() {
    static const bool done = [] {
        allowScriptFiles(false);
        SetOutFunc(nullptr, [](void*, const char*) { return 0; });
        return true;
    }();
    (void)done;
}

} // namespace torvex::fuzz
