#include "editor/FunctionKinds.h"

#include "model/ReqParamFunction.h"

namespace torvex {
namespace {

using F = FunctionField;

// Line breaks as the component keeps them in a list (CR LF) and as an edit box gives them ('\n').
std::string withLineBreaks(const std::string& text, const char* from, const char* to) {
    const std::string gap(from);
    std::string out;
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(gap, at)) != std::string::npos; at = next + gap.size())
        out.append(text, at, next - at) += to;
    return out.append(text, at);
}

} // namespace

const std::vector<FunctionKind>& functionKinds() {
    static const std::vector<FunctionKind> kinds = {
        {"Static text",
         "Returns the specified string. Initial value is the recorded value of parameter.",
         {F::kStaticText}},
        {"Numeric random",
         "Returns the concatenation of prefix string and evently distributed random number in the "
         "specified range.",
         {F::kPrefix, F::kFrom, F::kTo}},
        {"Alphanumeric random",
         "Returns the random alphanumeric string with length in the specified range.",
         {F::kFrom, F::kTo}},
        {"Random from list",
         "Returns the random element from specified list. To specify list type one list element "
         "per line.",
         {F::kList}},
        {"Ordered list",
         "Returns the 1-st element from specified list for the 1-st iteration, the 2-nd element "
         "for the 2-nd iteration and so on. To specify list type one list element per line.",
         {F::kList}},
        {"Sequence",
         "Returns sequence of strings that are the concatenation of the prefix string and integer "
         "value that increases by 1 with each iteration. If the shift value is specified, then the "
         "starting value for different virtual users will be shifted using this value.",
         {F::kPrefix, F::kStart, F::kShift}},
        {"URL",
         "Returns the value of the specified parameter of GET or POST request from HTML code of "
         "response to the previos request.",
         {F::kName}},
        {"Hidden parameter",
         "Returns the value of hidden parameter from HTML code of response to the previos "
         "request.",
         {F::kName}},
        {"User number",
         "Returns the concatenation of prefix string and the ordinal number of the current "
         "virtual user.",
         {F::kPrefix, F::kPostfix}},
        {"File", "Returns the file with specified name and mime type.", {F::kName, F::kMimeType}},
    };
    return kinds;
}

const char* fieldLabel(FunctionField field) {
    switch (field) {
    case F::kStaticText:
        return "&Static text";
    case F::kPrefix:
        return "&Prefix";
    case F::kFrom:
        return "F&rom";
    case F::kTo:
        return "&To";
    case F::kStart:
        return "St&art";
    case F::kShift:
        return "&Shift";
    case F::kName:
        return "&Name";
    case F::kPostfix:
        return "Postfi&x";
    case F::kMimeType:
        return "&Mime type";
    case F::kList:
        return "";
    }
    return "";
}

bool isNumberField(FunctionField field) {
    return field == F::kFrom || field == F::kTo || field == F::kStart || field == F::kShift;
}

std::string fieldText(const CReqParamFunction& component, FunctionField field) {
    switch (field) {
    case F::kPostfix:
    case F::kMimeType:
        return component.text2();
    case F::kList:
        return withLineBreaks(component.listText(), "\r\n", "\n");
    default:
        return component.text();
    }
}

void setFieldText(CReqParamFunction& component, FunctionField field, const std::string& text) {
    switch (field) {
    case F::kPostfix:
    case F::kMimeType:
        component.setText2(text);
        break;
    case F::kList:
        // Pasted lines may end in CR LF: drop the CRs so that every line break counts once.
        component.setListText(withLineBreaks(withLineBreaks(text, "\r", ""), "\n", "\r\n"));
        break;
    default:
        component.setText(text);
        break;
    }
}

std::uint32_t fieldNumber(const CReqParamFunction& component, FunctionField field) {
    switch (field) {
    case F::kTo:
        return component.to();
    case F::kShift:
        return component.shift();
    default:
        return component.from();
    }
}

void setFieldNumber(CReqParamFunction& component, FunctionField field, std::uint32_t value) {
    switch (field) {
    case F::kTo:
        component.setTo(value);
        break;
    case F::kShift:
        component.setShift(value);
        break;
    default:
        component.setFrom(value);
        break;
    }
}

} // namespace torvex
