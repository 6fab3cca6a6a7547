#pragma once

#include <QImage>
#include <QScreen>
#include <QSet>
#include <QWidget>

namespace torvex::test {

// A drawn area has text and edges: many colours, not one flat fill. Every second pixel of every
// second row is enough to tell.
inline int colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

// What the X server shows of `widget`'s inside, as the user sees it.
inline QImage grab(QWidget* widget) {
    return widget->screen()->grabWindow(0).toImage().copy(
        QRect(widget->mapToGlobal(QPoint()), widget->size()));
}

} // namespace torvex::test
