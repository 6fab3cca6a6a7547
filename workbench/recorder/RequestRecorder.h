#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <string_view>

namespace torvex {

class CCaptureSink;
class CCaptureNotifier;

// The recording hook: one per process, created when the program starts and detached when it ends.
// While recording is on, the browser's navigations become requests of the open scenario.
class CRequestRecorder {
public:
    // Recording on; the next capture is the first (no think time before it).
    void BeginRecording();
    void EndRecording();
    bool IsRecording() const;
    // Where captures go and who hears of them; neither is owned.
    void SetSink(CCaptureSink* sink);
    void SetNotifier(CCaptureNotifier* notifier);
    // Recording off and nothing attached, as at start-up and at exit.
    void Detach();

    // A navigation the browser is about to start. Captured when recording is on, a sink is
    // attached and the URL is http: or https:. `cancel` is never set: nothing is held back.
    void OnBeforeNavigate(std::string_view url, std::string_view targetFrame, std::string_view body,
                          std::string_view headers, bool& cancel);

    // The wall clock in whole seconds that think times are measured with; tests replace it.
    void SetClock(std::function<std::time_t()> clock);

private:
    mutable std::mutex lock_;
    bool recording_              = false;
    std::time_t previousCapture_ = 0; // 0: none yet
    CCaptureSink* sink_          = nullptr;
    CCaptureNotifier* notifier_  = nullptr;
    std::function<std::time_t()> clock_;
};

} // namespace torvex
