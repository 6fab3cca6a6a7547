#pragma once

#include <QString>

namespace torvex {

// Gives a new control the object name that tests and the layout store find it by.
template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace torvex
