#include "http/ResponseHeaders.h"

#include "api/CaseInsensitive.h"
#include "http/CookieJar.h"

namespace torvex {

std::size_t processHeaders(std::string_view response, int status, CookieJar& jar,
                           std::string& location) {
    constexpr std::string_view locationHeader  = "Location:";
    constexpr std::string_view setCookieHeader = "Set-Cookie:";
    // A 100 Continue block stands before the real headers when the response kept it.
    int blankLinesLeft = status == 100 ? 2 : 1;
    std::string recentName;
    std::size_t pos = 0;
    while (pos < response.size()) {
        std::size_t lineEnd   = response.find('\n', pos);
        std::size_t next      = lineEnd == std::string_view::npos ? response.size() : lineEnd + 1;
        std::string_view line = response.substr(pos, next - pos);
        line                  = line.substr(0, line.find_first_of("\r\n"));
        pos                   = next;
        if (line.empty()) {
            if (lineEnd != std::string_view::npos && --blankLinesLeft == 0) return pos;
            continue;
        }
        if (startsWithIgnoringCase(line, locationHeader)) {
            line.remove_prefix(locationHeader.size());
            std::size_t start = line.find_first_not_of(' ');
            location.assign(start == std::string_view::npos ? std::string_view{}
                                                            : line.substr(start));
        } else if (startsWithIgnoringCase(line, setCookieHeader)) {
            jar.applySetCookie(line.substr(setCookieHeader.size()), recentName);
        }
    }
    return response.size();
}

} // namespace torvex
