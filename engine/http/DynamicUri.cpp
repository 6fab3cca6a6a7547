#include "http/DynamicUri.h"

#include "api/CaseInsensitive.h"
#include "api/FixedText.h"

#include <cstring>

namespace torvex {
namespace {

constexpr std::size_t maxUriLength     = 1023;
constexpr std::size_t maxVariableName  = 63;
constexpr std::string_view plainScheme = "http://";

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// Spaces, control characters and bytes above 0x7F end an unquoted attribute value.
bool endsValue(char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= ' ' || u >= 0x7F || isQuote(c);
}

void assignCut(std::string& out, std::string_view value) {
    out.assign(value.substr(0, utf8PrefixLength(value, maxUriLength)));
}

// The attribute value that starts at `from` (right after its '='): one opening quote skipped, an
// absolute http URL reduced to its path, then up to the next quote, space or non-text byte. An
// unquoted value also ends at the '>' that closes its tag.
void readAttributeUri(std::string_view body, std::size_t from, std::string& out) {
    std::string_view value = body.substr(from);
    const bool quoted      = !value.empty() && isQuote(value.front());
    if (quoted)
        value.remove_prefix(1);
    else
        value = value.substr(0, value.find('>'));
    if (value.starts_with(plainScheme)) {
        value.remove_prefix(plainScheme.size());
        std::size_t pathStart = 0;
        while (pathStart < value.size() && value[pathStart] != '/' && !endsValue(value[pathStart]))
            ++pathStart;
        value.remove_prefix(pathStart);
    }
    std::size_t end = 0;
    while (end < value.size() && !endsValue(value[end])) ++end;
    assignCut(out, value.substr(0, end));
}

// The attribute is looked for as written in lower case first, then in upper case.
std::size_t findAttribute(std::string_view body, std::size_t from, std::string_view lower,
                          std::string_view upper) {
    std::size_t at = body.find(lower, from);
    if (at == std::string_view::npos) at = body.find(upper, from);
    return at == std::string_view::npos ? at : at + lower.size();
}

bool resolveAction(std::string_view body, std::string& out) {
    std::size_t value = findAttribute(body, 0, " action=", " ACTION=");
    if (value == std::string_view::npos) return false;
    readAttributeUri(body, value, out);
    return true;
}

bool resolveHref(std::string_view argument, std::string_view body, std::string& out) {
    if (!argument.empty() && argument.front() == '(') argument.remove_prefix(1);
    argument       = argument.substr(0, argument.find(')'));
    std::size_t at = body.find(argument);
    if (at == std::string_view::npos) return false;
    // Without a '<' before the text the link is looked for from the start of the body.
    std::size_t tag = at == 0 ? std::string_view::npos : body.rfind('<', at - 1);
    std::size_t value =
        findAttribute(body, tag == std::string_view::npos ? 0 : tag, " href=", " HREF=");
    if (value == std::string_view::npos) return false;
    readAttributeUri(body, value, out);
    return true;
}

bool resolveVariable(std::string_view argument, const NameTable<std::string>& variables,
                     std::string& out) {
    if (!argument.empty() && argument.front() == '(') argument.remove_prefix(1);
    std::size_t nameEnd = argument.find_first_of(",)");
    if (nameEnd == std::string_view::npos) return false;
    std::string_view name = argument.substr(0, nameEnd);
    char key[maxVariableName + 1];
    std::size_t keyLength = utf8PrefixLength(name, maxVariableName);
    std::memcpy(key, name.data(), keyLength);
    key[keyLength] = '\0';
    if (const std::string* value = variables.find(key); value && !value->empty()) {
        assignCut(out, *value);
        return true;
    }
    if (argument[nameEnd] != ',') return false;
    std::string_view fallback = argument.substr(nameEnd + 1);
    std::size_t close         = fallback.find(')');
    if (close == std::string_view::npos) return false;
    assignCut(out, fallback.substr(0, close));
    return true;
}

} // namespace

namespace {

bool resolveAny(std::string_view uri, ResponseText previousBody,
                const NameTable<std::string>& variables, std::string& out) {
    if (startsWithIgnoringCase(uri, "$action"))
        return previousBody.present() && resolveAction(previousBody.view(), out);
    if (startsWithIgnoringCase(uri, "$href"))
        return previousBody.present() &&
               resolveHref(uri.substr(std::strlen("$href")), previousBody.view(), out);
    if (startsWithIgnoringCase(uri, "$var"))
        return resolveVariable(uri.substr(std::strlen("$var")), variables, out);
    return false;
}

} // namespace

bool resolveDynamicUri(std::string_view uri, ResponseText previousBody,
                       const NameTable<std::string>& variables, std::string& out) {
    out.clear();
    // An empty path would make a request line without a target.
    return resolveAny(uri, previousBody, variables, out) && !out.empty();
}

} // namespace torvex
