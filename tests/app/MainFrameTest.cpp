// The main window driven as a user would: views and navigation, command enabling while recording
// or running (real runs against a fixture server), the window layout, and scenario and results
// files with the modified prompt.
#include "app/MainFrame.h"
#include "FreshWorkbench.h"
#include "ModalAnswer.h"
#include "WebEngineTestMain.h"
#include "app/LayoutStore.h"
#include "app/NavigationBar.h"
#include "app/TorvexApp.h"
#include "app/Workbench.h"
#include "http/support/FixtureServer.h"
#include "results/GraphicsFormView.h"
#include "results/ResultsContainer.h"
#include "support/TempDir.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/SettingsWizard.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QWizard>

using namespace torvex;
using torvex::test::answerModalsUntil;
using torvex::test::answerNextModal;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;

namespace {

// Clicks `button` of the next message box and keeps its text.
void answerMessageBox(QObject* owner, QMessageBox::StandardButton button, QString* text = nullptr) {
    answerNextModal(owner, [button, text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        if (text) *text = box->text();
        if (QAbstractButton* choice = box->button(button)) choice->click();
    });
}

std::unique_ptr<CRequest> requestTo(int port, const std::string& path) {
    auto request    = std::make_unique<CRequest>();
    request->name   = "page";
    request->method = CRequest::kGet;
    request->scheme = CRequest::kHttp;
    request->server = "127.0.0.1:" + std::to_string(port);
    request->uri    = path;
    return request;
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<torvex::test::TempDir> folder;

    void makeFrame() {
        frame = std::make_unique<CMainFrame>(*workbench);
        frame->show();
    }
    QString path(const char* name) const {
        return QString::fromStdString(folder->path.string() + "/" + name);
    }
    void addRequest(int port, const std::string& uri = "") {
        workbench->document.scenario().requests.append(requestTo(port, uri));
        workbench->document.setModified();
    }
    bool waitUntil(const std::function<bool()>& condition, int limitMs = 20000) {
        return QTest::qWaitFor(condition, limitMs);
    }

private slots:
    // Settings go to the test's own folder, never the user's.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() {
        folder    = std::make_unique<torvex::test::TempDir>();
        workbench = torvex::test::freshWorkbench();
        // Runs in these tests are single runs that keep no files.
        CRunSection& run = workbench->document.scenario().run;
        run.batchRun     = 0;
        run.users        = 2;
        run.iterations   = 1;
        run.staggerStart = 0;
    }

    void cleanup() {
        frame.reset();
        workbench->runner.Shutdown();
        workbench.reset();
    }

    void viewsFollowSwitchingAndTheNavigationBar() {
        makeFrame();
        QCOMPARE(frame->currentView(), int(kEditorView));
        auto* stack                = frame->findChild<QStackedWidget*>();
        CNavigationBar* navigation = frame->navigationBar();

        frame->SwitchView(kGraphsView);
        QCOMPARE(frame->currentView(), int(kGraphsView));
        QCOMPARE(stack->currentWidget(), frame->view(kGraphsView));
        QCOMPARE(navigation->currentGroup(), 1);
        QVERIFY(qobject_cast<CGraphicsFormView*>(frame->view(kGraphsView)));
        frame->SwitchView(7); // not a view
        QCOMPARE(frame->currentView(), int(kGraphsView));

        // Items count within the open group: Results 0..2 are views 4..6, Test 1..2 are 2..3.
        navigation->itemButton(1, 0)->click();
        QCOMPARE(frame->currentView(), int(kReportView));
        navigation->itemButton(1, 2)->click();
        QCOMPARE(frame->currentView(), int(kBatchGraphsView));
        navigation->groupButton(0)->click();
        navigation->itemButton(0, 2)->click();
        QCOMPARE(frame->currentView(), int(kRunnerView));
        QCOMPARE(navigation->currentGroup(), 0);
        navigation->itemButton(0, 1)->click();
        QCOMPARE(frame->currentView(), int(kEditorView));
    }

