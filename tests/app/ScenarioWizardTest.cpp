#include "wizards/ScenarioWizard.h"
#include "app/ModalAnswer.h"
#include "app/WebEngineTestMain.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"
#include "results/ObjectiveHints.h"
#include "wizards/WizardFinishPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <memory>

using namespace torvex;
using torvex::test::answerNextModal;
using Page = CWizardDlg::PageId;

namespace {

template <typename Widget = QWidget> Widget* child(const QWidget& parent, const QString& name) {
    return parent.findChild<Widget*>(name);
}

bool focusIsIn(const QWidget& window, const QString& name) {
    QWidget* focus = window.focusWidget();
    QWidget* owner = child(window, name);
    return focus && owner && (focus == owner || owner->isAncestorOf(focus));
}

// Runs `act` and returns the text of the message box it raised, answered with OK; empty when
// none came up.
QString messageOf(const std::function<void()>& act) {
    QString shown;
    QObject scope; // ends the watch for boxes when the action is over
    answerNextModal(&scope, [&shown](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) shown = box->text();
        modal->close();
    });
    act();
    return shown;
}

QString pressNext(CWizardDlg& wizard) {
    return messageOf([&] { wizard.button(QWizard::NextButton)->click(); });
}

// Sets the control named before "=" on the current page as the user would: a number box or a
// line edit takes the text as typed (a disabled number box its value, as typed before it was
// disabled), a check box "on" or "off", a choice box an index; a radio button is clicked.
void apply(CWizardDlg& wizard, const QString& setting) {
    const QString name  = setting.section(QLatin1Char('='), 0, 0);
    const QString value = setting.section(QLatin1Char('='), 1);
    QWidget* control    = child(*wizard.currentPage(), name);
    QVERIFY2(control, qPrintable(name));
    if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        if (!spin->isEnabled()) return spin->setValue(value.toInt());
        spin->clear();
        QTest::keyClicks(spin, value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value);
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
        check->setChecked(value == QLatin1String("on"));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->setCurrentIndex(value.toInt());
    } else if (auto* radio = qobject_cast<QRadioButton*>(control)) {
        radio->click();
    }
}

// Goes on with Next from the current page to `page`, choosing `objective` on the way and
// applying `settings` to each page before leaving it, keyed by the page's id.
void goTo(CWizardDlg& wizard, int page, int objective = 0,
          const QMap<int, QStringList>& settings = {}) {
    while (wizard.currentId() < page) {
        if (wizard.currentId() == Page::kObjectivePage)
            child<QListWidget>(*wizard.currentPage(), "objectives")->setCurrentRow(objective);
        for (const QString& setting : settings.value(wizard.currentId())) apply(wizard, setting);
        const int before = wizard.currentId();
        QCOMPARE(pressNext(wizard), QString());
        QVERIFY(wizard.currentId() == before + 1);
    }
}

void goBackTo(CWizardDlg& wizard, int page) {
    while (wizard.currentId() > page) wizard.back();
}

// A scenario file holding requests with these think times (minimum and maximum alike).
QString writeScenario(const QTemporaryDir& folder, const QString& name, QList<int> delays) {
    CScenario scenario;
    for (int delay : delays) {
        CRequest& request = scenario.requests.append(std::make_unique<CRequest>());
        request.method    = CRequest::kGet;
        request.server    = "127.0.0.1";
        request.delayMin = request.delayMax = delay;
    }
    std::string error;
    const QString path = folder.filePath(name);
    if (!saveScenarioFile(scenario, path.toStdString(), error)) qWarning() << error.c_str();
    return path;
}

QString describe(const CScenario& s) {
    const CRunSection& r     = s.run;
    const CGeneralSection& g = s.general;
    QStringList delays;
    s.requests.forEach([&](const CRequest& q) {
        delays << QStringLiteral("%1:%2-%3").arg(q.useDelay).arg(q.delayMin).arg(q.delayMax);
    });
    return QString::asprintf(
               "batch%d by%d %d..%d/%d users%d it%d time%d:%d req%d:%d timings%d level%d:%d obj%d "
               "xff%d %s speed%d:%d delays%d ",
               r.batchRun, r.batchBy, r.batchFrom, r.batchTo, r.batchStep, r.users, r.iterations,
               r.limitTime, r.maxMinutes, r.limitRequests, r.maxRequests, r.saveTimings,
               r.loadLevelMode, r.requestsPerSecond, r.objectiveId, g.addForwardedFor,
               g.proxyMask.c_str(), g.limitSpeed, g.speed, g.useDelays) +
           delays.join(QLatin1Char(' '));
}

