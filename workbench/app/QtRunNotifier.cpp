#include "app/QtRunNotifier.h"

#include "app/StopDialog.h"

#include <QApplication>

namespace torvex {

QtRunNotifier::QtRunNotifier(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("runNotifier"));
}

void QtRunNotifier::resultsChanged() {
    emit resultsChangedPosted();
}

void QtRunNotifier::logChanged() {
    emit logChangedPosted();
}

void QtRunNotifier::runProgress(std::optional<std::pair<int, int>> counts,
                                std::optional<std::string> text) {
    // The display shows a count and a text together or nothing.
    if (counts && text) {
        emit runProgressPosted(true, counts->first, counts->second, QString::fromStdString(*text));
    } else {
        emit runProgressPosted(false, 0, 0, QString());
    }
}

void QtRunNotifier::batchFirstRunDone() {
    emit batchFirstRunDonePosted();
}

void QtRunNotifier::runFinished(bool interrupted) {
    emit runFinishedPosted(interrupted);
}

void QtRunNotifier::beep() {
    QMetaObject::invokeMethod(
        qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

void QtRunNotifier::waitForStop(const std::function<bool()>& stillRunning) {
    if (!stillRunning()) return;
    StopDialog dialog(stillRunning, dialogParent_);
    dialog.exec();
}

} // namespace torvex
