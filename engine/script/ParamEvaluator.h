#pragma once

#include "script/ParamPart.h"
#include "script/ResponseText.h"

#include <string>

namespace torvex {

struct UserScriptState;
class TextBuffer;

// What a parameter part yields for one user, appended to `out`, given the previous response.
// Nothing here fails: a missing response, match, variable, file or list item yields nothing.
void appendPartValue(TextBuffer& out, const CParamPart& part, UserScriptState& user,
                     ResponseText response, bool multipart);

// Every part of a value in order.
void appendPartsValue(TextBuffer& out, const std::vector<CParamPart>& parts, UserScriptState& user,
                      ResponseText response, bool multipart);

// A parameter that starts with $rxname is named from the previous response: on a match the name
// made from the template is put into `name` and true comes back.
bool nameFromResponse(const part::RxName& rxname, ResponseText response, std::string& name);

} // namespace torvex