    void theRecorderItemAsksWhetherToRecordAndKeepsTheAnswer() {
        makeFrame();
        CNavigationBar* navigation = frame->navigationBar();
        // Yes with "don't show again": recording starts and the prompt is not shown again.
        answerNextModal(frame.get(), [](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            QCOMPARE(box->text(), QString("Always start recording when switch to Recorder?"));
            box->checkBox()->setChecked(true);
            box->button(QMessageBox::Yes)->click();
        });
        navigation->itemButton(0, 0)->click();
        QCOMPARE(frame->currentView(), int(kRecorderView));
        QVERIFY(frame->isRecording());
        QVERIFY(workbench->recorder.IsRecording());
        QSettings stored(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
        QCOMPARE(stored.value("Settings/StartRecording").toInt(), 1);
        QCOMPARE(stored.value("Settings/PromptRecording").toInt(), 0);

        // Stop Recording shows the Editor; the next switch starts recording without asking.
        frame->action(Command::StopRecording)->trigger();
        QCOMPARE(frame->currentView(), int(kEditorView));
        QVERIFY(!workbench->recorder.IsRecording());
        navigation->itemButton(0, 0)->click();
        QVERIFY(frame->isRecording());
    }

    void commandsFollowRecording() {
        makeFrame();
        QVERIFY(frame->action(Command::StartRecording)->isEnabled());
        QVERIFY(!frame->action(Command::StopRecording)->isEnabled());
        frame->action(Command::StartRecording)->trigger();
        QCOMPARE(frame->currentView(), int(kRecorderView));
        QVERIFY(!frame->action(Command::StartRecording)->isEnabled());
        QVERIFY(!frame->action(Command::RunTest)->isEnabled());
        QVERIFY(frame->action(Command::StopRecording)->isEnabled());
        QVERIFY(!frame->action(Command::StopTest)->isEnabled());
        // Stop Recording opens the Test group again even when the user opened the other one.
        frame->navigationBar()->groupButton(1)->click();
        frame->action(Command::StopRecording)->trigger();
        QCOMPARE(frame->currentView(), int(kEditorView));
        QCOMPARE(frame->navigationBar()->currentGroup(), 0);
        QVERIFY(frame->action(Command::RunTest)->isEnabled());
        QVERIFY(frame->action(Command::NewScenario)->isEnabled());

        // The View menu's mark follows the toolbar, also when it is hidden another way.
        frame->findChild<QToolBar*>("toolBar")->hide();
        QVERIFY(!frame->action(Command::ToggleToolBar)->isChecked());
        frame->action(Command::ToggleToolBar)->trigger();
        QVERIFY(frame->findChild<QToolBar*>("toolBar")->isVisible());
    }

    void aRunDisablesRecordingAndEndsInTheReport() {
        FixtureServer server;
        server.route("/", FixtureServer::reply(httpResponse(200, "home")));
        addRequest(server.port());
        makeFrame();
        QVERIFY(!frame->action(Command::SaveResults)->isEnabled());

        frame->action(Command::RunTest)->trigger();
        QVERIFY(workbench->runner.running() || workbench->runner.results().GetCount() == 1);
        QCOMPARE(frame->currentView(), int(kRunnerView));
        QVERIFY(waitUntil([&] { return frame->currentView() == kReportView; }));
        QCOMPARE(frame->navigationBar()->currentGroup(), 1);
        QVERIFY(!frame->progress().isVisible());
        QVERIFY(frame->action(Command::SaveResults)->isEnabled());
        QVERIFY(frame->action(Command::RunTest)->isEnabled());
        QVERIFY(!frame->action(Command::StopTest)->isEnabled());
        QCOMPARE(workbench->document.scenario().general.projectName, workbench->document.title());
    }

    void stopTestEndsARunThatWaitsForASilentServer() {
        FixtureServer server;
        server.route("/", FixtureServer::silent());
        addRequest(server.port());
        makeFrame();
        frame->action(Command::RunTest)->trigger();
        QVERIFY(workbench->runner.running());
        QVERIFY(frame->progress().isVisible());
        QVERIFY(!frame->action(Command::RunTest)->isEnabled());
        QVERIFY(!frame->action(Command::StartRecording)->isEnabled());
        QVERIFY(frame->action(Command::StopTest)->isEnabled());

        QString stopText;
        answerNextModal(frame.get(), [&stopText](QWidget* modal) {
            if (auto* label = modal->findChild<QLabel*>()) stopText = label->text();
        });
        frame->action(Command::StopTest)->trigger();
        QCOMPARE(stopText, QString("Please, wait a run stopping..."));
        QVERIFY(!workbench->runner.running());
        QVERIFY(!frame->progress().isVisible());
        QVERIFY(frame->action(Command::RunTest)->isEnabled());
        QVERIFY(!frame->action(Command::StopTest)->isEnabled());
        // A stopped run stays in the Runner.
        QTest::qWait(100);
        QCOMPARE(frame->currentView(), int(kRunnerView));
    }

    void runTestRefusesAScenarioWithoutRequests() {
        makeFrame();
        QString text;
        answerMessageBox(frame.get(), QMessageBox::Ok, &text);
        frame->action(Command::RunTest)->trigger();
        QVERIFY(text.startsWith("No requests in the test scenario. Test has stopped."));
        QVERIFY(!workbench->runner.running());
        QCOMPARE(frame->currentView(), int(kEditorView));
    }

    void theWindowLayoutIsSavedAndRestored() {
        makeFrame();
        QCOMPARE(frame->minimumSize(), QSize(765, 550));
        QCOMPARE(frame->size(), QSize(765, 550)); // nothing saved: the smallest size
        frame->setGeometry(QRect(40, 30, 900, 640));
        QVERIFY(frame->close());
        QSettings stored(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
        QCOMPARE(stored.value("Layout/Frame/WindowRect").toString(), QString("40,30,940,670"));
        QCOMPARE(stored.value("Layout/Frame/CmdShow").toInt(), 1);

        makeFrame();
        QCOMPARE(frame->geometry(), QRect(40, 30, 900, 640));

        // A rectangle that is not four numbers is ignored; a small one grows to the minimum.
        stored.setValue("Layout/Frame/WindowRect", "1,2,3");
        stored.sync();
        makeFrame();
        QCOMPARE(frame->size(), QSize(765, 550));
        QCOMPARE(LayoutStore::readRect("Frame", "WindowRect"), std::nullopt);
        QVERIFY(LayoutStore::writeRect("Frame", "WindowRect", QRect(10, 10, 300, 200)));
        makeFrame();
        QCOMPARE(frame->geometry(), QRect(10, 10, 765, 550));
        QCOMPARE(LayoutStore::readNumber("Missing", "CmdShow"), std::nullopt);
    }

    void theSavedShowStateIsRestoredButNeverMinimised() {
        QSettings stored(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
        QVERIFY(CGlobalSettings().save(workbench->settingsStore)); // not a first start
        stored.setValue("Layout/Frame/CmdShow", 3);
        stored.sync();
        makeFrame();
        frame->firstDisplay();
        QVERIFY(frame->isMaximized());

        stored.setValue("Layout/Frame/CmdShow", 2);
        stored.sync();
        makeFrame();
        frame->firstDisplay();
        QVERIFY(!frame->isMinimized() && !frame->isMaximized());

        stored.setValue("Layout/Frame/CmdShow", "maximised");
        stored.sync();
        QCOMPARE(LayoutStore::readNumber("Frame", "CmdShow"), std::nullopt);
    }

    void scenariosRoundTripWithTheModifiedPrompt() {
        makeFrame();
        const QString title = QString::fromStdString(workbench->document.title());
        QVERIFY(title.startsWith("Scenario"));
        QCOMPARE(frame->windowTitle(), title + "[*] - Torvex v2.0");

        addRequest(8080, "first");
        frame->updateTitle();
        QVERIFY(frame->isWindowModified());
        QVERIFY(frame->saveScenarioTo(path("first.tvs")));
        QVERIFY(!frame->isWindowModified());
        QCOMPARE(frame->windowTitle(), QString("first.tvs[*] - Torvex v2.0"));
        QStringList menu; // the File menu lists the saved file first among the recent ones
        for (QAction* each : frame->menuBar()->actions().first()->menu()->actions()) {
            menu << each->text();
        }
        QVERIFY(menu.contains("&1 " + path("first.tvs")));

        // Cancel at the prompt keeps the modified scenario open.
        addRequest(8080, "second");
        QString prompt;
        answerMessageBox(frame.get(), QMessageBox::Cancel, &prompt);
        frame->action(Command::NewScenario)->trigger();
        QCOMPARE(prompt, "Save changes to " + path("first.tvs") + "?");
        QCOMPARE(workbench->document.scenario().requests.count(), 2);

        // Yes saves it under its name, then the new scenario starts empty in the Recorder. The
        // wizard's "Create Default..." keeps the default scenario and runs no second wizard.
        int wizards = 0;
        answerModalsUntil(
            frame.get(),
            [&wizards](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (box && wizards == 0) box->button(QMessageBox::Yes)->click();
                if (!qobject_cast<CWizardDlg*>(modal)) return false;
                ++wizards;
                modal->findChild<QAbstractButton*>("createDefault")->click();
                return false; // a second wizard would be counted too
            },
            1000);
        frame->action(Command::NewScenario)->trigger();
        QTest::qWait(200); // time for a second wizard, which must not come
        QCOMPARE(wizards, 1);
        QCOMPARE(workbench->document.scenario().requests.count(), 0);
        QCOMPARE(workbench->document.scenario().run.users, CRunSection().users);
        QCOMPARE(frame->currentView(), int(kRecorderView));
        QVERIFY(!frame->isWindowModified());

        // Opening it again brings both requests back and shows the Editor.
        QVERIFY(frame->openScenario(path("first.tvs")));
        QCOMPARE(workbench->document.scenario().requests.count(), 2);
        QCOMPARE(frame->currentView(), int(kEditorView));

        // No at the prompt drops the change.
        addRequest(8080, "third");
        answerMessageBox(frame.get(), QMessageBox::No);
        QVERIFY(frame->openScenario(path("first.tvs")));
        QCOMPARE(workbench->document.scenario().requests.count(), 2);
    }

    void aRefusedFileLeavesScenarioAndResultsAsTheyWere() {
        makeFrame();
        addRequest(8080, "kept");
        workbench->document.setModified(false);
        auto record   = std::make_shared<CResultsStore>();
        record->runId = 0;
        workbench->runner.results().Add(record);

        QFile bad(path("bad.tvs"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a scenario");
        bad.close();
        QString message;
        answerMessageBox(frame.get(), QMessageBox::Ok, &message);
        QVERIFY(!frame->openScenario(path("bad.tvs")));
        QVERIFY(message.contains("bad.tvs"));
        QCOMPARE(workbench->document.scenario().requests.count(), 1);
        QCOMPARE(workbench->runner.results().GetCount(), 1);

        answerMessageBox(frame.get(), QMessageBox::Ok, &message);
        QVERIFY(!frame->openResults(path("bad.tvs")));
        QCOMPARE(workbench->runner.results().GetCount(), 1);
    }

    void resultsFilesOpenInTheReportAndFromTheCommandLine() {
        CResultsContainer results;
        auto record       = std::make_shared<CResultsStore>();
        record->userCount = 3;
        results.Add(record);
        std::string error;
        QVERIFY(results.SaveToFile(path("batch.rlt").toStdString(), error));

        makeFrame();
        frame->openFromCommandLine(path("notes.txt"));
        QCOMPARE(frame->currentView(), int(kEditorView));
        frame->openFromCommandLine(path("batch.rlt"));
        QCOMPARE(frame->currentView(), int(kReportView));
        QCOMPARE(workbench->runner.results().GetCount(), 1);
        QVERIFY(frame->action(Command::SaveResults)->isEnabled());
        QVERIFY(frame->saveResults(path("copy.rlt")));
        QVERIFY(QFile::exists(path("copy.rlt")));
    }

    // A first start leads through the settings wizard, the tips and the new scenario wizard,
    // driven as a user would, to a scenario set up for its objective.
    void theFirstStartRunsBothWizardsAndLaterStartsDoNot() {
        QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex")).setValue("Tip/StartUp", true);
        makeFrame();
        QStringList seen;
        answerModalsUntil(frame.get(), [&seen](QWidget* modal) {
            auto* wizard = qobject_cast<QWizard*>(modal);
            if (!wizard) {
                seen << modal->windowTitle();
                modal->close(); // the tips
                return false;
            }
            seen << wizard->windowTitle();
            while (wizard->currentId() != wizard->pageIds().last()) {
                if (auto* objectives = wizard->currentPage()->findChild<QListWidget*>("objectives"))
                    objectives->setCurrentRow(1); // "Overall Performance"
                wizard->button(QWizard::NextButton)->click();
            }
            wizard->button(QWizard::FinishButton)->click();
            return qobject_cast<CWizardDlg*>(modal) != nullptr;
        });
        frame->firstDisplay();
        QCOMPARE(seen, QStringList({"Settings Wizard", "Tip of the Day", "Scenario Wizard"}));

        QSettings stored(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
        QCOMPARE(stored.value("Settings/Timeout").toInt(), 120);
        const CRunSection& run = workbench->document.scenario().run;
        QCOMPARE(run.objectiveId, 1);
        QCOMPARE(run.batchRun, 0);
        QCOMPARE(run.users, 20);
        QCOMPARE(run.iterations, 50);
        QCOMPARE(run.saveTimings, 1);
        QVERIFY(frame->isWindowModified());
        QCOMPARE(frame->currentView(), int(kRecorderView));

        // Later starts find the settings and run no wizard.
        stored.setValue("Tip/StartUp", false);
        workbench->document.setModified(false);
        makeFrame();
        frame->firstDisplay();
        QCOMPARE(frame->currentView(), int(kRecorderView));
    }

    // The program from start to exit: the first start's defaults, a results file from the command
    // line shown in the report, and a clean shutdown of the run controller.
    void theProgramStartsOpensTheNamedFileAndExits() {
        CResultsContainer results;
        results.Add(std::make_shared<CResultsStore>());
        std::string error;
        QVERIFY(results.SaveToFile(path("start.rlt").toStdString(), error));
        workbench->runner.Shutdown(); // the program runs its own

        // The first start's settings wizard finishes with the defaults; the scenario wizard is
        // cancelled.
        answerModalsUntil(this, [](QWidget* modal) {
            auto* wizard = qobject_cast<QWizard*>(modal);
            if (!wizard) return false;
            if (qobject_cast<CWizardDlg*>(modal)) return wizard->reject(), true;
            while (wizard->currentId() != wizard->pageIds().last())
                wizard->button(QWizard::NextButton)->click();
            wizard->button(QWizard::FinishButton)->click();
            return false;
        });
        auto program = std::make_unique<CTorvexApp>();
        QVERIFY(program->start({path("start.rlt")}));
        CMainFrame* shown = program->mainFrame();
        QVERIFY(waitUntil([&] { return shown->currentView() == kReportView; }, 5000));
        QCOMPARE(shown->windowTitle().left(8), QString("Scenario"));
        QSettings stored(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
        QCOMPARE(stored.value("Settings/HTTPVersion").toInt(), 1);
        program.reset();
    }
};

TORVEX_WEBENGINE_TEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
