#include "recorder/SplitterBar.h"

#include <QMouseEvent>
#include <QRubberBand>

namespace torvex {

SplitterBar::SplitterBar(QWidget* parent)
    : QWidget(parent), tracker_(new QRubberBand(QRubberBand::Line, parent)) {
    setCursor(Qt::SizeVerCursor);
    setFixedHeight(6);
}

int SplitterBar::topFor(const QMouseEvent* event) const {
    return mapToParent(event->position().toPoint()).y() - grabOffset_;
}

void SplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    grabOffset_ = event->position().toPoint().y();
    tracker_->setGeometry(geometry());
    tracker_->show();
    tracker_->raise();
}

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (grabOffset_ < 0) return QWidget::mouseMoveEvent(event);
    tracker_->setGeometry(x(), topFor(event), width(), height());
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (grabOffset_ < 0 || event->button() != Qt::LeftButton) {
        return QWidget::mouseReleaseEvent(event);
    }
    const int top = topFor(event);
    grabOffset_   = -1;
    tracker_->hide();
    emit dragFinished(top);
}

} // namespace torvex
