#include "http/CookieJar.h"

#include "api/CaseInsensitive.h"
#include "api/TextBuffer.h"

#include <algorithm>

namespace torvex {
namespace {

// Only spaces count as blank, the same character the item reader skips; a value of tabs is sent.
bool isBlank(std::string_view value) {
    return value.find_first_not_of(' ') == std::string_view::npos;
}

bool isIgnoredAttribute(std::string_view name) {
    for (std::string_view attribute :
         {"expires", "path", "domain", "version", "discard", "comment"})
        if (startsWithIgnoringCase(name, attribute)) return true;
    return false;
}

// "max-age=0": the first digit of the value is '0' and no digit follows it. Only the item's own
// value is looked at, so a later item's digits cannot expire the cookie.
bool isZeroMaxAge(std::string_view value) {
    std::size_t digit = value.find_first_of("0123456789");
    if (digit == std::string_view::npos || value[digit] != '0') return false;
    return digit + 1 == value.size() || value[digit + 1] < '0' || value[digit + 1] > '9';
}

} // namespace

void CookieJar::applySetCookie(std::string_view items, std::string& recentName) {
    std::size_t pos = 0;
    while (pos < items.size()) {
        pos = items.find_first_not_of(' ', pos);
        if (pos == std::string_view::npos) return;
        std::size_t equals = items.find('=', pos);
        if (equals == std::string_view::npos) return;
        std::size_t itemEnd = items.find(';', pos);
        // A flag without a value (Secure, HttpOnly) ends before the next '='; it is skipped as a
        // whole instead of becoming the front of the next item's name.
        if (itemEnd < equals) {
            pos = itemEnd + 1;
            continue;
        }
        std::string_view name = items.substr(pos, equals - pos);
        std::string_view value =
            items.substr(equals + 1, std::min(itemEnd, items.size()) - equals - 1);
        if (startsWithIgnoringCase(name, "max-age")) {
            if (isZeroMaxAge(value) && !recentName.empty()) {
                auto found = std::find_if(cookies_.begin(), cookies_.end(),
                                          [&](const Cookie& c) { return c.name == recentName; });
                if (found != cookies_.end()) found->value.reset();
            }
        } else if (!isIgnoredAttribute(name)) {
            recentName.assign(name);
            auto found = std::find_if(cookies_.begin(), cookies_.end(),
                                      [&](const Cookie& c) { return c.name == name; });
            if (found != cookies_.end()) {
                if (isBlank(value))
                    cookies_.erase(found);
                else if (found->value)
                    found->value->assign(value);
                else
                    found->value.emplace(value);
            } else if (!isBlank(value)) {
                cookies_.push_back(Cookie{std::string(name), std::string(value)});
            }
        }
        if (itemEnd == std::string_view::npos) return;
        pos = itemEnd + 1;
    }
}

void CookieJar::appendHeader(TextBuffer& out) const {
    bool written = false;
    for (std::size_t i = 0; i < cookies_.size(); ++i) {
        const Cookie& cookie = cookies_[i];
        if (!cookie.value) continue;
        if (!written) out.append("Cookie: ");
        written = true;
        out.append(cookie.name);
        out.append("=");
        out.append(*cookie.value);
        // The separator looks at the jar, not at what is written: a valueless last node still
        // leaves a ';' behind the cookie before it.
        if (i + 1 < cookies_.size()) out.append(";");
    }
    if (written) out.append("\r\n");
}

} // namespace torvex
