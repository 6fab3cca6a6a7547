#include "editor/ParameterDialog.h"

#include "app/NamedWidget.h"
#include "editor/IntegerSpinEdit.h"
#include "model/ReqParam.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace torvex {
namespace {

// Shows a stored text whole: one longer than typing allows (from a file) is not cut, which would
// be written back at the next change.
void showStoredText(QLineEdit* field, const std::string& text, int typingLimit) {
    const QString shown = QString::fromStdString(text);
    field->setMaxLength(std::max(typingLimit, int(shown.size())));
    field->setText(shown);
}

} // namespace

CParameterDialog::CParameterDialog(CReqParam& parameter, QWidget* parent)
    : QDialog(parent), parameter_(parameter) {
    setWindowTitle(tr("Parameter Value Dynamic Calculation"));
    name_    = named(new QLineEdit, "parameterName");
    formula_ = named(new QLineEdit, "formula");
    formula_->setReadOnly(true);
    formula_->setMaxLength(std::numeric_limits<int>::max());
    auto* top = new QFormLayout;
    top->addRow(tr("&Name:"), name_);
    top->addRow(tr("Formula:"), formula_);

    auto* panes = new QHBoxLayout;
    panes->addWidget(createComponentsPane(), 2);
    panes->addWidget(createFunctionsPane(), 3);

    auto* closing = named(new QDialogButtonBox, "buttons");
    named(closing->addButton(tr("OK"), QDialogButtonBox::AcceptRole), "ok")->setDefault(true);
    named(closing->addButton(tr("Cancel"), QDialogButtonBox::RejectRole), "cancel");
    connect(closing, &QDialogButtonBox::accepted, this, &CParameterDialog::accept);
    connect(closing, &QDialogButtonBox::rejected, this, &CParameterDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(panes, 1);
    layout->addWidget(closing);

    // Opening: no fields until a component is selected, then the first one's.
    hideFields();
    showStoredText(name_, parameter_.name, kMaxNameLength);
    copies_ = parameter_.components;
    for (std::size_t row = 1; row <= copies_.size(); ++row)
        components_->addItem(tr("Formula %1").arg(row));
    connect(components_, &QListWidget::itemSelectionChanged, this,
            &CParameterDialog::componentSelected);
    connect(functions_, &QListWidget::itemSelectionChanged, this,
            &CParameterDialog::functionSelected);
    connect(add_, &QPushButton::clicked, this, &CParameterDialog::addComponent);
    connect(delete_, &QPushButton::clicked, this, &CParameterDialog::deleteComponent);
    connect(up_, &QPushButton::clicked, this, [this] { moveComponent(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { moveComponent(1); });
    if (!copies_.empty()) components_->setCurrentRow(0);
    rebuildFormula();
    ready_ = true;
    enableControls();
}

int CParameterDialog::selectedRow() const {
    const QList<QListWidgetItem*> selected = components_->selectedItems();
    return selected.isEmpty() ? -1 : components_->row(selected.front());
}

void CParameterDialog::componentSelected() {
    current_ = selectedRow();
    {
        // The kind is shown below whether or not its row was selected already.
        const QSignalBlocker quiet(functions_);
        functions_->clearSelection();
        if (current_ >= 0 && copies_[current_].kind() >= 0 &&
            copies_[current_].kind() < functions_->count())
            functions_->setCurrentRow(copies_[current_].kind());
    }
    functionSelected();
    enableControls();
}

void CParameterDialog::functionSelected() {
    const QList<QListWidgetItem*> selected = functions_->selectedItems();
    if (current_ < 0) {
        // Nothing to choose a kind for.
        if (!selected.isEmpty()) {
            const QSignalBlocker quiet(functions_);
            functions_->clearSelection();
        }
        chosenKind_ = -1;
        hideFields();
        return;
    }
    chosenKind_ = selected.isEmpty() ? -1 : selected.front()->data(Qt::UserRole).toInt();
    showFunction();
    rebuildFormula();
}

void CParameterDialog::hideFields() {
    for (QWidget* field : fields_) fieldsForm_->setRowVisible(field, false);
    description_->clear();
}

void CParameterDialog::showFunction() {
    hideFields();
    if (chosenKind_ < 0) return;
    const FunctionKind& kind = functionKinds()[chosenKind_];
    // Another kind's values mean nothing here: it starts from empty texts and zeros.
    const CReqParamFunction shown =
        copies_[current_].kind() == chosenKind_ ? copies_[current_] : CReqParamFunction();
    filling_ = true;
    for (FunctionField field : kind.fields) {
        QWidget* widget = fields_[static_cast<int>(field)];
        if (auto* number = qobject_cast<IntegerSpinEdit*>(widget)) {
            number->setNumber(fieldNumber(shown, field));
        } else if (auto* text = qobject_cast<QLineEdit*>(widget)) {
            showStoredText(text, fieldText(shown, field), kMaxTextLength);
        } else {
            const QString lines = QString::fromStdString(fieldText(shown, field));
            listLimit_          = std::max(kMaxTextLength, int(lines.size()));
            list_->setPlainText(lines);
        }
        fieldsForm_->setRowVisible(widget, true);
    }
    filling_ = false;
    description_->setText(tr(kind.description));
}

void CParameterDialog::listEdited() {
    if (filling_) return;
    const QString lines = list_->toPlainText();
    if (lines.size() > listLimit_) {
        // Typing or pasting past the limit loses the excess, as a line edit's maximum does.
        filling_ = true;
        list_->setPlainText(lines.left(listLimit_));
        list_->moveCursor(QTextCursor::End);
        filling_ = false;
    }
    fieldEdited();
}

void CParameterDialog::fieldEdited() {
    if (!ready_ || filling_ || current_ < 0 || chosenKind_ < 0) return;
    // The chosen kind's fields replace the component's; the members it does not show stay.
    CReqParamFunction edited = copies_[current_];
    edited.setKind(chosenKind_);
    for (FunctionField field : functionKinds()[chosenKind_].fields) {
        QWidget* widget = fields_[static_cast<int>(field)];
        if (isNumberField(field)) {
            const std::optional<std::uint32_t> number = checkedNumber(field, false);
            if (!number) return; // said when the field is left or on OK
            setFieldNumber(edited, field, *number);
        } else if (auto* text = qobject_cast<QLineEdit*>(widget)) {
            setFieldText(edited, field, text->text().toStdString());
        } else {
            setFieldText(edited, field, list_->toPlainText().toStdString());
        }
    }
    copies_[current_] = edited;
    rebuildFormula();
}

void CParameterDialog::numberLeft(FunctionField field) {
    if (current_ < 0 || !fields_[static_cast<int>(field)]->isVisibleTo(this)) return;
    checkedNumber(field, true);
}

std::optional<std::uint32_t> CParameterDialog::checkedNumber(FunctionField field, bool complain) {
    auto* box                         = static_cast<IntegerSpinEdit*>(fields_[int(field)]);
    const std::optional<qint64> typed = box->number();
    QString problem;
    if (!typed)
        problem = tr("Please enter an integer.");
    else if (*typed > kMaxNumber || *typed < -kMaxNumber - 1 ||
             (*typed < 0 && field == FunctionField::kShift))
        problem = tr("Please enter an integer between %1 and %2.").arg(0).arg(kMaxNumber);
    if (!problem.isEmpty()) {
        if (complain) {
            QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), problem);
            box->setFocus();
            box->selectAll();
        }
        return std::nullopt;
    }
    if (*typed >= 0) return static_cast<std::uint32_t>(*typed);
    // A negative bound (from, to, start) means none: it becomes 0, in the box as well.
    const bool wasFilling = filling_;
    filling_              = true;
    box->setNumber(0);
    filling_ = wasFilling;
    return 0u;
}

void CParameterDialog::addComponent() {
    copies_.emplace_back(); // static text, empty texts, zero numbers
    auto* row = new QListWidgetItem(tr("Formula %1").arg(copies_.size()), components_);
    components_->setCurrentItem(row);
    components_->setFocus();
    components_->scrollToItem(row);
    rebuildFormula();
}

void CParameterDialog::deleteComponent() {
    const int row = selectedRow();
    if (row < 0) return;
    {
        // Taking the row moves the selection to a neighbour; nothing may read the copies until
        // they match the rows again.
        const QSignalBlocker quiet(components_);
        delete components_->takeItem(row);
        // No current component afterwards, even where the list would move on to a neighbour.
        components_->setCurrentRow(-1);
        components_->clearSelection();
    }
    copies_.erase(copies_.begin() + row);
    componentSelected();
    renumberRows();
    rebuildFormula();
}

void CParameterDialog::moveComponent(int by) {
    const int row   = selectedRow();
    const int other = row + by;
    if (row < 0 || other < 0 || other >= int(copies_.size())) return;
    std::swap(copies_[row], copies_[other]);
    components_->setCurrentRow(other);
    rebuildFormula();
}

void CParameterDialog::renumberRows() {
    for (int row = 0; row < components_->count(); ++row)
        components_->item(row)->setText(tr("Formula %1").arg(row + 1));
}

void CParameterDialog::rebuildFormula() {
    std::string text;
    for (const CReqParamFunction& component : copies_) {
        const std::string part = component.expressionText(true, false);
        if (!text.empty() && !part.empty()) text += '&';
        text += part;
    }
    formula_->setText(QString::fromStdString(text));
}

void CParameterDialog::enableControls() {
    const int row = selectedRow();
    delete_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < int(copies_.size()));
    functions_->setEnabled(!copies_.empty());
}

void CParameterDialog::accept() {
    if (current_ >= 0 && chosenKind_ >= 0)
        for (FunctionField field : functionKinds()[chosenKind_].fields)
            if (isNumberField(field) && !checkedNumber(field, true)) return;
    // Every other change reached the copies as it was typed.
    parameter_.components.clear();
    // An untouched name keeps its bytes, even those that are not UTF-8.
    if (name_->text() != QString::fromStdString(parameter_.name))
        parameter_.name = name_->text().toStdString();
    parameter_.components = std::move(copies_);
    copies_.clear();
    QDialog::accept();
}

bool editParameter(CReqParam& parameter, QWidget* parent) {
    CParameterDialog dialog(parameter, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace torvex
