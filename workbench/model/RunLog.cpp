#include "model/RunLog.h"

namespace torvex {

void CRunLog::addLine(int level, const std::string& text) {
    static const char* const labels[] = {"MESSAGE", "WARNING", "FAILURE"};
    std::lock_guard guard(mutex_);
    if (level >= 0 && level <= 2) text_ += labels[level];
    text_ += ">   ";
    text_ += text;
    text_ += "\r\n";
}

std::string CRunLog::text() const {
    std::lock_guard guard(mutex_);
    return text_;
}

std::string CRunLog::textFrom(std::size_t offset) const {
    std::lock_guard guard(mutex_);
    return offset < text_.size() ? text_.substr(offset) : std::string();
}

std::size_t CRunLog::size() const {
    std::lock_guard guard(mutex_);
    return text_.size();
}

void CRunLog::clear() {
    std::lock_guard guard(mutex_);
    text_.clear();
}

} // namespace torvex
