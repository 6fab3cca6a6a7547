#include "run/UserShape.h"

#include "api/TestSet.h"

namespace torvex {

UserShape userShapeOf(const CTestSet& t) {
    UserShape shape;
    if (t.nodetails)
        shape.form = UserResults::Form::Aggregate;
    else if (t.scriptMode())
        shape.form = UserResults::Form::Script;
    shape.entries    = static_cast<int>(t.testsequence.entries().size());
    shape.iterations = t.requests > 0 ? t.requests : 0;
    shape.stamps     = shape.form == UserResults::Form::Detailed && t.timestamp != 0;
    return shape;
}

} // namespace torvex
