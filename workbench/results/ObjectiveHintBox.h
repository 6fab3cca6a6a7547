#pragma once

#include <QPlainTextEdit>

namespace torvex {

// The box under the result views with the hint of the scenario's testing objective: what to
// look at in the results for that kind of test.
class CObjectiveHintBox : public QPlainTextEdit {
public:
    explicit CObjectiveHintBox(QWidget* parent = nullptr);
    // Shows the objective's hint, keeping the selection and the scroll position.
    void showObjective(int objectiveId);
};

} // namespace torvex
