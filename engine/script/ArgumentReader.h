#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvex {

// Replaces every "%2c" (lower case only) by ','. Lists and arguments use it to carry commas.
void decodeCommas(std::string& text);

// A function argument, quoted or plain. Leading spaces are skipped. A quoted argument runs to the
// closing double quote, a backslash taking the next character literally, and the spaces after it
// are skipped; "" is an empty argument. A plain one runs to the next ',' or ')' or the end. At
// most limit - 1 bytes are kept. The ',' or ')' right after it is consumed and reported.
struct Argument {
    std::string text;
    char delimiter = '\0'; // the ',' or ')' consumed after it, or '\0'
};
Argument readArgument(std::string_view& text, std::size_t limit);

// An item of a list "(a,b,"c,d")": a quoted item runs to the next double quote (a backslash right
// before a quote stands for the quote); after it spaces and commas are skipped and one ')'. A plain
// item runs to the first ',' of the rest, else to the first ')', else to the end, and that
// delimiter is consumed. `closed` tells that the ')' ending the list was consumed.
struct ListItem {
    std::string text;
    bool closed = false;
};
ListItem readListItem(std::string_view& text);

} // namespace torvex
