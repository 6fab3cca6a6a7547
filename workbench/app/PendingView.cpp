#include "app/PendingView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace torvex {

PendingView::PendingView(const QString& title, const QString& emptyText, QWidget* parent)
    : CResizingFormView(parent), title_(new QLabel(title, this)) {
    QFont heading = title_->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.6);
    heading.setBold(true);
    title_->setFont(heading);
    auto* empty = new QLabel(emptyText, this);
    empty->setObjectName(QStringLiteral("emptyState"));
    empty->setAlignment(Qt::AlignCenter);
    empty->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(empty, 1);
}

QString PendingView::title() const {
    return title_->text();
}

} // namespace torvex
