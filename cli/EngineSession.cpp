#include "EngineSession.h"

#include "torvexcore.h"

namespace {

void ignoreProgress(void*, int, int) {}

} // namespace

EngineSession::EngineSession(ErrorOutput& output) {
    InitHX(nullptr, nullptr);
    SetOutFunc(&output, &ErrorOutput::engineMessage);
    SetProgressReporter(nullptr, &ignoreProgress);
    testSet_ = CreateTestSet(0);
}

EngineSession::~EngineSession() {
    FreeTestSet(testSet_);
    SetProgressReporter(nullptr, nullptr);
    SetOutFunc(nullptr, nullptr);
    CleanupHX();
}
