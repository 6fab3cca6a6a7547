#pragma once

#include <QSplashScreen>

namespace torvex {

// The picture shown while the program starts: it closes after 1.5 seconds, at the first key or
// mouse button pressed anywhere in the program, or when closed at once by the frame.
class CSplashScreen : public QSplashScreen {
    Q_OBJECT
public:
    CSplashScreen();
    ~CSplashScreen() override;
    void showForAWhile(int milliseconds = 1500);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void stopWatchingInput();

    bool watchingInput_ = false;
};

} // namespace torvex
