#pragma once

#include <string>

namespace torvex {

class CRequest;

// The texts of a request's row in the request lists of the Recorder and the Editor.

// "http://server/uri", "https://server/uri", or "/uri" when the request has no server.
std::string requestUrlText(const CRequest& request);
// "name=value&name=value" with each value in display form; trailing '&' trimmed.
std::string requestDataText(const CRequest& request);
// "min-max sec" for a think-time range, else "min sec".
std::string requestDelayText(const CRequest& request);

} // namespace torvex
