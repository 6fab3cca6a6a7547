// The Recorder view: the request list with its texts, deleting and clearing, the kept split, and
// recording with the real embedded browser through the recording proxy against fixture servers
// over HTTP and HTTPS, followed by a run of the recorded scenario with the engine.
#include "ModalAnswer.h"
#include "WebEngineTestMain.h"
#include "app/LayoutStore.h"
#include "app/Workbench.h"
#include "http/support/FixtureServer.h"
#include "model/CaptureSink.h"
#include "recorder/AuthorityCheck.h"
#include "recorder/EmbeddedBrowser.h"
#include "recorder/RecorderFormView.h"
#include "recorder/SplitterBar.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QUrlQuery>
#include <QWebEngineView>

#include <atomic>
#include <set>

using namespace torvex;
using torvex::test::answerNextModal;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RecordedRequest;
using torvex::test::TlsIdentity;

namespace {

constexpr int kWaitMs = 20000;

CReqParam param(const std::string& name, const std::string& value, bool encode = false) {
    CReqParam each;
    each.setNameAndEncode(name, encode);
    CReqParamFunction component;
    component.makeStatic(value);
    each.components.push_back(component);
    return each;
}

CRequest& addRequest(CScenario& scenario, const std::string& server, int scheme,
                     const std::string& uri, int delayMin = 0, int delayMax = 0) {
    auto request      = std::make_unique<CRequest>();
    request->method   = CRequest::kGet;
    request->server   = server;
    request->scheme   = scheme;
    request->uri      = uri;
    request->delayMin = delayMin;
    request->delayMax = delayMax;
    return scenario.requests.append(std::move(request));
}

FixtureServer::Handler page(const std::string& html) {
    return FixtureServer::reply(httpResponse(200, html, "Content-Type: text/html\r\n"));
}

// A page with a link, a picture and a script; the link leads to a form that posts.
void serveSite(FixtureServer& server) {
    server.route("/", page("<html><head><title>start</title><script src=\"/app.js\"></script>"
                           "</head><body><img src=\"/logo.png\">"
                           "<a id=\"next\" href=\"/next?x=1&amp;y=\">next</a></body></html>"));
    server.route("/next", page("<html><head><title>form</title></head><body>"
                               "<form method=\"post\" action=\"/login?from=menu\">"
                               "<input name=\"user\" value=\"a b\">"
                               "<input name=\"pw\" value=\"A&amp;B=\">"
                               "<input type=\"submit\" id=\"send\" value=\"Send\">"
                               "</form></body></html>"));
    // The form's answer sends the browser on, as sites do after a post.
    server.route("/login",
                 FixtureServer::reply(httpResponse(303, "", "Location: welcome?user=a\r\n")));
    server.route("/welcome",
                 page("<html><head><title>welcome</title></head><body>in</body></html>"));
    server.route("/app.js",
                 FixtureServer::reply(httpResponse(200, "document.title = 'scripted';",
                                                   "Content-Type: application/javascript\r\n")));
    server.route("/logo.png", FixtureServer::reply(httpResponse(200, "not really a picture",
                                                                "Content-Type: image/png\r\n")));
}

std::set<std::string> targetsOf(const FixtureServer& server) {
    std::set<std::string> targets;
    for (const RecordedRequest& each : server.requests()) targets.insert(each.target);
    return targets;
}

std::string derOf(const TlsIdentity& identity) {
    unsigned char* bytes = nullptr;
    const int length     = i2d_X509(identity.certificate(), &bytes);
    std::string der(reinterpret_cast<char*>(bytes), static_cast<std::size_t>(std::max(length, 0)));
    OPENSSL_free(bytes);
    return der;
}

// A site whose certificate the recording proxy trusts, as if signed by a public authority.
const TlsIdentity& verifiedSite() {
    static const TlsIdentity identity;
    return identity;
}

// "scheme server method /uri [name=value ...] min-max content-type", values as stored.
QString describe(const CRequest& request) {
    QStringList pairs;
    for (const CReqParam& each : request.params) {
        const std::string value = each.components.empty() ? "?" : each.components[0].storedText();
        pairs << QString::fromStdString(each.name + "=" + value);
    }
    return QString("%1 %2 %3 /%4 [%5] %6-%7 %8")
        .arg(request.scheme == CRequest::kHttps ? "https" : "http",
             QString::fromStdString(request.server),
             request.method == CRequest::kPost ? "POST" : "GET",
             QString::fromStdString(request.uri), pairs.join(' '))
        .arg(request.delayMin)
        .arg(request.delayMax)
        .arg(QString::fromStdString(request.contentType));
}

QString valueOf(const std::string& body, const char* name) {
    QString text = QString::fromStdString(body);
    text.replace(QLatin1Char('+'), QLatin1Char(' '));
    return QUrlQuery(text).queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

} // namespace

class RecorderViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<CRecorderFormView> view;
    QString loadedPath; // of the last page that loaded completely

