// Runs started from the workbench as a user starts them: the scenario file is opened, the run
// settings are typed into the Runner view and Run Test is pressed. A batch ends in the report view
// with every run of it listed; a stopped run and a refused folder end in the Runner view.
#include "FreshWorkbench.h"
#include "ModalAnswer.h"
#include "WebEngineTestMain.h"
#include "app/MainFrame.h"
#include "app/NavigationBar.h"
#include "app/Workbench.h"
#include "http/support/FixtureServer.h"
#include "results/ResultsContainer.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>

using namespace torvex;
using torvex::test::answerNextModal;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;

namespace {

// The text of a multi-line box, whichever kind the view uses.
QString boxText(QWidget* box) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) return plain->toPlainText();
    if (auto* rich = qobject_cast<QTextEdit*>(box)) return rich->toPlainText();
    return {};
}

QString selectedText(QWidget* field) {
    if (auto* line = qobject_cast<QLineEdit*>(field)) return line->selectedText();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(field)) {
        return spin->findChild<QLineEdit*>()->selectedText();
    }
    return {};
}

QString fieldText(QWidget* field) {
    if (auto* line = qobject_cast<QLineEdit*>(field)) return line->text();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(field)) return spin->text();
    return {};
}

// Replaces the text of a field the way a user does: select all and type, leaving the field as
// it is, neither confirmed nor left.
void typeInto(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

} // namespace

class RunFromWorkbenchTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<torvex::test::TempDir> folder;

    template <typename T> T* control(const char* name) {
        T* found = frame->findChild<T*>(QString::fromLatin1(name));
        if (!found) qWarning("no control named %s", name);
        return found;
    }

    // Saves a scenario with one request to the fixture server, as a user saved it earlier, and
    // opens it in the program.
    void openScenarioFor(int port, const std::function<void(CRunSection&)>& settings) {
        CHexmillLEDoc saved;
        saved.reinitialize();
        auto request    = std::make_unique<CRequest>();
        request->name   = "home";
        request->method = CRequest::kGet;
        request->scheme = CRequest::kHttp;
        request->server = "127.0.0.1:" + std::to_string(port);
        saved.scenario().requests.append(std::move(request));
        CRunSection& run = saved.scenario().run;
        run.iterations   = 2;
        run.staggerStart = 0;
        settings(run);
        const std::string path = folder->path.string() + "/shop.tvs";
        std::string error;
        QVERIFY2(saved.save(path, error), error.c_str());

        frame = std::make_unique<CMainFrame>(*workbench);
        frame->show();
        frame->activateWindow(); // typing and focus go to the active window only
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        QVERIFY(frame->openScenario(QString::fromStdString(path)));
        frame->navigationBar()->groupButton(0)->click();
        frame->navigationBar()->itemButton(0, 2)->click();
        QCOMPARE(frame->currentView(), int(kRunnerView));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() {
        folder    = std::make_unique<torvex::test::TempDir>();
        workbench = torvex::test::freshWorkbench();
    }

    void cleanup() {
        frame.reset();
        workbench->runner.Shutdown();
        workbench.reset();
    }

    void aBatchOfThreeRunsEndsWithThreeReportsInTheReportView() {
        FixtureServer server;
        server.setDefault(FixtureServer::reply(httpResponse(200, "<html>home</html>")));
        openScenarioFor(server.port(), [](CRunSection& run) {
            run.batchRun  = 1;
            run.batchBy   = 0;
            run.batchFrom = 1;
            run.batchTo   = 20;
            run.batchStep = 1;
        });

        // The batch by users from 1 to 3, without the pause between runs; Run Test is pressed
        // while the "to" field is still being typed in.
        auto* pause = control<QAbstractButton>("pauseBetweenRuns");
        QVERIFY(pause->isChecked());
        pause->click();
        typeInto(control<QWidget>("batchTo"), "3");
        const CRunSection& run = workbench->document.scenario().run;
        QCOMPARE(run.pauseBetweenRuns, 0);
        QVERIFY(workbench->document.modified());

        frame->action(Command::RunTest)->trigger();
        QCOMPARE(run.batchTo, 3);
        QVERIFY(workbench->runner.running());
        QVERIFY(QTest::qWaitFor([&] { return frame->currentView() == kReportView; }, 60000));
        QVERIFY(!workbench->runner.running());

        auto* runs = control<QComboBox>("runs");
        QVERIFY(runs->isEnabled());
        QCOMPARE(runs->count(), 3);
        auto* report = control<QWidget>("report");
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(runs->itemText(i).endsWith(
                         QStringLiteral(" - shop.tvs - Virtual users=%1").arg(i + 1)),
                     qPrintable(runs->itemText(i)));
            runs->setCurrentIndex(i);
            const ResultsRecord record = workbench->runner.results().GetAt(i);
            QVERIFY(!record->reportText.empty());
            QCOMPARE(boxText(report).remove('\r'),
                     QString::fromStdString(record->reportText).remove('\r'));
        }
        const std::string log = workbench->document.scenario().log.text();
        QVERIFY(log.find("Cycling: Virtual users=3") != std::string::npos);
        QVERIFY(log.find("All tasks finished") != std::string::npos);
        QVERIFY(server.requests().size() >= (1 + 2 + 3) * 2u);
    }

    void aStopDuringARunEndsItAsTerminatedByUser() {
        FixtureServer server;
        server.setDefault(FixtureServer::silent());
        openScenarioFor(server.port(), [](CRunSection& run) {
            run.batchRun = 0;
            run.users    = 2;
        });
        frame->action(Command::RunTest)->trigger();
        QVERIFY(workbench->runner.running());
        QVERIFY(server.waitForRequests(1, std::chrono::seconds(10)));

        answerNextModal(frame.get(), [](QWidget*) {}); // the stop dialog closes by itself
        frame->action(Command::StopTest)->trigger();
        QVERIFY(!workbench->runner.running());
        QCOMPARE(frame->currentView(), int(kRunnerView));
        auto* log = control<QWidget>("runLog");
        QVERIFY(QTest::qWaitFor(
            [&] { return boxText(log).contains("Process was terminated by user"); }, 10000));
        QVERIFY(!boxText(log).contains("Errors occured during test"));
        QCOMPARE(workbench->runner.results().GetCount(), 0);
    }

    void aFolderThatCannotBeMadeIsShownInTheRunnerView() {
        openScenarioFor(1, [](CRunSection& run) {
            run.saveLog = 1;
            run.logDir  = "/proc/torvex-cannot-be-made/logs";
        });
        frame->SwitchView(kEditorView);
        QString message;
        answerNextModal(frame.get(), [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            message = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        frame->action(Command::RunTest)->trigger();
        QCOMPARE(message, QString("Cannot create directory /proc/torvex-cannot-be-made/logs."));
        // The message closed, the field has the focus back with all of its text selected.
        QCOMPARE(frame->currentView(), int(kRunnerView));
        QWidget* field = frame->findChild<QWidget*>("logDir");
        QWidget* focus = frame->focusWidget();
        QVERIFY(focus == field || field->isAncestorOf(focus));
        QCOMPARE(selectedText(field), fieldText(field));
        QVERIFY(!workbench->runner.running());
    }
};

TORVEX_WEBENGINE_TEST_MAIN(RunFromWorkbenchTest)
#include "RunFromWorkbenchTest.moc"
