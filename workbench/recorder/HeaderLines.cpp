#include "recorder/HeaderLines.h"

namespace torvex {
namespace {

constexpr std::string_view kTrimmed = " \t\r\n";

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(kTrimmed);
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(kTrimmed) - first + 1);
}

} // namespace

bool HeaderLines::next(std::string_view& line) {
    if (position_ >= text_.size()) return false;
    std::size_t end = text_.find_first_of("\r\n", position_);
    if (end == std::string_view::npos) end = text_.size();
    line      = trimmed(text_.substr(position_, end - position_));
    position_ = end;
    if (position_ < text_.size() && text_[position_] == '\r') ++position_;
    if (position_ < text_.size() && text_[position_] == '\n') ++position_;
    return true;
}

} // namespace torvex
