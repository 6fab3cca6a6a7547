// Pictures of the program as it appears on an X server, written under the build folder, with
// checks that what should be seen is there and drawn.
#include "app/MainFrame.h"
#include "app/NavigationBar.h"
#include "app/SettingsDialog.h"
#include "app/Workbench.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>

using namespace torvex;

namespace {

// A drawn area has text and edges: many colours, not one flat fill.
int colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

} // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under xvfb-run");
        QVERIFY(QDir().mkpath(TORVEX_SCREENSHOT_DIR));
        QStandardPaths::setTestModeEnabled(true); // never the user's own settings
        QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex")).clear();
    }

    void mainWindowWithNavigationBarToolbarAndAView() {
        Workbench workbench;
        workbench.runner.Initialize(workbench.notifier);
        workbench.document.reinitialize();
        {
            CMainFrame frame(workbench);
            frame.move(40, 40);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.SwitchView(kEditorView);
            QTest::qWait(300);

            const QImage screen = frame.screen()->grabWindow(0).toImage();
            QVERIFY(screen.save(TORVEX_SCREENSHOT_DIR "/main-window.png"));
            const QRect window = frame.frameGeometry();
            const QImage shown = screen.copy(window);
            QVERIFY(colourCount(shown) > 20);

            // The navigation bar and the toolbar are on the screen and drawn.
            CNavigationBar* navigation = frame.navigationBar();
            QVERIFY(navigation->isVisible() && navigation->width() >= 80);
            const QRect bar(navigation->mapToGlobal(QPoint()), navigation->size());
            QVERIFY(colourCount(screen.copy(bar)) > 5);
            auto* toolBar = frame.findChild<QToolBar*>("toolBar");
            QVERIFY(toolBar && toolBar->isVisible());
            const QRect tools(toolBar->mapToGlobal(QPoint()), toolBar->size());
            QVERIFY(colourCount(screen.copy(tools)) > 10);
        }
        workbench.runner.Shutdown();
    }

    void settingsDialogWithACustomProxy() {
        CGlobalSettings settings;
        settings.values.useProxy    = 1;
        settings.values.customProxy = 1;
        settings.values.proxyServer = "proxy.example.com";
        settings.values.proxyPort   = 3128;
        QtSettingsStore store;
        CSettingsDialog dialog(settings, store);
        dialog.move(40, 40);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(200);
        const QImage shown = dialog.screen()->grabWindow(0).toImage().copy(dialog.frameGeometry());
        QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/settings-dialog.png"));
        QVERIFY(colourCount(shown) > 20);
    }
};

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
