#include "recorder/RequestRecorder.h"

namespace torvex {

void CRequestRecorder::BeginRecording() {
    std::lock_guard guard(lock_);
    recording_       = true;
    previousCapture_ = 0;
}

void CRequestRecorder::EndRecording() {
    std::lock_guard guard(lock_);
    recording_ = false;
}

bool CRequestRecorder::IsRecording() const {
    std::lock_guard guard(lock_);
    return recording_;
}

void CRequestRecorder::Detach() {
    std::lock_guard guard(lock_);
    recording_ = false;
}

} // namespace torvex
