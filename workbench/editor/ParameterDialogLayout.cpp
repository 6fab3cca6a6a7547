// The parameter dialog's controls and their placement: the components with their buttons on the
// left, the functions and the chosen function's fields on the right, OK and Cancel below.
#include "editor/IntegerSpinEdit.h"
#include "editor/ParameterDialog.h"

#include "app/NamedWidget.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace torvex {
namespace {

constexpr int kDescriptionRows = 6; // room for the longest description without the group growing

const char* controlName(FunctionField field) {
    static const char* const names[kFunctionFieldCount] = {
        "staticText", "prefix",       "from",    "to",       "start",
        "shift",      "argumentName", "postfix", "mimeType", "list"};
    return names[static_cast<int>(field)];
}

QLabel* captionFor(const QString& text, QWidget* buddy) {
    auto* caption = new QLabel(text);
    caption->setBuddy(buddy);
    return caption;
}

} // namespace

QWidget* CParameterDialog::createComponentsPane() {
    components_ = named(new QListWidget, "components");
    components_->setSelectionMode(QAbstractItemView::SingleSelection);
    add_    = named(new QPushButton(tr("Add")), "addComponent");
    delete_ = named(new QPushButton(tr("Delete")), "deleteComponent");
    up_     = named(new QPushButton(tr("Up")), "moveUp");
    down_   = named(new QPushButton(tr("Down")), "moveDown");

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {add_, delete_, up_, down_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* pane   = new QWidget;
    auto* layout = new QGridLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(captionFor(tr("&Formula components:"), components_), 0, 0, 1, 2);
    layout->addWidget(components_, 1, 0);
    layout->addLayout(buttons, 1, 1);
    layout->setRowStretch(1, 1);
    return pane;
}

QWidget* CParameterDialog::createFunctionsPane() {
    functions_ = named(new QListWidget, "functions");
    functions_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int kind = 0; kind < int(functionKinds().size()); ++kind) {
        auto* row = new QListWidgetItem(tr(functionKinds()[kind].listText), functions_);
        row->setData(Qt::UserRole, kind);
    }
    // All ten kinds in view at once.
    functions_->setMinimumHeight(functions_->sizeHintForRow(0) * functions_->count() +
                                 2 * functions_->frameWidth() + 4);

    auto* pane   = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(captionFor(tr("F&unctions:"), functions_));
    layout->addWidget(functions_);
    layout->addWidget(createFieldsGroup(), 1);
    return pane;
}

QGroupBox* CParameterDialog::createFieldsGroup() {
    fieldsGroup_ = named(new QGroupBox(tr("Function parameters")), "functionParameters");
    fieldsForm_  = new QFormLayout;
    fieldsForm_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (int each = 0; each < kFunctionFieldCount; ++each) {
        const auto field = static_cast<FunctionField>(each);
        QWidget* widget  = createField(field);
        if (field == FunctionField::kList)
            fieldsForm_->addRow(widget);
        else
            fieldsForm_->addRow(tr(fieldLabel(field)), widget);
    }

    description_ = named(new QLabel, "description");
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description_->setMinimumHeight(description_->fontMetrics().lineSpacing() * kDescriptionRows);

    auto* layout = new QVBoxLayout(fieldsGroup_);
    layout->addLayout(fieldsForm_);
    layout->addWidget(description_, 1);

    // Room for the tallest kind, so that the window keeps its size whichever kind is shown.
    int height = 0;
    for (QWidget* field : fields_) fieldsForm_->setRowVisible(field, false);
    for (const FunctionKind& kind : functionKinds()) {
        for (FunctionField field : kind.fields)
            fieldsForm_->setRowVisible(fields_[int(field)], true);
        height = std::max(height, fieldsGroup_->sizeHint().height());
        for (FunctionField field : kind.fields)
            fieldsForm_->setRowVisible(fields_[int(field)], false);
    }
    fieldsGroup_->setMinimumHeight(height);
    return fieldsGroup_;
}

QWidget* CParameterDialog::createField(FunctionField field) {
    QWidget* widget = nullptr;
    if (field == FunctionField::kList) {
        list_ = new QPlainTextEdit;
        list_->setTabChangesFocus(true);
        connect(list_, &QPlainTextEdit::textChanged, this, &CParameterDialog::listEdited);
        widget = list_;
    } else if (isNumberField(field)) {
        auto* number = new IntegerSpinEdit(kMaxNumber);
        connect(number, &IntegerSpinEdit::textChanged, this, &CParameterDialog::fieldEdited);
        connect(number, &IntegerSpinEdit::left, this, [this, field] { numberLeft(field); });
        widget = number;
    } else {
        auto* text = new QLineEdit;
        text->setMaxLength(kMaxTextLength);
        connect(text, &QLineEdit::textChanged, this, &CParameterDialog::fieldEdited);
        widget = text;
    }
    fields_[static_cast<int>(field)] = named(widget, controlName(field));
    return widget;
}

} // namespace torvex
