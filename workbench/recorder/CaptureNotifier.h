#pragma once

namespace torvex {

// Told after every capture was delivered; the program posts a refresh of the Recorder's list.
// Called on whatever thread captured (a recording proxy thread), so it must only post.
class CCaptureNotifier {
public:
    virtual ~CCaptureNotifier()      = default;
    virtual void OnRequestCaptured() = 0;
};

} // namespace torvex
