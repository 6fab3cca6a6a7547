#include "script/ContentParameters.h"

#include "api/CaseInsensitive.h"
#include "script/ParamReader.h"
#include "script/RequestDefinition.h"

#include <algorithm>

namespace torvex {
namespace {

constexpr std::string_view contentName = "pcontent";

// The length of the $-function call at text[at] == '$', or 0 when none starts there. A call runs
// to the parenthesis that closes its own '(' (quotes are not considered), or to the end.
std::size_t callLength(std::string_view text, std::size_t at) {
    static constexpr std::string_view functions[] = {
        "nrand(",  "arand(", "lrand(",  "seq(", "urlparam(", "hidden(",
        "regexp(", "file(",  "rxname(", "var(", "clid(",     "list(",
    };
    std::string_view rest = text.substr(at + 1);
    auto opens            = [&](std::string_view f) { return startsWithIgnoringCase(rest, f); };
    auto function         = std::find_if(std::begin(functions), std::end(functions), opens);
    if (function == std::end(functions)) return 0;

    int depth = 0;
    for (std::size_t i = function->size() - 1; i < rest.size(); ++i) {
        if (rest[i] == '(') ++depth;
        if (rest[i] == ')' && --depth == 0) return i + 2;
    }
    return text.size() - at;
}

} // namespace

bool isContentParameter(const Parameter& p) {
    return equalsIgnoringCase(p.name, contentName);
}

void makeContentParameters(RequestDefinition& definition, int* slotCounter) {
    ParameterList& list = *definition.parameters;
    list.erase(std::remove_if(list.begin(), list.end(), isContentParameter), list.end());

    ParamReader reader(definition, slotCounter);
    std::string_view text = definition.content->view();
    std::size_t textFrom  = 0;
    auto addText          = [&](std::size_t end) {
        if (end > textFrom)
            list.push_back(
                         {std::string(contentName),
                 {CParamPart{part::Literal{std::string(text.substr(textFrom, end - textFrom))}}}});
    };
    for (std::size_t at = text.find('$'); at != std::string_view::npos; at = text.find('$', at)) {
        if (at + 1 < text.size() && text[at + 1] == '$') {
            at += 2; // "$$" stays in the text as it is
            continue;
        }
        std::size_t length = callLength(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        addText(at);
        Parameter call{std::string(contentName), std::vector<CParamPart>(1)};
        // A call that cannot be read has been reported; it sends nothing.
        if (reader.readPart(contentName, text.substr(at, length), call.parts.front()))
            list.push_back(std::move(call));
        at = textFrom = at + length;
    }
    addText(text.size());
    definition.content->clear();
}

} // namespace torvex