    CScenario& scenario() { return workbench->document.scenario(); }
    QTreeWidget* list() const { return view->findChild<QTreeWidget*>("requests"); }
    QPushButton* button(const char* name) const { return view->findChild<QPushButton*>(name); }
    QLineEdit* url() const { return view->findChild<QLineEdit*>("url"); }
    QString cell(int row, int column) const { return list()->topLevelItem(row)->text(column); }
    QString rowText(int row) const {
        QStringList cells;
        for (int column = 0; column < 4; ++column) cells << cell(row, column);
        return cells.join(" | ");
    }
    int paneTop() const { return view->browser()->parentWidget()->mapTo(view.get(), QPoint()).y(); }

    void showView(QSize size = QSize(900, 700)) {
        view = std::make_unique<CRecorderFormView>(workbench->document, workbench->recorder);
        view->resize(size);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        connect(view->browser(), &QWebEngineView::loadFinished, this,
                [this](bool ok) { loadedPath = ok ? view->browser()->url().path() : QString(); });
    }
    void selectRows(std::initializer_list<int> rows) {
        list()->clearSelection();
        for (int row : rows) list()->topLevelItem(row)->setSelected(true);
    }
    void answerClear(QMessageBox::StandardButton answer, QString* question) {
        answerNextModal(view.get(), [answer, question](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            *question = box->text();
            box->button(answer)->click();
        });
    }
    // Waits until the page at `path` has loaded and its address is in the URL box.
    bool pageShows(const QString& path) {
        const bool shown = QTest::qWaitFor(
            [&] {
                return loadedPath == path && url()->text() == view->browser()->url().toString();
            },
            kWaitMs);
        loadedPath.clear();
        return shown;
    }
    bool rowsArrive(int count) {
        return QTest::qWaitFor([&] { return list()->topLevelItemCount() == count; }, kWaitMs);
    }
    void click(const char* elementId) {
        view->browser()->page()->runJavaScript(
            QStringLiteral("document.getElementById('%1').click()").arg(elementId));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true); // never the user's settings or authority
        // The fixture servers are reached direct, whatever proxy the machine names.
        qputenv("no_proxy", "127.0.0.1,localhost");
        EmbeddedBrowser::trustSitesSignedBy(verifiedSite().certificatePem());
    }

    void init() {
        QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex")).clear();
        workbench = std::make_unique<Workbench>();
        workbench->document.reinitialize();
    }

    void cleanup() {
        workbench->recorder.Detach();
        view.reset();
        workbench.reset();
    }

    void rowsShowUrlDataAndDelayTexts() {
        CRequest& plain = addRequest(scenario(), "h", CRequest::kHttp, "a/b.asp", 5, 7);
        plain.params    = {param("x", "1"), param("y", ""), param("z", "")};
        CRequest& port  = addRequest(scenario(), "h:8443", CRequest::kHttps, "p", 3, 3);
        port.params     = {param("header$", "Referer: http://h/"), param("v", "a&")};
        addRequest(scenario(), "h", CRequest::kHttp, "", 9, 4);
        addRequest(scenario(), "", CRequest::kHttp, "x");
        CRequest& joined = addRequest(scenario(), "h", CRequest::kUnknownScheme, "q");
        CReqParam both   = param("n", "one");
        both.components.push_back(both.components.front());
        both.components.back().makeStatic("two");
        joined.params = {both};
        showView();

        QTreeWidget* rows = list();
        QCOMPARE(rows->topLevelItemCount(), 5);
        QCOMPARE(rows->topLevelItem(1)->data(0, Qt::UserRole).toInt(), port.id);
        // Every pair ends in '&' and all trailing ones go, also one that ended a value; a
        // minimum delay above the maximum shows alone.
        const QString name = QString::fromStdString(plain.name);
        QCOMPARE(rowText(0), name + " | http://h/a/b.asp | x=1&y=&z= | 5-7 sec");
        QCOMPARE(rowText(1).section(" | ", 1),
                 "https://h:8443/p | header$=Referer: http://h/&v=a | 3 sec");
        QCOMPARE(rowText(2).section(" | ", 1), "http://h/ |  | 9 sec");
        QCOMPARE(rowText(3).section(" | ", 1), "/x |  | 0 sec");
        QCOMPARE(rowText(4).section(" | ", 1), "h/q | n=one&two | 0 sec");

        // Columns: Name 50, URL and Data 0.43 of (width - 43) each, Delay 70.
        const int wide = static_cast<int>(0.43 * (rows->viewport()->width() - 43));
        QCOMPARE(rows->header()->sectionSize(0), 50);
        QCOMPARE(rows->header()->sectionSize(1), wide);
        QCOMPARE(rows->header()->sectionSize(2), wide);
        QCOMPARE(rows->header()->sectionSize(3), 70);
        QCOMPARE(rows->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(rows->headerItem()->text(2), QString("Data"));
    }

    void deletingRemovesSequenceEntriesAndReselects() {
        std::vector<std::string> names;
        for (int i = 0; i < 5; ++i) names.push_back(addRequest(scenario(), "h", 1, "").name);
        CRunSection& run = scenario().run;
        run.initialSeq   = {names[2]};
        run.mainSeq      = {names[1], names[2], names[1]};
        run.finalSeq     = {names[3]};
        showView();
        QSignalSpy modified(view.get(), &CRecorderFormView::documentModified);
        QVERIFY(!button("deleteRequests")->isEnabled());
        QVERIFY(button("clearRequests")->isEnabled());

        // Rows 1 and 2 go; one entry per sequence goes with each, and row 2 is selected again.
        selectRows({2, 1});
        QVERIFY(button("deleteRequests")->isEnabled());
        button("deleteRequests")->click();
        QCOMPARE(list()->topLevelItemCount(), 3);
        QCOMPARE(scenario().requests.count(), 3);
        QCOMPARE(run.initialSeq, std::vector<std::string>{});
        QCOMPARE(run.mainSeq, std::vector<std::string>{names[1]});
        QCOMPARE(run.finalSeq, std::vector<std::string>{names[3]});
        QCOMPARE(list()->selectedItems().size(), 1);
        QCOMPARE(list()->currentItem()->text(0), QString::fromStdString(names[4]));
        QVERIFY(workbench->document.modified());
        QCOMPARE(modified.count(), 1);

        // The Delete key on the list: the last row goes and the new last row is selected.
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(list()->topLevelItemCount(), 2);
        QCOMPARE(run.finalSeq, std::vector<std::string>{names[3]});
        QCOMPARE(list()->currentItem()->text(0), QString::fromStdString(names[3]));
        QVERIFY(list()->currentItem()->isSelected());

        // Removing requests makes the container forget its last capture.
        scenario().requests.lastCaptured =
            scenario().requests.findById(list()->topLevelItem(0)->data(0, Qt::UserRole).toInt());
        list()->selectAll();
        button("deleteRequests")->click();
        QCOMPARE(list()->topLevelItemCount(), 0);
        QVERIFY(scenario().requests.lastCaptured == nullptr);
        QCOMPARE(run.finalSeq, std::vector<std::string>{});
        QVERIFY(!button("deleteRequests")->isEnabled());
        QVERIFY(!button("clearRequests")->isEnabled());

        // Nothing selected: the key does nothing.
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(modified.count(), 3);
    }

    void clearingAsksFirst() {
        for (int i = 0; i < 3; ++i) addRequest(scenario(), "h", 1, "");
        scenario().run.mainSeq    = {"req_1", "req_2"};
        scenario().run.initialSeq = {"req_3"};
        showView();

        QString question;
        answerClear(QMessageBox::No, &question);
        button("clearRequests")->click();
        QCOMPARE(question, QString("Are you sure you want to clear the list of requests?"));
        QCOMPARE(list()->topLevelItemCount(), 3);
        QCOMPARE(scenario().run.mainSeq.size(), std::size_t(2));
        QVERIFY(!workbench->document.modified());

        answerClear(QMessageBox::Yes, &question);
        button("clearRequests")->click();
        QCOMPARE(list()->topLevelItemCount(), 0);
        QCOMPARE(scenario().requests.count(), 0);
        QVERIFY(scenario().run.mainSeq.empty() && scenario().run.initialSeq.empty());
        QVERIFY(workbench->document.modified());
        QVERIFY(!button("clearRequests")->isEnabled());
    }

    void splitStaysWithinItsBoundsAndIsKept() {
        showView();
        auto* bar             = view->findChild<SplitterBar*>();
        const int top         = paneTop();
        const auto listHeight = [&] { return list()->height(); };
        const QString section = QStringLiteral("Recorder");

        // Too high: raised to 150 minus the pane's top.
        QVERIFY(LayoutStore::writeNumber(section, "LastSplit", 10));
        view->LoadLayout(section);
        QCOMPARE(view->split(), 150 - top);
        QCOMPARE(bar->mapTo(view.get(), QPoint()).y(), 150 - top);

        // Too low: the list keeps 50 pixels.
        QVERIFY(LayoutStore::writeNumber(section, "LastSplit", 100000));
        view->LoadLayout(section);
        QCOMPARE(listHeight(), 50);

        // In between: the browser pane ends exactly there and the bar follows it.
        QVERIFY(LayoutStore::writeNumber(section, "LastSplit", top + 300));
        view->LoadLayout(section);
        QCOMPARE(view->split(), top + 300);
        QCOMPARE(view->browser()->height(), 300);
        QCOMPARE(bar->mapTo(view.get(), QPoint()).y(), top + 300);

        // A drag moves the split and saves it at once.
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(20, 2));
        QTest::mouseMove(bar, QPoint(20, -38));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(20, -38));
        QCOMPARE(view->split(), top + 260);
        QCOMPARE(LayoutStore::readNumber(section, "LastSplit"),
                 std::optional<std::uint32_t>(top + 260));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(20, 2));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(20, -1000));
        QCOMPARE(LayoutStore::readNumber(section, "LastSplit"),
                 std::optional<std::uint32_t>(150 - top));

        // A smaller view moves the split up so that the list keeps its 50 pixels.
        QVERIFY(LayoutStore::writeNumber(section, "LastSplit", top + 450));
        view->LoadLayout(section);
        QCOMPARE(view->split(), top + 450);
        view->resize(900, 560);
        QVERIFY(QTest::qWaitFor([&] { return listHeight() == 50; }, 5000));
        QVERIFY(view->split() < top + 450);
        view->SaveLayout(section);
        QCOMPARE(LayoutStore::readNumber(section, "LastSplit"),
                 std::optional<std::uint32_t>(view->split()));
    }

    void onlyTheAuthoritysOwnCertificatesPass() {
        const TlsIdentity authority;
        const TlsIdentity sameName; // the same subject name, another key
        const std::string pem = authority.certificatePem();
        QVERIFY(issuedByAuthority(derOf(authority), pem));
        QVERIFY(!issuedByAuthority(derOf(sameName), pem));
        QVERIFY(!issuedByAuthority("not a certificate", pem));
        QVERIFY(!issuedByAuthority(derOf(authority), "not a certificate"));
        QVERIFY(!issuedByAuthority({}, pem));
    }

    void verifiedSitesOpenWithoutAnyCertificateQuestion() {
        FixtureServer server(&verifiedSite());
        serveSite(server);
        showView();
        int certificateErrors = 0;
        connect(view->browser()->page(), &QWebEnginePage::certificateError, this,
                [&certificateErrors] { ++certificateErrors; });
        view->navigate(QString::fromStdString(server.origin()) + "/");
        QVERIFY(pageShows("/"));
        QCOMPARE(certificateErrors, 0);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(targetsOf(server).count("/app.js") == 1);
    }

    void browsingFollowsHistoryAndRecordsNothingWhileStopped() {
        FixtureServer server;
        serveSite(server);
        workbench->recorder.SetSink(&scenario().requests);
        showView();
        workbench->recorder.SetNotifier(&view->captureNotifier());
        const QString origin = QString::fromStdString(server.origin());
        QVERIFY(QTest::qWaitFor([&] { return url()->text() == "about:blank"; }, kWaitMs));
        QVERIFY(!button("back")->isEnabled() && !button("forward")->isEnabled());
        QCOMPARE(url()->maxLength(), 1024);

        // Enter in the URL box presses Go. Typed addresses, unlike pages that scripts open
        // without a user's click, are history entries that Back never skips.
        for (const char* path : {"/", "/next?x=1&y="}) {
            url()->clear();
            QTest::keyClicks(url(), origin + path);
            QTest::keyClick(url(), Qt::Key_Return);
            QVERIFY(pageShows(QUrl(origin + path).path()));
        }
        QCOMPARE(url()->text(), origin + "/next?x=1&y=");
        QVERIFY(QTest::qWaitFor([&] { return button("back")->isEnabled(); }, kWaitMs));
        QVERIFY(!button("forward")->isEnabled());

        button("back")->click();
        QVERIFY(pageShows("/"));
        QVERIFY(QTest::qWaitFor([&] { return button("forward")->isEnabled(); }, kWaitMs));
        button("forward")->click();
        QVERIFY(pageShows("/next"));

        // An empty URL opens a blank page.
        url()->clear();
        button("go")->click();
        QVERIFY(QTest::qWaitFor([&] { return url()->text() == "about:blank"; }, kWaitMs));

        // The pages came through the recording proxy, yet nothing was recorded.
        QVERIFY(targetsOf(server).count("/next?x=1&y=") == 1);
        QCOMPARE(scenario().requests.count(), 0);
        QCOMPARE(list()->topLevelItemCount(), 0);
        QVERIFY(!workbench->document.modified());
    }

    void recordsNavigationsWithThinkTimesAndPlaysThemBack_data() {
        QTest::addColumn<bool>("secure");
        QTest::newRow("http") << false;
        QTest::newRow("https") << true;
    }

    void recordsNavigationsWithThinkTimesAndPlaysThemBack() {
        QFETCH(bool, secure);
        TlsIdentity identity;
        FixtureServer server(secure ? &identity : nullptr);
        serveSite(server);
        const QString origin = QString::fromStdString(server.origin());

        std::atomic<std::time_t> now{1000};
        CRequestRecorder& recorder = workbench->recorder;
        recorder.SetClock([&now] { return now.load(); });
        recorder.SetSink(&scenario().requests);
        showView();
        recorder.SetNotifier(&view->captureNotifier());
        recorder.BeginRecording();

        // The fixture's self-signed certificate does not verify, so the browser asks; the tester
        // goes on knowingly.
        QString question;
        if (secure)
            answerNextModal(view.get(), [&question](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box) return;
                question = box->windowTitle() + ": " + box->text();
                box->button(QMessageBox::Yes)->click();
            });
        // A typed URL; the page's script and picture load but are not requests of their own.
        view->navigate(origin + "/");
        QVERIFY(pageShows("/"));
        if (secure) {
            QVERIFY2(question.startsWith("Torvex: The certificate of 127.0.0.1 is not valid: "),
                     qPrintable(question));
            QVERIFY2(question.endsWith(". Open the page anyway?"), qPrintable(question));
        }
        QVERIFY(rowsArrive(1));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const std::set<std::string> seen = targetsOf(server);
                return seen.count("/logo.png") == 1 && seen.count("/app.js") == 1;
            },
            kWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(view->browser()->title(), QString("scripted"), kWaitMs);
        // A followed link, 5 s later; then a posted form, 7 s after that.
        now += 5;
        click("next");
        QVERIFY(pageShows("/next"));
        QVERIFY(rowsArrive(2));
        now += 7;
        click("send");
        // The page the post's answer leads to loads, yet the post stays the last request.
        QVERIFY(pageShows("/welcome"));
        QVERIFY(rowsArrive(3));
        recorder.EndRecording();
        QVERIFY(workbench->document.modified());

        // Think time belongs to the page before it; a post keeps its body's pairs only.
        const QString at = (secure ? "https 127.0.0.1:" : "http 127.0.0.1:") +
                           QString::number(server.port()) + " ";
        QStringList recorded;
        std::as_const(scenario().requests).forEach([&](const CRequest& each) {
            recorded << describe(each);
        });
        QCOMPARE(recorded, QStringList({
                               at + "GET / [] 5-5 text/html",
                               at + "GET /next [x=1 y=] 7-7 text/html",
                               at + "POST /login [user=a b pw=A&B=] 0-0 " +
                                   "application/x-www-form-urlencoded",
                           }));
        QCOMPARE(rowText(1).section(" | ", 1), origin + "/next | x=1&y= | 7 sec");

        // The recorded scenario plays back against the same server.
        const std::size_t before = server.requests().size();
        CRunSection& run         = scenario().run;
        run.batchRun             = 0;
        run.users                = 1;
        run.iterations           = 1;
        run.staggerStart         = 0;
        std::string script;
        QVERIFY(scenario().generateScript(workbench->settings.snapshot(), script));
        workbench->runner.Initialize(workbench->notifier);
        QVERIFY(workbench->runner.StartRun(script, "recorded", BatchSettings::of(run), scenario()));
        QVERIFY(QTest::qWaitFor([&] { return !workbench->runner.running(); }, kWaitMs));
        workbench->runner.Shutdown();
        // What the browser may still fetch (its icon) is not the engine's.
        std::vector<RecordedRequest> fromEngine;
        QStringList played;
        const std::vector<RecordedRequest> all = server.requests();
        for (auto each = all.begin() + before; each != all.end(); ++each) {
            if (each->header("User-Agent").find("QtWebEngine") != std::string::npos) continue;
            fromEngine.push_back(*each);
            played << QString::fromStdString(each->method + " " + each->target);
        }
        QCOMPARE(played, QStringList({"GET /", "GET /next?x=1&y=", "POST /login"}));
        QCOMPARE(valueOf(fromEngine.back().body, "user"), QString("a b"));
        QCOMPARE(valueOf(fromEngine.back().body, "pw"), QString("A&B="));
    }
};

TORVEX_WEBENGINE_TEST_MAIN(RecorderViewTest)
#include "RecorderViewTest.moc"
