#pragma once

#include <ctime>
#include <mutex>

namespace torvex {

// The recording hook: one per process, created when the program starts and detached when it ends.
// While recording is on, the browser's navigations become requests of the open scenario.
class CRequestRecorder {
public:
    // Recording on; the next capture is the first (no think time before it).
    void BeginRecording();
    void EndRecording();
    bool IsRecording() const;
    // Recording off and nothing attached, as at start-up and at exit.
    void Detach();

private:
    mutable std::mutex lock_;
    bool recording_              = false;
    std::time_t previousCapture_ = 0; // 0: none yet
};

} // namespace torvex
