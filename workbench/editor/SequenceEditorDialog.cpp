#include "editor/SequenceEditorDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace torvex {
namespace {

QListWidget* createList(const char* name) {
    auto* list = new QListWidget;
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
}

void fill(QListWidget* list, const std::vector<std::string>& names) {
    list->clear();
    for (const std::string& name : names)
        if (!name.empty()) list->addItem(QString::fromStdString(name));
}

// The selected rows, top to bottom.
std::vector<int> selectedRows(const QListWidget* list) {
    std::vector<int> rows;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected()) rows.push_back(row);
    return rows;
}

} // namespace

CSequenceEditorDialog::CSequenceEditorDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Sequence Editor"));
    choices_             = createList("choices");
    sequenceList_        = createList("sequence");
    auto* choicesCaption = new QLabel(tr("&Requests:"));
    choicesCaption->setBuddy(choices_);
    caption_ = new QLabel;
    caption_->setBuddy(sequenceList_);

    add_          = createButton(tr("&Add >>"), tr("Insert Request"), "add");
    remove_       = createButton(tr("<< Re&move"), tr("Remove Request"), "remove");
    up_           = createButton(tr("Up"), tr("Move Up"), "up");
    down_         = createButton(tr("Down"), tr("Move Down"), "down");
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {add_, remove_}) buttons->addWidget(button);
    buttons->addSpacing(24);
    for (QPushButton* button : {up_, down_}) buttons->addWidget(button);
    buttons->addStretch();

    auto* closing = new QDialogButtonBox;
    closing->addButton(tr("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    closing->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(closing, &QDialogButtonBox::accepted, this, &CSequenceEditorDialog::accept);
    connect(closing, &QDialogButtonBox::rejected, this, &CSequenceEditorDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(choicesCaption, 0, 0);
    layout->addWidget(caption_, 0, 2);
    layout->addWidget(choices_, 1, 0);
    layout->addLayout(buttons, 1, 1);
    layout->addWidget(sequenceList_, 1, 2);
    layout->addWidget(closing, 2, 0, 1, 3);
    layout->setRowStretch(1, 1);

    connect(add_, &QPushButton::clicked, this, &CSequenceEditorDialog::addSelected);
    connect(remove_, &QPushButton::clicked, this, &CSequenceEditorDialog::removeSelected);
    connect(up_, &QPushButton::clicked, this, &CSequenceEditorDialog::moveSelectedUp);
    connect(down_, &QPushButton::clicked, this, &CSequenceEditorDialog::moveSelectedDown);
    for (QListWidget* list : {choices_, sequenceList_})
        connect(list, &QListWidget::itemSelectionChanged, this,
                &CSequenceEditorDialog::enableButtons);
    enableButtons();
}

QPushButton* CSequenceEditorDialog::createButton(const QString& text, const QString& toolTip,
                                                 const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setAutoDefault(false); // Enter keeps meaning OK
    return button;
}

void CSequenceEditorDialog::setCaption(const QString& caption) {
    caption_->setText(caption);
}

void CSequenceEditorDialog::setChoices(const std::vector<std::string>& names) {
    fill(choices_, names);
    enableButtons();
}

void CSequenceEditorDialog::setSequence(const std::vector<std::string>& names) {
    sequence_ = names;
    fill(sequenceList_, names);
    enableButtons();
}

void CSequenceEditorDialog::accept() {
    sequence_.clear();
    for (int row = 0; row < sequenceList_->count(); ++row)
        sequence_.push_back(sequenceList_->item(row)->text().toStdString());
    QDialog::accept();
}

// Each name goes right after the first selected sequence row, looked up again for every name, so
// names added there come out in reverse order; without a selection they are appended in order.
void CSequenceEditorDialog::addSelected() {
    for (int choice : selectedRows(choices_)) {
        const std::vector<int> selected = selectedRows(sequenceList_);
        const int at = selected.empty() ? sequenceList_->count() : selected.front() + 1;
        sequenceList_->insertItem(at, choices_->item(choice)->text());
    }
    choices_->setFocus();
    enableButtons(); // the row count changed, the selection did not
}

void CSequenceEditorDialog::removeSelected() {
    const std::vector<int> selected = selectedRows(sequenceList_);
    for (auto row = selected.rbegin(); row != selected.rend(); ++row)
        delete sequenceList_->takeItem(*row);
    sequenceList_->setFocus();
    enableButtons();
}

void CSequenceEditorDialog::moveSelectedUp() {
    for (int row : selectedRows(sequenceList_))
        if (row > 0) moveRow(row, row - 1);
}

void CSequenceEditorDialog::moveSelectedDown() {
    const std::vector<int> selected = selectedRows(sequenceList_);
    for (auto row = selected.rbegin(); row != selected.rend(); ++row)
        if (*row + 1 < sequenceList_->count()) moveRow(*row, *row + 1);
}

// Moves a selected row; it stays selected.
void CSequenceEditorDialog::moveRow(int from, int to) {
    QListWidgetItem* item = sequenceList_->takeItem(from);
    sequenceList_->insertItem(to, item);
    item->setSelected(true);
}

void CSequenceEditorDialog::enableButtons() {
    const std::vector<int> selected = selectedRows(sequenceList_);
    const int rows                  = sequenceList_->count();
    add_->setEnabled(!selectedRows(choices_).empty());
    remove_->setEnabled(!selected.empty());
    up_->setEnabled(rows >= 2 && !selected.empty() && selected.front() != 0);
    down_->setEnabled(rows >= 2 && !selected.empty() && selected.back() != rows - 1);
}

} // namespace torvex
