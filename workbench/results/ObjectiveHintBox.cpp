#include "results/ObjectiveHintBox.h"

#include "results/ObjectiveHints.h"

#include <QScrollBar>

#include <algorithm>

namespace torvex {

CObjectiveHintBox::CObjectiveHintBox(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setFixedHeight(90);
}

void CObjectiveHintBox::showObjective(int objectiveId) {
    // The hints break lines with CR LF; the box wants LF only.
    const QString hint = QString::fromStdString(GetObjectiveResultsText(objectiveId))
                             .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (hint == toPlainText()) return;
    // Positions, not the cursor: a cursor follows the document as it is emptied.
    const int anchor   = textCursor().anchor();
    const int position = textCursor().position();
    const int scrolled = verticalScrollBar()->value();
    setPlainText(hint);
    const int end      = static_cast<int>(hint.size());
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::min(anchor, end));
    cursor.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    verticalScrollBar()->setValue(scrolled);
}

} // namespace torvex
