#include "api/TestSet.h"

#include "api/Options.h"

namespace torvex {

CTestSet::CTestSet() {
    registerOptions(*this);
}

} // namespace torvex
