#include "app/SplashScreen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace torvex {

namespace {

constexpr int kWidth  = 420;
constexpr int kHeight = 240;

// A row of rising bars in the lower right corner: a hint of load growing run after run.
void paintRisingBars(QPainter& painter) {
    constexpr int kBars = 8, kBarWidth = 14, kGap = 6;
    const int left = kWidth - 24 - kBars * (kBarWidth + kGap);
    painter.setPen(Qt::NoPen);
    for (int bar = 0; bar < kBars; ++bar) {
        const int height = 12 + bar * 9;
        painter.setBrush(QColor(255, 255, 255, 40 + bar * 10));
        painter.drawRect(left + bar * (kBarWidth + kGap), kHeight - 24 - height, kBarWidth, height);
    }
}

QPixmap paintPicture() {
    QPixmap picture(kWidth, kHeight);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, kWidth, kHeight);
    background.setColorAt(0.0, QColor(18, 42, 86));
    background.setColorAt(1.0, QColor(22, 128, 140));
    painter.fillRect(picture.rect(), background);
    paintRisingBars(painter);

    painter.setPen(Qt::white);
    QFont title = painter.font();
    title.setPixelSize(52);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(28, 36, kWidth - 56, 64), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Torvex"));

    QFont version = title;
    version.setPixelSize(20);
    version.setBold(false);
    painter.setFont(version);
    painter.drawText(QRect(28, 36, kWidth - 56, 64), Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("v2.0"));

    QFont subtitle = version;
    subtitle.setPixelSize(14);
    painter.setFont(subtitle);
    painter.drawText(QRect(30, 104, kWidth - 60, 40), Qt::AlignLeft | Qt::TextWordWrap,
                     QObject::tr("Load testing for web sites and web applications"));

    painter.setPen(QColor(255, 255, 255, 90));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    return picture;
}

} // namespace

CSplashScreen::CSplashScreen() : QSplashScreen(paintPicture()) {}

CSplashScreen::~CSplashScreen() {
    stopWatchingInput();
}

void CSplashScreen::showForAWhile(int milliseconds) {
    if (!watchingInput_) {
        qApp->installEventFilter(this);
        watchingInput_ = true;
    }
    show();
    raise();
    QTimer::singleShot(milliseconds, this, [this] { close(); });
}

bool CSplashScreen::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
        close();
        break;
    default:
        break;
    }
    // The key or click still goes where it was meant to.
    return QSplashScreen::eventFilter(watched, event);
}

void CSplashScreen::closeEvent(QCloseEvent* event) {
    stopWatchingInput();
    QSplashScreen::closeEvent(event);
}

void CSplashScreen::stopWatchingInput() {
    if (!watchingInput_) return;
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    watchingInput_ = false;
}

} // namespace torvex
