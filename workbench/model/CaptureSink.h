#pragma once

namespace torvex {

struct CCapturedRequest;

// Where the recorder delivers its captures: the open scenario's request list.
class CCaptureSink {
public:
    virtual ~CCaptureSink() = default;
    virtual void AddCapturedRequest(const CCapturedRequest& captured) = 0;
};

} // namespace torvex
