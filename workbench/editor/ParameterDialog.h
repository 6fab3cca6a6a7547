#pragma once

class QWidget;

namespace torvex {

class CReqParam;

// Edits a parameter's name and its value as one static text, modally. On OK the parameter gets
// the name and a single static-text component with the value; on Cancel it is left unchanged.
// True on OK.
bool editParameter(CReqParam& parameter, QWidget* parent);

} // namespace torvex
