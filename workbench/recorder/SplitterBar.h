#pragma once

#include <QWidget>

class QRubberBand;

namespace torvex {

// The bar between two panes that the user drags up or down with the left mouse button. A line
// follows the mouse while dragging; the owner moves the panes when the button is released.
class SplitterBar : public QWidget {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget* parent);

signals:
    // The bar's top, in its parent's coordinates, where the drag left it.
    void dragFinished(int top);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int topFor(const QMouseEvent* event) const;

    QRubberBand* tracker_;
    int grabOffset_ = -1; // where in the bar the drag began; -1 while not dragging
};

} // namespace torvex
