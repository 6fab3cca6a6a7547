#pragma once

#include "CaptureEcho.h"
#include "ConsoleLines.h"
#include "RecordOptions.h"
#include "model/Document.h"
#include "recorder/RequestRecorder.h"

class SignalWatch;

// One recording from the command line: the recording proxy feeds the recorder, the recorder
// fills a new scenario, and the first SIGINT or SIGTERM ends the recording and saves it.
class RecordSession {
public:
    RecordSession(const RecordOptions& options, ConsoleLines& console);
    RecordSession(const RecordSession&)            = delete;
    RecordSession& operator=(const RecordSession&) = delete;

    // Records until a stop signal and saves; returns the exit status. `signals` must exist
    // before the proxy's threads start, so that only its thread receives the signals.
    int run(SignalWatch& signals);

private:
    bool outputFolderUsable() const;
    int save();

    const RecordOptions& options_;
    ConsoleLines& console_;
    torvex::CHexmillLEDoc document_;
    torvex::CRequestRecorder recorder_;
    CaptureEcho echo_;
};
