// A picture of the Recorder on an X server: a page open in the embedded browser above a list of
// requests, with checks that the browser really drew the page.
#include "ScreenPictures.h"
#include "WebEngineTestMain.h"
#include "app/Workbench.h"
#include "http/support/FixtureServer.h"
#include "recorder/RecorderFormView.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QWebEngineView>

using namespace torvex;
using torvex::test::colourCount;
using torvex::test::FixtureServer;
using torvex::test::grab;
using torvex::test::httpResponse;

class RecorderScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under xvfb-run");
        QVERIFY(QDir().mkpath(TORVEX_SCREENSHOT_DIR));
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex")).clear();
        qputenv("no_proxy", "127.0.0.1,localhost");
    }

    void recorderWithAPageAndRequests() {
        FixtureServer server;
        server.route("/", FixtureServer::reply(httpResponse(
                              200,
                              "<html><body style=\"background:#f4f0e0\">"
                              "<h1 style=\"color:#2050a0\">Torvex shop</h1><p>Welcome back.</p>"
                              "<a href=\"/cart\">Cart</a> <a href=\"/login\">Log in</a>"
                              "</body></html>",
                              "Content-Type: text/html\r\n")));
        Workbench workbench;
        workbench.document.reinitialize();
        for (const char* path : {"", "cart", "login"}) {
            auto request      = std::make_unique<CRequest>();
            request->method   = CRequest::kGet;
            request->scheme   = CRequest::kHttp;
            request->server   = "127.0.0.1:" + std::to_string(server.port());
            request->uri      = path;
            request->delayMin = request->delayMax = 4;
            workbench.document.scenario().requests.append(std::move(request));
        }

        CRecorderFormView view(workbench.document, workbench.recorder);
        view.resize(900, 640);
        view.move(40, 40);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        bool loaded = false;
        QObject::connect(
            view.browser(), &QWebEngineView::loadFinished, &view,
            [&loaded, &view](bool ok) { loaded = ok && view.browser()->url().path() == "/"; });
        view.navigate(QString::fromStdString(server.origin()) + "/");
        QVERIFY(QTest::qWaitFor([&] { return loaded; }, 20000));
        QTest::qWait(500); // the compositor's first frame

        const QImage shown = grab(&view);
        QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/recorder-view.png"));
        QVERIFY(colourCount(shown) > 20);
        // The page's background and heading colours are on the screen, not an empty pane.
        const QImage page = grab(view.browser());
        QVERIFY(colourCount(page) > 5);
        QCOMPARE(QColor(page.pixel(page.width() - 10, page.height() - 10)), QColor("#f4f0e0"));
        QCOMPARE(view.findChild<QTreeWidget*>("requests")->topLevelItemCount(), 3);
    }
};

TORVEX_WEBENGINE_TEST_MAIN(RecorderScreenshotTest)
#include "RecorderScreenshotTest.moc"
