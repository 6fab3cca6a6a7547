#pragma once

#include "api/NameTable.h"
#include "script/ResponseText.h"

#include <string>
#include <string_view>

namespace torvex {

// Resolves a request path that begins with '$' from the previous response or the user's
// variables: "$action" (the first form's action), "$href(text)" (the link around the first
// occurrence of text), "$var(name)" or "$var(name,default)". Returns false when the form is
// unknown or nothing is found; the caller then sends the test set's "uri" option.
bool resolveDynamicUri(std::string_view uri, ResponseText previousBody,
                       const NameTable<std::string>& variables, std::string& out);

} // namespace torvex
