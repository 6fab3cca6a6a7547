#include "ErrorOutput.h"

#include <utility>

namespace {

// Returns to the start of the line and clears it (ANSI "erase in line").
constexpr const char* kEraseLine = "\r\033[K";

} // namespace

void ErrorOutput::message(std::string_view text) {
    // The engine removes line feeds but keeps a '\r' before them; either would break the layout.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::lock_guard guard(lock_);
    eraseStatus();
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fputc('\n', stream_);
    drawStatus();
    std::fflush(stream_);
}

void ErrorOutput::setStatus(std::string line) {
    std::lock_guard guard(lock_);
    eraseStatus();
    status_ = std::move(line);
    drawStatus();
    std::fflush(stream_);
}

void ErrorOutput::clearStatus() {
    std::lock_guard guard(lock_);
    eraseStatus();
    status_.clear();
    std::fflush(stream_);
}

int ErrorOutput::engineMessage(void* context, const char* text) {
    static_cast<ErrorOutput*>(context)->message(text ? text : "");
    return 0;
}

void ErrorOutput::eraseStatus() {
    if (!status_.empty()) std::fputs(kEraseLine, stream_);
}

void ErrorOutput::drawStatus() {
    if (!status_.empty()) std::fputs(status_.c_str(), stream_);
}
