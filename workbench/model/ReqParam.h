#pragma once

#include "model/ReqParamFunction.h"

#include <string>
#include <vector>

namespace torvex {

// A request parameter: a name and a value made of components. The name "header$" marks an extra
// header line of a recorded request.
class CReqParam {
public:
    std::string name;
    std::string extraText; // carried along and saved, never shown or sent
    bool encode = false;   // percent-encode its static texts in the test script
    std::vector<CReqParamFunction> components;

    // Sets the name and the encode flag; "header$" lines are never encoded.
    void setNameAndEncode(const std::string& newName, bool encodeTexts);
    // Forgets the components, the name and the encode flag.
    void clear();
    // The components' expressions joined by `separator` where both sides are non-empty.
    std::string valueText(bool unescapeCommas, const std::string& separator) const;
};

} // namespace torvex
