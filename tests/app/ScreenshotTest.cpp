// Pictures of the program as it appears on an X server, written under the build folder, with
// checks that what should be seen is there and drawn.
#include "ModalAnswer.h"
#include "WebEngineTestMain.h"
#include "app/MainFrame.h"
#include "app/NavigationBar.h"
#include "app/SettingsDialog.h"
#include "app/Workbench.h"
#include "http/support/FixtureServer.h"

#include <QAction>
#include <QComboBox>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

using namespace torvex;
using torvex::test::FixtureServer;

namespace {

// A scenario with one request to the fixture server; runs keep no files.
void targetServer(CHexmillLEDoc& document, int port) {
    auto request    = std::make_unique<CRequest>();
    request->name   = "home";
    request->method = CRequest::kGet;
    request->scheme = CRequest::kHttp;
    request->server = "127.0.0.1:" + std::to_string(port);
    document.scenario().requests.append(std::move(request));
    document.scenario().run.staggerStart = 0;
}

QImage grabFrame(const QWidget& frame) {
    return frame.screen()->grabWindow(0).toImage().copy(frame.frameGeometry());
}

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

    void runnerViewDuringARun() {
        FixtureServer server;
        server.setDefault([](torvex::test::ReplyChannel& channel, const auto&) {
            if (channel.pause(std::chrono::milliseconds(150))) {
                channel.send(torvex::test::httpResponse(200, "<html>slow</html>"));
            }
        });
        Workbench workbench;
        workbench.runner.Initialize(workbench.notifier);
        workbench.document.reinitialize();
        targetServer(workbench.document, server.port());
        CRunSection& run = workbench.document.scenario().run;
        run.batchRun     = 0;
        run.users        = 4;
        run.iterations   = 50;
        {
            CMainFrame frame(workbench);
            frame.move(40, 40);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.action(Command::RunTest)->trigger();
            QVERIFY(workbench.runner.running());
            QCOMPARE(frame.currentView(), int(kRunnerView));
            // Some progress and log lines to look at.
            QVERIFY(QTest::qWaitFor([&] { return frame.progress().isVisible(); }, 5000));
            QVERIFY(server.waitForRequests(8, std::chrono::seconds(20)));
            QTest::qWait(300);
            QCOMPARE(frame.statusBar()->currentMessage(),
                     QString()); // no "Ready" over the progress
            const QImage shown = grabFrame(frame);
            QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/runner-view-during-run.png"));
            QVERIFY(colourCount(shown) > 20);

            torvex::test::answerNextModal(&frame, [](QWidget*) {});
            frame.action(Command::StopTest)->trigger();
            QVERIFY(!workbench.runner.running());
        }
        workbench.runner.Shutdown();
    }

    void reportViewAfterABatch() {
        FixtureServer server;
        server.setDefault(
            FixtureServer::reply(torvex::test::httpResponse(200, "<html>home</html>")));
        Workbench workbench;
        workbench.runner.Initialize(workbench.notifier);
        workbench.document.reinitialize();
        targetServer(workbench.document, server.port());
        CRunSection& run     = workbench.document.scenario().run;
        run.batchTo          = 2;
        run.pauseBetweenRuns = 0;
        run.objectiveId      = 3;
        {
            CMainFrame frame(workbench);
            frame.move(40, 40);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.action(Command::RunTest)->trigger();
            QVERIFY(QTest::qWaitFor([&] { return frame.currentView() == kReportView; }, 60000));
            QTest::qWait(300);
            auto* runs = frame.findChild<QComboBox*>("runs");
            QVERIFY(runs && runs->count() == 2);
            const QImage shown = grabFrame(frame);
            QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/report-view-after-batch.png"));
            QVERIFY(colourCount(shown) > 20);
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

TORVEX_WEBENGINE_TEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
