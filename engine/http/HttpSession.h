#pragma once

#include "api/FixedText.h"
#include "api/TextBuffer.h"
#include "http/Connection.h"
#include "http/CookieJar.h"
#include "http/WaitRules.h"
#include "script/ResponseText.h"
#include "script/UserScriptState.h"

#include <cstdint>
#include <memory>

namespace torvex {

class CTestSet;

// Bytes and milliseconds a virtual user spent sending requests and reading responses.
struct TrafficFigures {
    std::uint64_t bytesSent     = 0;
    std::uint64_t bytesReceived = 0;
    double sendTimeMs           = 0;
    double receiveTimeMs        = 0;
};

// What the HTTP transport keeps for one virtual user between its requests: the kept
// connection, cookies, the previous response and the buffers. Only the user's thread touches it.
struct HttpSession {
    explicit HttpSession(CTestSet& testSet);

    // Forgets everything of a previous run: connection, cookies, previous response, counts.
    void reset();

    CTestSet& testSet;
    UserScriptState script; // user index, random numbers, variables, body buffer, log
    WaitRules waits;
    std::unique_ptr<CConnection> keptConnection;
    TrafficFigures traffic;
    TextBuffer request{1024};
    TextBuffer response{8192};
    // Scratch for header lines and body pieces; its size bounds every single read. Taken at the
    // first exchange, so users that never send (such as merged ones) do not hold it.
    static constexpr std::size_t kIoBufferSize = 4096;
    std::unique_ptr<char[]> io;
    char* ioBuffer();
    FixedText<512> currentUrl; // sent as the Referer of the next request
    CookieJar cookies;
    // Only this much of a response body is kept (for the content check, extraction and the log);
    // the rest is read and counted, then dropped. Tests lower the limit.
    static constexpr std::size_t kKeptBodyLimit = std::size_t{256} << 20;
    std::size_t keptBodyLimit                   = kKeptBodyLimit;
    // The body of the last response that was accepted; absent after a failed request.
    std::size_t previousBodyOffset = 0;
    bool hasPreviousBody           = false;
    int requestCount               = 0; // redirects included
    int completedIterations        = 0;

    ResponseText previousBody();
};

// A whole exchange may last this many time-outs. Each wait has one time-out to itself, so a
// slow but steady response still arrives; one that trickles on or never ends is given up.
constexpr int kResponseLimitInTimeouts = 4;

// The wait rules a test set's options ask for: `timeout` seconds per wait, and four times that
// for a whole exchange, when above 0 and `nowait` is 0; and the run's abort flag when `abortseq`
// is set.
WaitRules waitRulesOf(const CTestSet& testSet);

} // namespace torvex
