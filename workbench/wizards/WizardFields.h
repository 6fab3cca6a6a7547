#pragma once

#include <QSpinBox>

#include <string>

class QLabel;
class QWizardPage;

namespace torvex {

// A number box of the scenario wizard: its arrows keep to the field's range while typing may go
// past either end (up to seven digits), so that a value out of range reaches the page's check
// and its message instead of being corrected silently when the box loses the focus.
class CWizardNumberBox : public QSpinBox {
    Q_OBJECT
public:
    CWizardNumberBox(int minimum, int maximum, QWidget* parent = nullptr);
    int checkedMinimum() const { return checkedMinimum_; }
    int checkedMaximum() const { return checkedMaximum_; }
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int checkedMinimum_;
    int checkedMaximum_;
};

// Shows `message` and puts the cursor into `field`; returns false for the page's Next check.
bool refuseField(QWizardPage* page, const QString& message, QWidget* field);

// Refuses a box the user can edit (shown and enabled on `page`) whose text is not an integer
// within its range, with "Please enter an integer between %1 and %2.".
bool checkRange(QWizardPage* page, CWizardNumberBox* box);

// A label whose mnemonic moves the focus to `buddy`.
QLabel* buddyLabel(const QString& text, QWidget* buddy);

// A label that wraps its text over the page's width.
QLabel* wrappedLabel(const QString& text, const char* name);

// Text with CR LF line breaks as a widget shows it.
QString displayText(const std::string& text);

} // namespace torvex
