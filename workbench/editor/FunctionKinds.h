#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

class CReqParamFunction;

// The labelled fields of the parameter dialog's "Function parameters" group. Each one always edits
// the same component member, whatever the kind: the static text, prefix and name the first text,
// the postfix and MIME type the second one, the list the first text one element per line, from and
// start the lower number, to the upper one, shift the shift.
enum class FunctionField {
    kStaticText,
    kPrefix,
    kFrom,
    kTo,
    kStart,
    kShift,
    kName,
    kPostfix,
    kMimeType,
    kList,
};
constexpr int kFunctionFieldCount = 10;

// One row of the "F&unctions:" list; its index in functionKinds() is the component kind.
struct FunctionKind {
    const char* listText;
    const char* description;
    std::vector<FunctionField> fields; // shown top to bottom
};

const std::vector<FunctionKind>& functionKinds();

// The field's label with its mnemonic; empty for the list, which has none.
const char* fieldLabel(FunctionField field);
bool isNumberField(FunctionField field);

// What a text field shows of a component: commas unescaped, a list one element per line ('\n').
std::string fieldText(const CReqParamFunction& component, FunctionField field);
// Stores an edited text field: commas escaped; a list loses the line breaks at both ends and
// keeps its elements apart with commas.
void setFieldText(CReqParamFunction& component, FunctionField field, const std::string& text);
std::uint32_t fieldNumber(const CReqParamFunction& component, FunctionField field);
void setFieldNumber(CReqParamFunction& component, FunctionField field, std::uint32_t value);

} // namespace torvex
