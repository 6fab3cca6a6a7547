#include "script/VariableExport.h"

#include "api/FixedText.h"
#include "script/RequestDefinition.h"
#include "script/UserScriptState.h"

namespace torvex {
namespace {

constexpr int capturePairs = 10;

} // namespace

void fillExportTemplate(std::string& value, std::string_view templateText, const char* subject,
                        const int* pairs, int pairCount) {
    value.clear();
    for (std::size_t i = 0; i < templateText.size() && value.size() < maxVariableLength; ++i) {
        char c = templateText[i];
        if (c != '$') {
            value += c;
            continue;
        }
        if (++i >= templateText.size()) break;
        char next = templateText[i];
        if (next == '$') {
            value += '$';
        } else if (next >= '0' && next <= '9') {
            int group = next - '0';
            if (group < pairCount && pairs[2 * group] >= 0)
                value.append(subject + pairs[2 * group], pairs[2 * group + 1] - pairs[2 * group]);
        } // '$' and any other character: both dropped
    }
    value.resize(utf8PrefixLength(value, maxVariableLength));
}

void exportVariables(UserScriptState& user, const RequestDefinition& copy, ResponseText response) {
    if (!copy.exportvars) return;
    copy.exportvars->forEach([&](const std::string& variable, const ExportRule& rule) {
        int pairs[2 * capturePairs];
        int count = capturePairs;
        if (response.present() && rule.expression->match(response.c_str(), pairs, count)) {
            fillExportTemplate(user.scratch, rule.templateText, response.c_str(), pairs, count);
            if (std::string* existing = user.variables.find(variable.c_str()))
                existing->assign(user.scratch);
            else
                user.variables.insert(variable.c_str(), user.scratch);
        } else {
            user.variables.erase(variable.c_str());
        }
    });
}

} // namespace torvex
