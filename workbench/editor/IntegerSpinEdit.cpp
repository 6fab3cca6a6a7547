#include "editor/IntegerSpinEdit.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <limits>

namespace torvex {

IntegerSpinEdit::IntegerSpinEdit(qint64 maximum, QWidget* parent)
    : QAbstractSpinBox(parent), maximum_(maximum) {
    setNumber(0);
    connect(lineEdit(), &QLineEdit::textChanged, this, &IntegerSpinEdit::textChanged);
}

void IntegerSpinEdit::setNumber(qint64 value) {
    lineEdit()->setText(QString::number(value));
}

std::optional<qint64> IntegerSpinEdit::number() const {
    static const QRegularExpression integer(QStringLiteral("^\\s*([+-]?)(\\d+)\\s*$"));
    const QRegularExpressionMatch match = integer.match(text());
    if (!match.hasMatch()) return std::nullopt;
    bool fits          = false;
    const qint64 value = match.captured(2).toLongLong(&fits);
    const bool minus   = match.captured(1) == QLatin1String("-");
    if (!fits)
        return minus ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return minus ? -value : value;
}

void IntegerSpinEdit::stepBy(int steps) {
    const qint64 from = std::clamp<qint64>(number().value_or(0), 0, maximum_);
    setNumber(std::clamp<qint64>(from + steps, 0, maximum_));
    selectAll();
}

QValidator::State IntegerSpinEdit::validate(QString&, int&) const {
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled IntegerSpinEdit::stepEnabled() const {
    const std::optional<qint64> value = number();
    if (!value) return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (*value > 0) enabled |= StepDownEnabled;
    if (*value < maximum_) enabled |= StepUpEnabled;
    return enabled;
}

QSize IntegerSpinEdit::sizeHint() const {
    ensurePolished();
    const int width = fontMetrics().horizontalAdvance(QString::number(maximum_) + QLatin1Char(' '));
    const int height = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(width + 4, height), this);
}

void IntegerSpinEdit::focusOutEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit left();
}

} // namespace torvex