bool isDefault(const CScenario& scenario) {
    const CScenario fresh;
    return scenarioBytes(scenario) == scenarioBytes(fresh);
}

} // namespace

class ScenarioWizardTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder_;

private slots:
    // A desktop's own file chooser would be out of the test's reach.
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void pagesAndObjectives() {
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Scenario Wizard"));
        const char* titles[] = {"Welcome",
                                "Testing Objectives",
                                "Test Results and Pass/Fail Criteria",
                                "Load Level",
                                "Test Volume",
                                "User Simulation",
                                "Import Requests",
                                "Finish"};
        for (int id = 0; id < 8; ++id)
            QCOMPARE(wizard.page(id)->title(),
                     QString("New Test Scenario Wizard - %1 [Page %2 of 8]")
                         .arg(titles[id])
                         .arg(id + 1));
        goTo(wizard, Page::kObjectivePage);
        auto* list = child<QListWidget>(wizard, "objectives");
        QCOMPARE(list->count(), 7);
        QCOMPARE(list->currentRow(), 0);
        list->setCurrentRow(3);
        QCOMPARE(child<QLabel>(wizard, "objectiveDescription")->text(),
                 QStringLiteral("Find breakpoint of your site/web-based application performance "
                                "against maximum user load."));
        list->clearSelection();
        QCOMPARE(pressNext(wizard), QStringLiteral("Please select an objective."));
        QCOMPARE(wizard.currentId(), int(Page::kObjectivePage));
        QVERIFY(focusIsIn(wizard, "objectives"));

        list->setCurrentRow(4);
        QCOMPARE(pressNext(wizard), QString());
        QCOMPARE(child<QLabel>(wizard, "objectiveName")->text(),
                 QStringLiteral("Reliability/Endurance"));
        QCOMPARE(child<QPlainTextEdit>(wizard, "objectiveResults")->toPlainText(),
                 QString::fromStdString(GetObjectiveResultsText(4)).replace("\r\n", "\n"));
    }

    void pagesFollowTheObjective_data() {
        QTest::addColumn<int>("objective");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<int>("users");
        QTest::addColumn<int>("iterations");
        QTest::newRow("capacity") << 0 << true << 1 << 5;
        QTest::newRow("overall performance") << 1 << false << 20 << 50;
        QTest::newRow("characteristics") << 2 << true << 1 << 50;
        QTest::newRow("endurance") << 4 << false << 20 << 5;
        QTest::newRow("scalability") << 6 << false << 20 << 5;
    }
    void pagesFollowTheObjective() {
        QFETCH(int, objective);
        QFETCH(bool, batch);
        QFETCH(int, users);
        QFETCH(int, iterations);
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, Page::kLoadPage, objective);
        QCOMPARE(child<QLabel>(wizard, "usersLabel")->text(), batch ? "&From:" : "&Users:");
        QCOMPARE(child<QLabel>(wizard, "loadPrompt")->text(),
                 batch ? "Set the number of virtual users participating in the first test run, "
                         "in the last run and step between runs."
                       : "Set the number of virtual users participating in the test run.");
        for (const char* name : {"to", "step", "batchExplanation"})
            QCOMPARE(child(wizard, name)->isVisible(), batch);
        QCOMPARE(child<QSpinBox>(wizard, "users")->value(), users);
        QCOMPARE(child<QSpinBox>(wizard, "to")->value(), 20);

        goTo(wizard, Page::kVolumePage);
        const bool endurance = objective == 4;
        for (const char* name : {"iterations", "limitTime", "minutes", "limitRequests", "requests"})
            QCOMPARE(child(wizard, name)->isVisible(), !endurance);
        for (const char* name : {"hours", "reportingPeriod", "durationNote", "periodNote"})
            QCOMPARE(child(wizard, name)->isVisible(), endurance);
        QCOMPARE(child<QSpinBox>(wizard, "iterations")->value(), iterations);
    }

    // Fields are enabled by their switches: hits per second, the volume limits, the address,
    // and the think time fields by their mode; the level shows the speed and think times.
    void fieldsFollowTheirSwitches() {
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, Page::kLoadPage);
        QVERIFY(!child(wizard, "hitsPerSecond")->isEnabled());
        apply(wizard, "limitLoad=on");
        QVERIFY(child(wizard, "hitsPerSecond")->isEnabled());

        goTo(wizard, Page::kVolumePage);
        auto enabled = [&](std::initializer_list<const char*> names) {
            QString on;
            for (const char* name : names) on += child(wizard, name)->isEnabled() ? '1' : '0';
            return on;
        };
        const auto volume = {"iterations", "minutes", "requests"};
        QCOMPARE(enabled(volume), "100");
        apply(wizard, "limitTime=on");
        QCOMPARE(enabled(volume), "010");
        apply(wizard, "limitRequests=on");
        QCOMPARE(enabled(volume), "011");
        apply(wizard, "limitTime=off");
        QCOMPARE(enabled(volume), "001");

        goTo(wizard, Page::kSimulationPage);
        auto shown = [&] {
            return QString("%1%2 ")
                       .arg(child(wizard, "connectionSpeed")->isVisible())
                       .arg(child(wizard, "thinkTime")->isVisible()) +
                   enabled({"proxyAddress", "minusPercent", "rangeFrom"});
        };
        QCOMPARE(child<QLineEdit>(wizard, "field2")->text(), "$C2");
        QCOMPARE(shown(), "11 100");
        apply(wizard, "randomDelays");
        QCOMPARE(shown(), "11 110");
        apply(wizard, "rangeDelays");
        QCOMPARE(shown(), "11 101");
        apply(wizard, "simulationLevel=1");
        QCOMPARE(shown(), "10 101");
        apply(wizard, "simulationLevel=2");
        apply(wizard, "addForwardedFor=off");
        QCOMPARE(shown(), "00 001");
    }

    void nextRefusesInvalidAnswers_data() {
        QTest::addColumn<int>("objective");
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString users  = QStringLiteral("Please enter an integer between 0 and 999999.");
        const QString counts = QStringLiteral("Please enter an integer between 1 and 999999.");
        const QString order  = QStringLiteral("'From' field cannot be greater than 'To' field.");
        const QString noIp   = QStringLiteral("Please type a proxy IP address.");
        auto row             = [](const char* tag, int objective, int page, QStringList settings,
                      QString message = {}, QString focus = {}) {
            QTest::newRow(tag) << objective << page << settings << message << focus;
        };
        row("from above the range", 0, Page::kLoadPage, {"users=1000000"}, users, "users");
        row("from above to", 0, Page::kLoadPage, {"users=30", "to=20"}, order, "users");
        row("from above to, step 0", 0, Page::kLoadPage, {"users=30", "to=20", "step=0"});
        row("single run: to follows from", 1, Page::kLoadPage, {"to=5", "users=30"});
        row("endurance without users", 4, Page::kLoadPage, {"users=0"},
            "A reliability/endurance test needs at least 1 virtual user.", "users");
        row("iterations above the range", 0, Page::kVolumePage, {"iterations=1000000"}, users,
            "iterations");
        row("no requests", 0, Page::kVolumePage, {"limitRequests=on", "requests=0"}, counts,
            "requests");
        row("unused request limit", 0, Page::kVolumePage, {"requests=0"});
        row("no hours", 4, Page::kVolumePage, {"hours=0"},
            "Please enter an integer between 1 and 999.", "hours");
        row("percent above 100", 0, Page::kSimulationPage, {"randomDelays", "plusPercent=101"},
            "Please enter an integer between 0 and 100.", "plusPercent");
        row("empty address field", 0, Page::kSimulationPage, {"field2="}, noIp, "proxyAddress");
        row("empty address, header off", 0, Page::kSimulationPage,
            {"addForwardedFor=off", "field3="}, noIp, "");
        row("range from above to", 0, Page::kSimulationPage,
            {"rangeDelays", "rangeFrom=5", "rangeTo=3"}, order, "rangeFrom");
        row("range unused below High", 0, Page::kSimulationPage,
            {"rangeDelays", "rangeFrom=5", "rangeTo=3", "simulationLevel=1"});
    }
    // A refused page keeps the wizard where it is, with the cursor in the field named.
    void nextRefusesInvalidAnswers() {
        QFETCH(int, objective);
        QFETCH(int, page);
        QFETCH(QStringList, settings);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, page, objective);
        for (const QString& setting : settings) apply(wizard, setting);
        QCOMPARE(pressNext(wizard), message);
        QCOMPARE(wizard.currentId(), message.isEmpty() ? page + 1 : page);
        if (!focus.isEmpty()) QVERIFY(focusIsIn(wizard, focus));
    }

    // Pages 4 and 5 set their defaults again only when entered with another objective.
    void anotherObjectiveResetsTheDefaults() {
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, Page::kSimulationPage, 0,
             {{Page::kLoadPage, {"users=3", "to=9"}}, {Page::kVolumePage, {"iterations=8"}}});
        auto expectAfter = [&](int objective, int from, int to, int iterations) {
            goBackTo(wizard, Page::kObjectivePage);
            goTo(wizard, Page::kLoadPage, objective);
            QCOMPARE(child<QSpinBox>(wizard, "users")->value(), from);
            QCOMPARE(child<QSpinBox>(wizard, "to")->value(), to);
            goTo(wizard, Page::kVolumePage);
            QCOMPARE(child<QSpinBox>(wizard, "iterations")->value(), iterations);
        };
        expectAfter(0, 3, 9, 8);
        expectAfter(1, 20, 20, 50);
        expectAfter(0, 1, 20, 5);
    }

    void importShowsWhatTheFileHolds_data() {
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("summary");
        QTest::newRow("none") << 0 << ""
                              << "No requests were imported";
        QTest::newRow("one") << 1 << "1 request was imported."
                             << "Imported 1 request";
        QTest::newRow("three") << 3 << "3 requests were imported."
                               << "Imported 3 requests";
    }
    void importShowsWhatTheFileHolds() {
        QFETCH(int, requests);
        QFETCH(QString, count);
        QFETCH(QString, summary);
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, Page::kImportPage);
        const QWizardPage& page = *wizard.currentPage();
        QVERIFY(wizard.importFile(writeScenario(folder_, "import.tvs", QList<int>(requests, 1))));
        QCOMPARE(child(page, "noRequests")->isVisible(), requests == 0);
        QCOMPARE(child<QLabel>(page, "noRequests")->text(), QStringLiteral("No requests found."));
        QCOMPARE(child(page, "importedCount")->isVisible(), requests > 0);
        if (requests > 0) QCOMPARE(child<QLabel>(page, "importedCount")->text(), count);
        for (const char* hint : {"importHint", "recordHint"})
            QCOMPARE(child(page, hint)->isVisible(), requests == 0);
        goTo(wizard, Page::kFinishPage);
        QVERIFY(child<QPlainTextEdit>(wizard, "summary")->toPlainText().endsWith("\n+ " + summary));

        // A damaged file is named in a message and changes nothing.
        const QString damaged = folder_.filePath("damaged.tvs");
        std::ofstream(damaged.toStdString()) << "not a scenario";
        wizard.back();
        bool imported       = true;
        const QString shown = messageOf([&] { imported = wizard.importFile(damaged); });
        QVERIFY(!imported);
        QVERIFY2(shown.contains(damaged), qPrintable(shown));
        QCOMPARE(wizard.workingScenario().requests.count(), requests);
        QCOMPARE(child(page, "importedCount")->isVisible(), requests > 0);
    }

    void browseOffersScenarioFiles() {
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, Page::kImportPage);
        const QString path = writeScenario(folder_, "browse.tvs", {4, 6});
        QStringList filters; // and the suffix, and whether only existing files are offered
        answerNextModal(&wizard, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            filters = dialog->nameFilters() << dialog->defaultSuffix();
            if (dialog->fileMode() == QFileDialog::ExistingFile) filters << "existing";
            // Typed as the user would: selectFile() leaves the name box alone while it has
            // the focus.
            child<QLineEdit>(*dialog, "fileNameEdit")->setText(path);
            static_cast<QDialog*>(dialog)->accept();
            if (dialog->isVisible()) dialog->reject(); // never leave the test waiting
        });
        child<QPushButton>(wizard, "browse")->click();
        QCOMPARE(filters,
                 QStringList({"Torvex Scenarios (*.tvs)", "All Files (*)", "tvs", "existing"}));
        QCOMPARE(wizard.workingScenario().requests.count(), 2);
    }

    void finishAppliesTheAnswers_data() {
        QTest::addColumn<int>("objective");
        QTest::addColumn<QStringList>("load");
        QTest::addColumn<QStringList>("volume");
        QTest::addColumn<QStringList>("simulation");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("scenario");
        QTest::newRow("real user experience")
            << 5 << QStringList{"users=15", "limitLoad=on", "hitsPerSecond=25"}
            << QStringList{"iterations=3", "limitTime=on", "minutes=10", "limitRequests=on",
                           "requests=200"}
            << QStringList{"connectionSpeed=3", "field0=10",       "field1=0",
                           "randomDelays",      "minusPercent=10", "plusPercent=20"}
            << "+ Testing objective:\r\n      Real User Experience/Background Testing\r\n\r\n"
               "+ Load level:\r\n      15 virtual users\r\n      Load level is 25 hits/sec\r\n\r\n"
               "+ Test volume:\r\n      Perform 3 iterations\r\n      Run for 10 min\r\n"
               "      Perform 200 requests\r\n\r\n"
               "+ Real user simulation level:\r\n      High\r\n\r\n+ Imported 2 requests"
            << "batch0 by0 1..20/1 users15 it3 time1:10 req1:200 timings1 level1:25 obj5 xff1 "
               "10.0.$C2.$C1 speed1:512000 delays1 1:18-24 1:7-8";
        QTest::newRow("endurance")
            << 4 << QStringList{"to=3"} << QStringList{"hours=2", "reportingPeriod=2"}
            << QStringList{"simulationLevel=1", "connectionSpeed=10", "addForwardedFor=off"}
            << "+ Testing objective:\r\n      Reliability/Endurance\r\n\r\n"
               "+ Load level:\r\n      20 virtual users\r\n      No load level limit\r\n\r\n"
               "+ Test volume:\r\n      Test duration: 2 hours\r\n      Reporting period: 30 "
               "min\r\n\r\n+ Real user simulation level:\r\n      Medium\r\n\r\n"
               "+ Imported 2 requests"
            << "batch1 by1 1800..1803/1 users20 it5 time1:30 req0:100 timings0 level0:1 obj4 xff0 "
               "192.168.$C2.$C1 speed1:14400 delays0 0:20-20 0:7-7";
    }
    // One run through every page, as the tester goes, up to Finish.
    void finishAppliesTheAnswers() {
        QFETCH(int, objective);
        QFETCH(QStringList, load);
        QFETCH(QStringList, volume);
        QFETCH(QStringList, simulation);
        QFETCH(QString, summary);
        QFETCH(QString, scenario);
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, Page::kImportPage, objective,
             {{Page::kLoadPage, load},
              {Page::kVolumePage, volume},
              {Page::kSimulationPage, simulation}});
        QVERIFY(wizard.importFile(writeScenario(folder_, "run.tvs", {20, 7})));
        goTo(wizard, Page::kFinishPage);

        auto* finishPage = qobject_cast<CWizardPage8*>(wizard.currentPage());
        QVERIFY(finishPage);
        QCOMPARE(QString::fromStdString(finishPage->summary()), summary);
        auto* text = child<QPlainTextEdit>(*finishPage, "summary");
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->toPlainText(), QString(summary).replace("\r\n", "\n"));
        QVERIFY(wizard.button(QWizard::FinishButton)->isVisible());
        QVERIFY(wizard.button(QWizard::BackButton)->isVisible());
        QVERIFY(!wizard.button(QWizard::NextButton)->isVisible());
        QVERIFY(isDefault(target)); // nothing changes before Finish

        wizard.button(QWizard::FinishButton)->click();
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(describe(target), scenario);
    }

    void closingLeavesTheDefaults_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("createDefault");
        for (int page = Page::kWelcomePage; page <= Page::kFinishPage; ++page)
            QTest::newRow(qPrintable(QString("cancel on page %1").arg(page + 1))) << page << false;
        QTest::newRow("create default") << int(Page::kWelcomePage) << true;
    }
    // Cancel, or "&Create Default..." (which closes as Cancel), leaves the target untouched.
    void closingLeavesTheDefaults() {
        QFETCH(int, page);
        QFETCH(bool, createDefault);
        CScenario target;
        CWizardDlg wizard(target);
        wizard.show();
        goTo(wizard, std::min(page, int(Page::kImportPage)), 4,
             {{Page::kLoadPage, {"users=5"}}, {Page::kSimulationPage, {"useDelays"}}});
        if (page >= Page::kImportPage) {
            QVERIFY(wizard.importFile(writeScenario(folder_, "cancel.tvs", {3})));
            goTo(wizard, page);
        }
        if (createDefault) {
            child<QPushButton>(wizard, "createDefault")->click();
        } else {
            wizard.button(QWizard::CancelButton)->click();
        }
        QVERIFY(!wizard.isVisible());
        QCOMPARE(wizard.result(), int(QDialog::Rejected));
        QCOMPARE(wizard.createDefaultChosen(), createDefault);
        QVERIFY(isDefault(target));
    }
};

TORVEX_WEBENGINE_TEST_MAIN(ScenarioWizardTest)
#include "ScenarioWizardTest.moc"
