#pragma once

#include "ErrorOutput.h"

// The engine started for one run: its messages go to `output`, its own progress messages are
// silenced (the runner draws its own), and one test set exists. Everything is undone in reverse.
class EngineSession {
public:
    explicit EngineSession(ErrorOutput& output);
    ~EngineSession();
    EngineSession(const EngineSession&)            = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    void* testSet() const { return testSet_; }

private:
    void* testSet_ = nullptr;
};
