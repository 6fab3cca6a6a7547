// The Runner view driven as a user would: which controls each choice enables, storing every
// change into the scenario, the batch bounds and step typed as text, the report names pattern
// dialog, the folder chooser, the sequence editor, the run log box and focusing a failed field.
#include "runner/RunnerFormView.h"
#include "ModalAnswer.h"
#include "editor/SequenceEditorDialog.h"
#include "model/Document.h"
#include "runner/ReportPatternDialog.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace torvex;
using torvex::test::answerNextModal;
using Names = std::vector<std::string>;

class RunnerFormViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CHexmillLEDoc> document;
    std::unique_ptr<CRunnerFormView> view;

    CRunSection& run() { return document->scenario().run; }
    template <typename Widget = QWidget> Widget* control(const QString& name) {
        auto* found = view->findChild<Widget*>(name);
        if (!found) qFatal("no control %s", qPrintable(name));
        return found;
    }
    void click(const QString& name) { control<QAbstractButton>(name)->click(); }
    // Each of the space-separated controls is enabled, or each is disabled.
    void expectEnabled(const QString& names, bool enabled) {
        for (const QString& name : names.split(' ', Qt::SkipEmptyParts))
            QVERIFY2(control(name)->isEnabled() == enabled, qPrintable(name));
    }
    // Types `text` over a batch box's text and finishes the edit with Return.
    void typeInto(const char* name, const QString& text) {
        auto* box = control<QAbstractSpinBox>(name);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QString shown(const char* name) { return control<QAbstractSpinBox>(name)->text(); }
    QScrollArea* formArea() { return view->findChild<QScrollArea*>(); }
    // Reloads the view from the scenario as it is now, unmodified.
    void reload() {
        view->RefreshView();
        document->setModified(false);
    }

private slots:
    void init() {
        document = std::make_unique<CHexmillLEDoc>();
        view     = std::make_unique<CRunnerFormView>(*document);
        view->resize(615, 450); // the main window's smallest size without the navigation bar
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    void cleanup() {
        view.reset();
        document.reset();
    }

    void loadControlsFollowTheRunKind_data() {
        for (const char* column : {"kind", "enabled", "disabled"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<bool>("limitTime");
        const QString batch = "batchBy batchFrom batchTo batchStep pauseBetweenRuns ";
        QTest::newRow("single") << "single"
                                << "users iterations limitTime limitRequests" << batch << false;
        QTest::newRow("by users") << "users" << batch + "iterations limitTime limitRequests"
                                  << "users" << false;
        QTest::newRow("by iterations")
            << "iterations" << batch + "users"
            << "iterations limitTime maxMinutes limitRequests maxRequests" << false;
        // A time limit closes the iterations.
        QTest::newRow("single for a time") << "single"
                                           << "users limitTime maxMinutes"
                                           << "iterations maxRequests batchFrom" << true;
        QTest::newRow("by iterations for a time") << "iterations"
                                                  << "users batchStep"
                                                  << "iterations limitTime maxMinutes" << true;
    }
    void loadControlsFollowTheRunKind() {
        QFETCH(QString, kind);
        QFETCH(QString, enabled);
        QFETCH(QString, disabled);
        QFETCH(bool, limitTime);
        // From the opposite state, so that every change must reach the enabling.
        run().limitTime = !limitTime;
        run().batchBy   = 0;
        run().batchRun  = kind == "single" ? 1 : 0;
        reload();
        click("limitTime");
        click(kind == "single" ? "singleRun" : "batchRun");
        control<QComboBox>("batchBy")->setCurrentIndex(kind == "iterations" ? 1 : 0);
        QCOMPARE(run().limitTime, limitTime ? 1 : 0);
        expectEnabled(enabled, true);
        expectEnabled(disabled, false);
    }

    // Each check and choice opens its controls, and only while it is on.
    void checksOpenTheirControls() {
        const struct {
            const char* on;
            const char* off;
            const char* controls;
        } kSwitches[] = {
            {"pauseBetweenRuns", "pauseBetweenRuns", "pauseSeconds"},
            {"limitRequests", "limitRequests", "maxRequests"},
            {"saveLog", "saveLog", "logDir browseLogDir"},
            {"saveReports", "saveReports",
             "reportDir browseReportDir reportNamePattern editPattern"},
            {"saveTimings", "saveTimings", "timingsKind"},
            {"initialSeqOn", "initialSeqOn", "editInitialSeq"},
            {"mainSeqOn", "mainSeqOn", "editMainSeq"},
            {"finalSeqOn", "finalSeqOn", "editFinalSeq"},
            {"loadLevelUpTo", "maximumLoad", "requestsPerSecond"},
            {"delayBetweenUsers", "startSimultaneously", "staggerMs"},
        };
        run().pauseBetweenRuns = run().mainSeqOn = run().loadLevelMode = run().staggerStart = 0;
        reload();
        for (const auto& each : kSwitches) {
            expectEnabled(each.controls, false);
            click(each.on);
            expectEnabled(each.controls, true);
            click(each.off);
            expectEnabled(each.controls, false);
        }
        // The interval also needs a batch run.
        click("pauseBetweenRuns");
        click("singleRun");
        expectEnabled("pauseSeconds pauseBetweenRuns", false);
    }

    void choosingSingleRunChecksTheTimings() {
        run().batchRun    = 0;
        run().saveTimings = 0;
        reload(); // loading a single run leaves the box as the scenario has it
        QVERIFY(!control<QCheckBox>("saveTimings")->isChecked());
        click("batchRun");
        click("singleRun");
        QVERIFY(control<QCheckBox>("saveTimings")->isChecked());
        QCOMPARE(run().saveTimings, 1);
    }

    void loadingLeavesTheDocumentAloneAndEveryChangeMarksIt() {
        QSignalSpy modified(view.get(), &CRunnerFormView::documentModified);
        run().users   = 321;
        run().comment = "first";
        run().batchTo = 40;
        view->RefreshView();
        view->ResetView();
        QVERIFY(!document->modified());
        QCOMPARE(modified.count(), 0);
        QCOMPARE(control<QSpinBox>("users")->value(), 321);
        QCOMPARE(shown("batchTo"), QString("40"));

        const struct {
            std::function<void()> change;
            std::function<bool()> stored;
        } kChanges[] = {
            {[&] { control<QSpinBox>("iterations")->setValue(77); },
             [&] { return run().iterations == 77; }},
            {[&] { QTest::keyClicks(control("comment"), "!"); },
             [&] { return run().comment == "first!"; }},
            {[&] { control<QComboBox>("timingRounding")->setCurrentIndex(2); },
             [&] { return run().timingRounding == 2; }},
            {[&] { click("timingMode2"); }, [&] { return run().timingMode == 2; }},
            {[&] { click("timeoutCheck"); }, [&] { return run().timeoutCheck == 0; }},
            {[&] { typeInto("batchTo", "30"); }, [&] { return run().batchTo == 30; }},
        };
        for (const auto& each : kChanges) {
            document->setModified(false);
            modified.clear();
            each.change();
            QVERIFY(each.stored());
            QVERIFY(document->modified());
            QVERIFY(modified.count() >= 1);
        }
        // Finishing an edit that changed nothing is no change.
        document->setModified(false);
        typeInto("batchTo", "30");
        QVERIFY(!document->modified());
    }

    void numberBoxesHoldTheirRanges() {
        const struct {
            const char* name;
            int minimum;
            int maximum;
        } kRanges[] = {{"users", 0, 999999},         {"iterations", 0, 9999999},
                       {"pauseSeconds", 0, 9999999}, {"maxMinutes", 0, 9999999},
                       {"maxRequests", 0, 9999999},  {"requestsPerSecond", 1, 9999999},
                       {"staggerMs", 0, 3600000}};
        for (const auto& each : kRanges) {
            QCOMPARE(control<QSpinBox>(each.name)->minimum(), each.minimum);
            QCOMPARE(control<QSpinBox>(each.name)->maximum(), each.maximum);
        }
        for (const char* name : {"logDir", "reportDir", "reportNamePattern"})
            QCOMPARE(control<QLineEdit>(name)->maxLength(), 270);
        QCOMPARE(control<QLineEdit>("comment")->maxLength(), 1024);
        // A rate of 0 cannot be chosen, even from the keyboard.
        run().loadLevelMode     = 1;
        run().requestsPerSecond = 2;
        reload();
        for (int press = 0; press < 2; ++press)
            QTest::keyClick(control("requestsPerSecond"), Qt::Key_Down);
        QCOMPARE(run().requestsPerSecond, 1);
    }

    void batchBoxesFollowTheRangeRules() {
        // Not a number: the previous value comes back, and nothing changed.
        typeInto("batchStep", "abc");
        typeInto("batchFrom", "");
        QCOMPARE(shown("batchStep"), QString("1"));
        QCOMPARE(shown("batchFrom"), QString("1"));
        QVERIFY(!document->modified());
        // Counting up, from cannot pass to.
        typeInto("batchFrom", "25");
        QCOMPARE(shown("batchFrom"), QString("20"));
        typeInto("batchFrom", "5");
        // A negative step exchanges the bounds and is held at -999.
        typeInto("batchStep", "-4000");
        QCOMPARE(shown("batchStep") + shown("batchFrom") + shown("batchTo"), QString("-999205"));
        QCOMPARE(Names({std::to_string(run().batchFrom), std::to_string(run().batchTo),
                        std::to_string(run().batchStep)}),
                 Names({"20", "5", "-999"}));
        // Counting down, to cannot pass from, neither typed nor with the arrows.
        typeInto("batchTo", "30");
        QCOMPARE(shown("batchTo"), QString("20"));
        typeInto("batchTo", "19");
        QTest::keyClick(control("batchTo"), Qt::Key_Up);
        QTest::keyClick(control("batchTo"), Qt::Key_Up);
        QCOMPARE(run().batchTo, 20);
    }

    void reportNamesExpandAsTheEngineDoes() {
        const QDateTime at(QDate(2024, 3, 7), QTime(9, 5, 4));
        const ReportNameParts parts{"shop", 20, 5};
        QCOMPARE(expandReportName("%n-%cx%r.xls", parts, at), QString("shop-20x5.xls"));
        QCOMPARE(expandReportName("%y%m%d_%t", parts, at), QString("20240307_090504"));
        // A percent sign, an unknown macro and a lone "%" at the end.
        QCOMPARE(expandReportName("100%%%q_%", parts, at), QString("100%_"));
    }

    void patternDialogInsertsMacrosAndOkReplacesThePattern() {
        // A saved scenario's title has an extension, which the example leaves out.
        QTemporaryDir folder;
        std::string error;
        QVERIFY(document->save(folder.filePath("shop.tvs").toStdString(), error));
        run().saveReports       = 1;
        run().reportNamePattern = "ab";
        run().users             = 7;
        reload();
        QString example;
        answerNextModal(view.get(), [&example](QWidget* modal) {
            auto* pattern = modal->findChild<QLineEdit*>("pattern");
            auto insert   = [modal](const QString& macro) {
                for (QAction* action :
                     modal->findChild<QToolButton*>("insertMacro")->menu()->actions())
                    if (action->data().toString() == macro) action->trigger();
            };
            pattern->setCursorPosition(1);
            insert("%c");
            insert("%%");
            pattern->end(false);
            insert("%n");
            example = modal->findChild<QLabel*>("example")->text();
            static_cast<QDialog*>(modal)->accept();
        });
        click("editPattern");
        QCOMPARE(example, QString("a7%bshop"));
        QCOMPARE(QString::fromStdString(run().reportNamePattern), QString("a%c%%b%n"));
        QCOMPARE(control<QLineEdit>("reportNamePattern")->text(), QString("a%c%%b%n"));
        QVERIFY(document->modified());

        document->setModified(false);
        answerNextModal(view.get(), [](QWidget* modal) {
            modal->findChild<QLineEdit*>("pattern")->setText("changed");
            static_cast<QDialog*>(modal)->reject();
        });
        click("editPattern");
        QCOMPARE(run().reportNamePattern, std::string("a%c%%b%n"));
        QVERIFY(!document->modified());
    }

    void browseChoosesAFolderForTheField() {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir("chosen"));
        run().saveLog = run().saveReports = 1;
        run().logDir = run().reportDir = folder.path().toStdString();
        reload();
        for (const char* which : {"log", "report"}) {
            QString title, startedIn;
            for (const bool accept : {false, true}) {
                answerNextModal(view.get(), [&, accept](QWidget* modal) {
                    auto* chooser = qobject_cast<QFileDialog*>(modal);
                    if (!chooser) return;
                    title     = chooser->windowTitle();
                    startedIn = chooser->directory().absolutePath();
                    chooser->setDirectory(folder.filePath("chosen"));
                    QDialog* dialog = chooser; // its own accept() takes the folder
                    accept ? dialog->accept() : dialog->reject();
                });
                click(QString("browse%1Dir").arg(which == std::string("log") ? "Log" : "Report"));
                QCOMPARE(title, QString("Select %1 directory").arg(which));
                QCOMPARE(startedIn, folder.path());
            }
            QCOMPARE(control<QLineEdit>(QString(which) + "Dir")->text(), folder.filePath("chosen"));
        }
        QVERIFY(document->modified());
        QCOMPARE(run().reportDir, folder.filePath("chosen").toStdString());
    }

    void sequenceEditorStartsAnEmptyMainSequenceWithEveryRequest() {
        for (const char* name : {"home", "search", "cart"})
            document->scenario().requests.append(std::make_unique<CRequest>()).name = name;
        run().mainSeqOn = run().initialSeqOn = 1;
        run().initialSeq                     = {"search"};
        reload();
        QSignalSpy modified(view.get(), &CRunnerFormView::documentModified);
        Names offered;
        QStringList captions;
        auto answer = [&](QWidget* modal) {
            auto* editor = qobject_cast<CSequenceEditorDialog*>(modal);
            if (!editor) return;
            offered = editor->sequence();
            for (auto* label : editor->findChildren<QLabel*>()) captions << label->text();
            editor->accept();
        };
        answerNextModal(view.get(), answer);
        click("editMainSeq");
        QCOMPARE(offered, (Names{"home", "search", "cart"}));
        QVERIFY(captions.contains("&Main sequence:"));
        QCOMPARE(run().mainSeq, (Names{"home", "search", "cart"}));
        QVERIFY(document->modified());
        QCOMPARE(modified.count(), 1);
        // Any other sequence starts as it is.
        answerNextModal(view.get(), answer);
        click("editInitialSeq");
        QCOMPARE(offered, (Names{"search"}));
        QVERIFY(captions.contains("&Initial sequence:"));
    }

    void logBoxFollowsTheRunLog() {
        CRunLog& log = document->scenario().log;
        log.addLine(CRunLog::kMessage, "first");
        view->RefreshView();
        auto* box = control<QPlainTextEdit>("runLog");
        QCOMPARE(box->toPlainText(), QString("MESSAGE>   first\n"));
        for (int i = 0; i < 200; ++i) log.addLine(CRunLog::kWarning, "line " + std::to_string(i));
        view->LogChanged();
        QVERIFY(box->toPlainText().startsWith("MESSAGE>   first\nWARNING>   line 0\n"));
        QVERIFY(box->toPlainText().endsWith("WARNING>   line 199\n"));
        QVERIFY(box->verticalScrollBar()->maximum() > 0);
        QCOMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());
        // A log cleared and written anew replaces what the box showed.
        log.clear();
        log.addLine(CRunLog::kFailure, "again");
        view->LogChanged();
        QCOMPARE(box->toPlainText(), QString("FAILURE>   again\n"));
        view->ResetView();
        QVERIFY(box->toPlainText().isEmpty());
        QCOMPARE(log.size(), std::size_t{0});
    }

    void focusFieldSelectsTheWholeTextInView() {
        run().saveLog = run().saveReports = 1;
        reload();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        const std::pair<RunCheckField, const char*> kFields[] = {
            {RunCheckField::kLogDir, "logDir"},
            {RunCheckField::kReportDir, "reportDir"},
            {RunCheckField::kReportNamePattern, "reportNamePattern"}};
        for (const auto& [field, name] : kFields) {
            formArea()->ensureVisible(0, 0); // back to the top of the form
            auto* edit = control<QLineEdit>(name);
            QVERIFY(edit->visibleRegion().isEmpty());
            view->focusField(field);
            QVERIFY(edit->hasFocus());
            QVERIFY(!edit->text().isEmpty());
            QCOMPARE(edit->selectedText(), edit->text());
            QVERIFY(!edit->visibleRegion().isEmpty());
        }
        // A pattern refused while reports are off: the check that opens it takes the focus.
        click("saveReports");
        view->focusField(RunCheckField::kReportNamePattern);
        QVERIFY(control("saveReports")->hasFocus());
    }

    // At the smallest size the form scrolls only vertically and the log box keeps some height.
    void formFitsTheSmallestWindow() {
        QScrollArea* area = formArea();
        QVERIFY(area->widget()->minimumSizeHint().width() <= area->viewport()->width());
        QVERIFY(control("runLog")->height() >= 5 * control("runLog")->fontMetrics().lineSpacing());
    }
};

QTEST_MAIN(RunnerFormViewTest)
#include "RunnerFormViewTest.moc"
