#include "script/ArgumentReader.h"

#include "api/FixedText.h"

namespace torvex {

void decodeCommas(std::string& text) {
    std::size_t at = 0;
    while ((at = text.find("%2c", at)) != std::string::npos) text.replace(at, 3, 1, ',');
}

namespace {

void skipSpaces(std::string_view& text) {
    std::size_t n = text.find_first_not_of(' ');
    text.remove_prefix(n == std::string_view::npos ? text.size() : n);
}

void keepAtMost(std::string& text, std::size_t limit) {
    if (limit == 0)
        text.clear();
    else if (text.size() > limit - 1)
        text.resize(utf8PrefixLength(text, limit - 1));
}

} // namespace

Argument readArgument(std::string_view& text, std::size_t limit) {
    Argument argument;
    skipSpaces(text);
    if (!text.empty() && text.front() == '"') {
        std::size_t i = 1;
        for (; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) ++i;
            argument.text += text[i];
        }
        text.remove_prefix(std::min(i + 1, text.size()));
        skipSpaces(text);
    } else {
        std::size_t end = std::min(text.find_first_of(",)"), text.size());
        argument.text.assign(text.substr(0, end));
        text.remove_prefix(end);
    }
    if (!text.empty() && (text.front() == ',' || text.front() == ')')) {
        argument.delimiter = text.front();
        text.remove_prefix(1);
    }
    keepAtMost(argument.text, limit);
    decodeCommas(argument.text);
    return argument;
}

ListItem readListItem(std::string_view& text) {
    ListItem item;
    if (!text.empty() && text.front() == '"') {
        std::size_t i = 1;
        for (; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') ++i;
            item.text += text[i];
        }
        text.remove_prefix(std::min(i + 1, text.size()));
        std::size_t rest = text.find_first_not_of(" ,");
        text.remove_prefix(rest == std::string_view::npos ? text.size() : rest);
        if (!text.empty() && text.front() == ')') {
            item.closed = true;
            text.remove_prefix(1);
        }
    } else {
        std::size_t end = text.find(',');
        if (end == std::string_view::npos) {
            end         = std::min(text.find(')'), text.size());
            item.closed = end < text.size();
        }
        item.text.assign(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    decodeCommas(item.text);
    return item;
}

} // namespace torvex
