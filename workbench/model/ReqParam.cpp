#include "model/ReqParam.h"

namespace torvex {

void CReqParam::setNameAndEncode(const std::string& newName, bool encodeTexts) {
    name   = newName;
    encode = encodeTexts && newName != "header$";
}

void CReqParam::clear() {
    components.clear();
    encode = false;
    name.clear();
}

std::string CReqParam::valueText(bool unescapeCommas, const std::string& separator) const {
    std::string out;
    for (const CReqParamFunction& component : components) {
        std::string text = component.expressionText(unescapeCommas, encode);
        if (!out.empty() && !text.empty()) out += separator;
        out += text;
    }
    return out;
}

} // namespace torvex
