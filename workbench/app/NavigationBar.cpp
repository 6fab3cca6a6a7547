#include "app/NavigationBar.h"

#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace torvex {

namespace {

constexpr int kBarWidth = 110;
constexpr int kIconSize = 32;
// What an item's text may take of the bar's width, leaving room for the button's frame.
constexpr int kTextWidth = kBarWidth - 16;

// The label on one line, or broken at the space nearest its middle when it is too wide.
QString fittedLabel(const QString& label, const QFontMetrics& metrics) {
    if (metrics.horizontalAdvance(label) <= kTextWidth) return label;
    const qsizetype middle = label.size() / 2;
    const qsizetype before = label.lastIndexOf(u' ', middle);
    const qsizetype after  = label.indexOf(u' ', middle);
    qsizetype space        = before;
    if (before < 0 || (after >= 0 && after - middle < middle - before)) space = after;
    if (space < 0) return label;
    QString wrapped = label;
    wrapped[space]  = u'\n';
    return wrapped;
}

} // namespace

CNavigationBar::CNavigationBar(QWidget* parent) : QWidget(parent) {
    setFixedWidth(kBarWidth);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Mid);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    addGroup(0, tr("Test"), {tr("Recorder"), tr("Editor"), tr("Runner")},
             {QStyle::SP_DialogNoButton, QStyle::SP_FileDialogDetailedView, QStyle::SP_MediaPlay});
    addGroup(1, tr("Results"), {tr("Text Report"), tr("Graphs"), tr("Batch Run Graphs")},
             {QStyle::SP_FileIcon, QStyle::SP_FileDialogContentsView, QStyle::SP_BrowserReload});
    openGroup(0);
}

void CNavigationBar::addGroup(int group, const QString& title,
                              const std::array<QString, kItemCount>& labels,
                              const std::array<QStyle::StandardPixmap, kItemCount>& icons) {
    Group& entry = groups_[group];
    entry.header = new QPushButton(title, this);
    entry.header->setFocusPolicy(Qt::TabFocus);
    connect(entry.header, &QPushButton::clicked, this, [this, group] {
        if (group == current_) return;
        openGroup(group);
        emit groupChanged(group);
    });

    // The open group's page takes all the room left between the headers, items at its top.
    entry.page       = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(entry.page);
    pageLayout->setContentsMargins(0, 6, 0, 6);
    pageLayout->setSpacing(8);
    for (int item = 0; item < kItemCount; ++item) {
        auto* button = new QToolButton(entry.page);
        button->setText(fittedLabel(labels[item], button->fontMetrics()));
        button->setAccessibleName(labels[item]);
        button->setIcon(style()->standardIcon(icons[item]));
        button->setIconSize(QSize(kIconSize, kIconSize));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &QToolButton::clicked, this, [this, item] { emit itemClicked(item); });
        pageLayout->addWidget(button);
        entry.items[item] = button;
    }
    pageLayout->addStretch();

    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addWidget(entry.header);
    layout->addWidget(entry.page, 1);
}

void CNavigationBar::openGroup(int group) {
    current_ = group;
    for (int index = 0; index < kGroupCount; ++index)
        groups_[index].page->setVisible(index == group);
}

void CNavigationBar::selectGroup(int group) {
    if (group < 0 || group >= kGroupCount) return;
    openGroup(group);
}

int CNavigationBar::currentGroup() const {
    return current_;
}

QAbstractButton* CNavigationBar::groupButton(int group) const {
    if (group < 0 || group >= kGroupCount) return nullptr;
    return groups_[group].header;
}

QAbstractButton* CNavigationBar::itemButton(int group, int item) const {
    if (group < 0 || group >= kGroupCount || item < 0 || item >= kItemCount) return nullptr;
    return groups_[group].items[item];
}

} // namespace torvex
