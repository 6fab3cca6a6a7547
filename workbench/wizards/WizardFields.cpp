#include "wizards/WizardFields.h"

#include "app/NamedWidget.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QWizardPage>

#include <algorithm>

namespace torvex {
namespace {

constexpr int kTypingMaximum = 9999999;

} // namespace

CWizardNumberBox::CWizardNumberBox(int minimum, int maximum, QWidget* parent)
    : QSpinBox(parent), checkedMinimum_(minimum), checkedMaximum_(maximum) {
    setRange(std::min(0, minimum), kTypingMaximum);
    setValue(minimum);
}

void CWizardNumberBox::stepBy(int steps) {
    setValue(std::clamp(value() + steps, checkedMinimum_, checkedMaximum_));
    selectAll();
}

QAbstractSpinBox::StepEnabled CWizardNumberBox::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (value() > checkedMinimum_) enabled |= StepDownEnabled;
    if (value() < checkedMaximum_) enabled |= StepUpEnabled;
    return enabled;
}

bool refuseField(QWizardPage* page, const QString& message, QWidget* field) {
    QMessageBox::warning(page, QGuiApplication::applicationDisplayName(), message);
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    if (auto* spin = qobject_cast<QSpinBox*>(field)) spin->selectAll();
    return false;
}

bool checkRange(QWizardPage* page, CWizardNumberBox* box) {
    if (!box->isVisibleTo(page) || !box->isEnabledTo(page)) return true;
    bool isNumber    = false;
    const int number = box->cleanText().toInt(&isNumber);
    if (isNumber && number >= box->checkedMinimum() && number <= box->checkedMaximum()) {
        return true;
    }
    return refuseField(page,
                       QWizardPage::tr("Please enter an integer between %1 and %2.")
                           .arg(box->checkedMinimum())
                           .arg(box->checkedMaximum()),
                       box);
}

QLabel* buddyLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QLabel* wrappedLabel(const QString& text, const char* name) {
    auto* label = named(new QLabel(text), name);
    label->setWordWrap(true);
    return label;
}

QString displayText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace torvex
