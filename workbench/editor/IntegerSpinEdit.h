#pragma once

#include <QAbstractSpinBox>

#include <optional>

namespace torvex {

// A number box that takes any text while typing: its arrows step within [0, maximum], but "12x"
// or a number past the maximum stays in the box, so that the dialog reading it can say what is
// wrong instead of the keystrokes being swallowed.
class IntegerSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit IntegerSpinEdit(qint64 maximum, QWidget* parent = nullptr);

    void setNumber(qint64 value);
    // The integer typed (saturated beyond 64 bits), or none when the text is not an integer.
    std::optional<qint64> number() const;

    void stepBy(int steps) override;
    QValidator::State validate(QString& text, int& position) const override;
    QSize sizeHint() const override;

signals:
    void textChanged();
    // The user moved the focus elsewhere in the window (not a message box or another window).
    void left();

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    qint64 maximum_;
};

} // namespace torvex
