#include "recorder/RequestRecorder.h"

#include "model/CaptureSink.h"
#include "model/CapturedRequest.h"
#include "recorder/CaptureNotifier.h"
#include "recorder/HeaderLines.h"
#include "recorder/PairScanner.h"

#include <algorithm>
#include <climits>
#include <strings.h>
#include <utility>

namespace torvex {
namespace {

constexpr std::string_view kContentType = "Content-Type";

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// 1 for http:, 2 for https:, 0 for everything that is not captured (about:, javascript:, file:).
int schemeOf(std::string_view url) {
    if (startsWithIgnoringCase(url, "http:")) return 1;
    if (startsWithIgnoringCase(url, "https:")) return 2;
    return 0;
}

// A header line becomes the content type or a "header$" pair.
void addHeaderLines(std::string_view headers, CCapturedRequest& captured) {
    HeaderLines lines(headers);
    std::string_view line;
    while (lines.next(line)) {
        if (startsWithIgnoringCase(line, kContentType)) {
            std::string_view type = line.substr(kContentType.size());
            type.remove_prefix(std::min(type.find_first_not_of(": \t"), type.size()));
            captured.contentType = type;
        } else {
            captured.pairs.push_back({"header$", std::string(line)});
        }
    }
}

// Seconds since the previous capture (0 for the first), and now the previous one. A wall clock
// set back in between gives no think time rather than a negative one.
int secondsSince(std::time_t& previous, std::time_t now) {
    const std::time_t elapsed = previous ? now - previous : 0;
    previous                  = now;
    return static_cast<int>(std::clamp<std::time_t>(elapsed, 0, INT_MAX));
}

} // namespace

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

void CRequestRecorder::SetSink(CCaptureSink* sink) {
    std::lock_guard guard(lock_);
    sink_ = sink;
}

void CRequestRecorder::SetNotifier(CCaptureNotifier* notifier) {
    std::lock_guard guard(lock_);
    notifier_ = notifier;
}

void CRequestRecorder::Detach() {
    std::lock_guard guard(lock_);
    recording_ = false;
    sink_      = nullptr;
    notifier_  = nullptr;
}

void CRequestRecorder::SetClock(std::function<std::time_t()> clock) {
    std::lock_guard guard(lock_);
    clock_ = std::move(clock);
}

void CRequestRecorder::OnBeforeNavigate(std::string_view url, std::string_view /*targetFrame*/,
                                        std::string_view body, std::string_view headers,
                                        bool& /*cancel*/) {
    std::lock_guard guard(lock_);
    if (!recording_ || !sink_ || url.empty()) return;
    const int scheme = schemeOf(url);
    if (scheme == 0) return;

    CCapturedRequest captured;
    captured.scheme = scheme;
    captured.delay  = secondsSince(previousCapture_, clock_ ? clock_() : std::time(nullptr));
    captured.method = body.empty() ? 1 : 2;

    const std::size_t question = url.find('?');
    captured.uri               = url.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view{} : url.substr(question + 1);
    addHeaderLines(headers, captured);

    // A form post records its body only, never the query of the URL it was posted to.
    const std::string_view data = body.empty() ? query : body;
    for (CCapturedParam& pair : scanPairs(data)) captured.pairs.push_back(std::move(pair));

    sink_->AddCapturedRequest(captured);
    if (notifier_) notifier_->OnRequestCaptured();
}

} // namespace torvex
