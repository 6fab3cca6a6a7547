#include "script/LineReader.h"

#include "api/FixedText.h"

namespace torvex {

bool LineReader::next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);

    pos_ = end;
    if (pos_ < text_.size()) {
        bool crlf = text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n';
        pos_ += crlf ? 2 : 1;
    }

    line = line.substr(0, utf8PrefixLength(line, maxLength));
    while (!line.empty() && static_cast<unsigned char>(line.back()) < 32) line.remove_suffix(1);
    std::size_t start = line.find_first_not_of(" \t");
    line.remove_prefix(start == std::string_view::npos ? line.size() : start);
    return true;
}

} // namespace torvex
