#pragma once

namespace torvex {

struct Parameter;
struct RequestDefinition;

// A piece of a content body: a parameter named "pcontent", in any case.
bool isContentParameter(const Parameter& parameter);

// Turns the definition's content into "pcontent" parameters: each $-function call becomes one
// parameter, the text between calls another, and the content buffer is emptied (it stays, marking
// a content request). Earlier "pcontent" parameters are replaced. A call that cannot be read is
// reported and sends nothing; loading goes on.
void makeContentParameters(RequestDefinition& definition, int* slotCounter);

} // namespace torvex
