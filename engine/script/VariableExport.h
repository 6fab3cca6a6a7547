#pragma once

#include <string>
#include <string_view>

#include "script/ResponseText.h"

namespace torvex {

struct RequestDefinition;
struct UserScriptState;

// Longest value of a user variable.
constexpr std::size_t maxVariableLength = 255;

// Runs the copy's $exportvar rules over a response: a match sets the variable
// from the rule's template, no match deletes it.
void exportVariables(UserScriptState& user, const RequestDefinition& copy, ResponseText response);

// Fills an export template from a match: "$d" inserts capture d, "$$" one '$', '$' and any other
// character nothing. The value is cut at maxVariableLength bytes.
void fillExportTemplate(std::string& value, std::string_view templateText, const char* subject,
                        const int* pairs, int pairCount);

} // namespace torvex
