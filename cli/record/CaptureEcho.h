#pragma once

#include "recorder/CaptureNotifier.h"

#include <string>

class ConsoleLines;

namespace torvex {
class CRequest;
class CRequestsContainer;
} // namespace torvex

// Shows each recorded request as it arrives: "GET http://host/path (3 parameters)".
class CaptureEcho : public torvex::CCaptureNotifier {
public:
    CaptureEcho(const torvex::CRequestsContainer& requests, ConsoleLines& console)
        : requests_(requests), console_(console) {}

    // Called on a proxy thread right after the request was added at the end of the list.
    void OnRequestCaptured() override;

private:
    const torvex::CRequestsContainer& requests_;
    ConsoleLines& console_;
};

// The line shown for a recorded request.
std::string describeRecordedRequest(const torvex::CRequest& request);
