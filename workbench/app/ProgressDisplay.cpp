#include "app/ProgressDisplay.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace torvex {

ProgressDisplay::ProgressDisplay(QStatusBar* statusBar)
    : statusBar_(statusBar), label_(new QLabel(statusBar)), bar_(new QProgressBar(statusBar)) {
    bar_->setTextVisible(false);
    bar_->setMaximumHeight(statusBar->fontMetrics().height() + 2);
    // Stretch 6 to 4: the bar gets 40 % of the pane.
    statusBar_->addWidget(label_, 6);
    statusBar_->addWidget(bar_, 4);
    label_->hide();
    bar_->hide();
}

void ProgressDisplay::show(int done, int total, const QString& text) {
    // Visible first: clearing the message would otherwise bring "Ready" back over the label.
    visible_ = true;
    statusBar_->clearMessage();
    bar_->setRange(0, total);
    bar_->setValue(done);
    label_->setText(text);
    label_->show();
    bar_->show();
}

void ProgressDisplay::hide() {
    label_->hide();
    bar_->hide();
    visible_ = false;
    statusBar_->showMessage(QStringLiteral("Ready"));
}

} // namespace torvex
