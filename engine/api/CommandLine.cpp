#include "api/CommandLine.h"

#include "api/Output.h"
#include "api/TestSet.h"

#include <cstring>

namespace torvex {

int parseCommandLine(CTestSet& t, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '/' && argument[0] != '-') {
            t.testname.set(argument);
            continue;
        }
        const char* equals = std::strchr(argument + 1, '=');
        if (!equals) {
            message("Invalid command line option %s!\n", argument);
            return 0;
        }
        std::string name(argument + 1, equals);
        t.globalvariables.assign(name.c_str(), equals + 1);
    }
    return 1;
}

} // namespace torvex
