#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace torvex::test {

// Answers the next modal window that opens (a message box, a dialog) with `answer`, looking every
// 20 ms for at most `limitMs`; the test then goes on instead of blocking in exec(). The search ends
// with `owner` (a window the test destroys when it ends), so it never outlives the test.
inline void answerNextModal(QObject* owner, std::function<void(QWidget*)> answer,
                            int limitMs = 10000) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, answer = std::move(answer), left = limitMs / 20]() mutable {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal) answer(modal);
                         if (modal || --left <= 0) timer->deleteLater();
                         if (modal || left <= 0) timer->stop();
                     });
    timer->start(20);
}

// Answers each modal window that opens in turn (a message box, then a wizard, ...) with
// `answer`, until `answer` returns true for one or `limitMs` have passed.
inline void answerModalsUntil(QObject* owner, std::function<bool(QWidget*)> answer,
                              int limitMs = 20000) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, answer = std::move(answer), left = limitMs / 20]() mutable {
                         QWidget* modal      = QApplication::activeModalWidget();
                         const bool finished = (modal && answer(modal)) || --left <= 0;
                         if (!finished) return;
                         timer->stop();
                         timer->deleteLater();
                     });
    timer->start(20);
}

} // namespace torvex::test
