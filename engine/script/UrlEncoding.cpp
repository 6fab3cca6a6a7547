#include "script/UrlEncoding.h"

#include "api/TextBuffer.h"

namespace torvex {

bool isUrlSafe(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
           c == '.' || c == '_';
}

namespace {

template <typename Out> void encodeInto(Out& out, std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::size_t safeFrom        = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (isUrlSafe(c)) continue;
        out.append(text.substr(safeFrom, i - safeFrom));
        const char escaped[3] = {'%', hex[c >> 4], hex[c & 15]};
        out.append(std::string_view(escaped, 3));
        safeFrom = i + 1;
    }
    out.append(text.substr(safeFrom));
}

} // namespace

void appendUrlEncoded(TextBuffer& out, std::string_view text) {
    encodeInto(out, text);
}

std::string urlEncoded(std::string_view text) {
    std::string out;
    encodeInto(out, text);
    return out;
}

} // namespace torvex
