#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace torvex::test {

// Answers each modal window that opens in turn (a message box, then a wizard, ...) with
// `answer`, looking every 20 ms, until `answer` returns true for one or `limitMs` have passed.
// The search ends with `owner` (a window the test destroys when it ends), so it never outlives
// the test.
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

// Answers the next modal window that opens (a message box, a dialog) with `answer`; the test
// then goes on instead of blocking in exec().
inline void answerNextModal(QObject* owner, std::function<void(QWidget*)> answer,
                            int limitMs = 10000) {
    answerModalsUntil(
        owner,
        [answer = std::move(answer)](QWidget* modal) {
            answer(modal);
            return true;
        },
        limitMs);
}

} // namespace torvex::test
