// Pictures of the program as it appears on an X server, written under the build folder, with
// checks that what should be seen is there and drawn.
#include "ModalAnswer.h"
#include "ScreenPictures.h"
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
using torvex::test::colourCount;
using torvex::test::FixtureServer;

namespace {

// The program as the pictures show it: a fresh scenario, with one request to the fixture server
// when a port is given, and the main window at a fixed place once shown.
struct ShownProgram {
    Workbench workbench;
    std::unique_ptr<CMainFrame> frame;

    explicit ShownProgram(int port = 0) {
        workbench.runner.Initialize(workbench.notifier);
        workbench.document.reinitialize();
        if (port == 0) return;
        auto request    = std::make_unique<CRequest>();
        request->name   = "home";
        request->method = CRequest::kGet;
        request->scheme = CRequest::kHttp;
        request->server = "127.0.0.1:" + std::to_string(port);
        workbench.document.scenario().requests.append(std::move(request));
        workbench.document.scenario().run.staggerStart = 0;
    }
    ~ShownProgram() {
        frame.reset();
        workbench.runner.Shutdown();
    }
    CRunSection& run() { return workbench.document.scenario().run; }
    bool show() {
        frame = std::make_unique<CMainFrame>(workbench);
        frame->move(40, 40);
        frame->show();
        return QTest::qWaitForWindowExposed(frame.get());
    }
};

QImage grabFrame(const QWidget& frame) {
    return frame.screen()->grabWindow(0).toImage().copy(frame.frameGeometry());
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
        ShownProgram program;
        QVERIFY(program.show());
        CMainFrame& frame = *program.frame;
        frame.SwitchView(kEditorView);
        QTest::qWait(300);

        const QImage screen = frame.screen()->grabWindow(0).toImage();
        QVERIFY(screen.save(TORVEX_SCREENSHOT_DIR "/main-window.png"));
        QVERIFY(colourCount(screen.copy(frame.frameGeometry())) > 20);

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

    void runnerViewDuringARun() {
        FixtureServer server;
        server.setDefault([](torvex::test::ReplyChannel& channel, const auto&) {
            if (channel.pause(std::chrono::milliseconds(150))) {
                channel.send(torvex::test::httpResponse(200, "<html>slow</html>"));
            }
        });
        ShownProgram program(server.port());
        program.run().batchRun   = 0;
        program.run().users      = 4;
        program.run().iterations = 50;
        QVERIFY(program.show());
        CMainFrame& frame = *program.frame;
        frame.action(Command::RunTest)->trigger();
        QVERIFY(program.workbench.runner.running());
        QCOMPARE(frame.currentView(), int(kRunnerView));
        // Some progress and log lines to look at.
        QVERIFY(QTest::qWaitFor([&] { return frame.progress().isVisible(); }, 5000));
        QVERIFY(server.waitForRequests(8, std::chrono::seconds(20)));
        QTest::qWait(300);
        // No "Ready" drawn over the progress.
        QCOMPARE(frame.statusBar()->currentMessage(), QString());
        const QImage shown = grabFrame(frame);
        QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/runner-view-during-run.png"));
        QVERIFY(colourCount(shown) > 20);

        torvex::test::answerNextModal(&frame, [](QWidget*) {});
        frame.action(Command::StopTest)->trigger();
        QVERIFY(!program.workbench.runner.running());
    }

    void reportViewAfterABatch() {
        FixtureServer server;
        server.setDefault(
            FixtureServer::reply(torvex::test::httpResponse(200, "<html>home</html>")));
        ShownProgram program(server.port());
        program.run().batchTo          = 2;
        program.run().pauseBetweenRuns = 0;
        program.run().objectiveId      = 3;
        QVERIFY(program.show());
        CMainFrame& frame = *program.frame;
        frame.action(Command::RunTest)->trigger();
        QVERIFY(QTest::qWaitFor([&] { return frame.currentView() == kReportView; }, 60000));
        QTest::qWait(300);
        auto* runs = frame.findChild<QComboBox*>("runs");
        QVERIFY(runs && runs->count() == 2);
        const QImage shown = grabFrame(frame);
        QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/report-view-after-batch.png"));
        QVERIFY(colourCount(shown) > 20);
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
