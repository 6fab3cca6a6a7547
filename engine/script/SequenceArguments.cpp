#include "script/SequenceArguments.h"

#include "api/CaseInsensitive.h"
#include "api/FixedText.h"
#include "api/LeadingNumber.h"
#include "script/ArgumentReader.h"
#include "script/ParamReader.h"
#include "script/RequestDefinition.h"

#include <algorithm>

namespace torvex {
namespace {

constexpr std::size_t maxRequestOptionLine = 511;

bool hasParameter(const RequestDefinition& copy, std::string_view name) {
    auto named = [&](const Parameter& p) { return p.name == name; };
    return std::any_of(copy.parameters->begin(), copy.parameters->end(), named) ||
           std::any_of(copy.extraparameters.begin(), copy.extraparameters.end(), named);
}

} // namespace

bool setRequestOption(RequestDefinition& copy, std::string_view line) {
    line                   = line.substr(0, utf8PrefixLength(line, maxRequestOptionLine));
    std::size_t equals     = line.find('=');
    std::string_view name  = line.substr(0, equals);
    std::string_view value = equals == std::string_view::npos ? "" : line.substr(equals + 1);

    if (equalsIgnoringCase(name, "$uri"))
        copy.uri = value;
    else if (equalsIgnoringCase(name, "$server"))
        copy.server = std::string(value);
    else if (equalsIgnoringCase(name, "$port"))
        copy.port = leadingNumber(value);
    else if (equalsIgnoringCase(name, "$method"))
        copy.method = equalsIgnoringCase(value, "get") ? 0 : 1;
    else if (equalsIgnoringCase(name, "$keepalive"))
        copy.keepalive = leadingNumber(value);
    else if (equalsIgnoringCase(name, "$delay")) {
        copy.delaymin    = leadingNumber(value);
        std::size_t dash = value.find('-');
        copy.delaymax = dash == std::string_view::npos ? 0 : leadingNumber(value.substr(dash + 1));
    } else if (equalsIgnoringCase(name, "$secure"))
        copy.secure = leadingNumber(value);
    else
        return false;
    return true;
}

void applyArguments(RequestDefinition& copy, std::string_view arguments) {
    while (!arguments.empty()) {
        ListItem item          = readListItem(arguments);
        std::string_view text  = item.text;
        std::size_t equals     = text.find('=');
        std::string_view name  = text.substr(0, equals);
        std::string_view value = text.substr(std::min(equals + 1, text.size()));

        if (equals == std::string_view::npos || setRequestOption(copy, text)) {
            // an item without '=' is skipped; request options are set
        } else if (name.starts_with('$')) {
            return; // an unknown option ends the arguments
        } else if (hasParameter(copy, name)) {
            copy.overrides.assign(std::string(name).c_str(), std::string(value));
        } else {
            // A new parameter for this entry; one that cannot be read has been reported.
            Parameter parameter;
            if (ParamReader(copy, nullptr).read(name, value, parameter))
                copy.extraparameters.push_back(std::move(parameter));
        }
        if (item.closed) return;
    }
}

void saveRequest(const RequestDefinition& copy, SavedRequest& saved) {
    saved.uri       = copy.uri;
    saved.server    = copy.server;
    saved.port      = copy.port;
    saved.method    = copy.method;
    saved.delaymin  = copy.delaymin;
    saved.delaymax  = copy.delaymax;
    saved.keepalive = copy.keepalive;
    saved.multipart = copy.multipart;
    saved.secure    = copy.secure;
}

void restoreRequest(RequestDefinition& copy, const SavedRequest& saved) {
    resetRequest(copy);
    copy.uri       = saved.uri;
    copy.server    = saved.server;
    copy.port      = saved.port;
    copy.method    = saved.method;
    copy.delaymin  = saved.delaymin;
    copy.delaymax  = saved.delaymax;
    copy.keepalive = saved.keepalive;
    copy.multipart = saved.multipart;
    copy.secure    = saved.secure;
}

void resetRequest(RequestDefinition& copy) {
    copy.extraparameters.clear();
    copy.overrides.clear();
}

} // namespace torvex
