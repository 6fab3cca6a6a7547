// The report view over a real results list: the run list and its selection across refreshes,
// forced refreshes, "No results" for an empty list and after a reset, the hint and its selection,
// and the layout at the view's usual size.
#include "results/ReportFormView.h"
#include "results/ObjectiveHints.h"
#include "results/ResultsContainer.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include <memory>
#include <string>

using namespace torvex;

namespace {

// A batch of five runs as the run controller titles them, objectives 1 to 5.
void addBatch(CResultsContainer& results, int firstUsers = 1) {
    for (int users = firstUsers; users < firstUsers + 5; ++users) {
        auto record = std::make_shared<CResultsStore>();
        record->SetTitle("14:05 - name - Virtual users=" + std::to_string(users));
        record->reportText  = "Users " + std::to_string(users) + "\r\nRequest   Time\r\n";
        record->objectiveId = users - firstUsers + 1;
        results.Add(record);
    }
}

QString shown(const std::string& text) {
    return QString::fromStdString(text).replace("\r\n", "\n");
}

struct ViewUnderTest {
    CResultsContainer results;
    CReportFormView view{results};

    QComboBox* runs() const { return view.findChild<QComboBox*>("runs"); }
    QPlainTextEdit* box(const char* name) const { return view.findChild<QPlainTextEdit*>(name); }
    QString report() const { return box("report")->toPlainText(); }
    // Checks that the view shows the run at `index` of the list, selected in the combo.
    void expectShown(int index) const {
        const ResultsRecord record = results.GetAt(index);
        QCOMPARE(runs()->currentIndex(), index);
        QCOMPARE(view.shownRunId(), record->runId);
        QCOMPARE(report(), shown(record->reportText));
        QCOMPARE(box("hint")->toPlainText(), shown(GetObjectiveResultsText(record->objectiveId)));
    }
    void expectNoResults() const {
        QCOMPARE(report(), QString("No results"));
        QVERIFY(!runs()->isEnabled());
    }
};

} // namespace

class ReportFormViewTest : public QObject {
    Q_OBJECT

private slots:
    void listsEveryRunShowsTheFirstThenTheChosenOne() {
        ViewUnderTest t;
        t.view.RefreshView();
        t.expectNoResults();
        addBatch(t.results);
        t.view.RefreshView();
        QVERIFY(t.runs()->isEnabled());
        QCOMPARE(t.runs()->count(), 5);
        QCOMPARE(t.runs()->itemText(4), QString("14:05 - name - Virtual users=5"));
        QCOMPARE(t.runs()->itemData(4).toInt(), t.results.GetAt(4)->runId);
        t.expectShown(0);
        t.runs()->setCurrentIndex(2);
        t.expectShown(2);
    }

    void chosenRunStaysSelectedWhileInTheListAndOnlyAForcedRefreshRedrawsIt() {
        ViewUnderTest t;
        addBatch(t.results);
        t.view.RefreshView();
        t.runs()->setCurrentIndex(3);
        addBatch(t.results, 6);
        t.results.GetAt(3)->reportText = "changed\r\n";
        t.view.RefreshView();
        QCOMPARE(t.runs()->count(), 10);
        QCOMPARE(t.runs()->currentIndex(), 3);
        QCOMPARE(t.report(), QString("Users 4\nRequest   Time\n"));
        t.view.refresh(true);
        t.expectShown(3);
    }

    void firstRunIsShownWhenTheShownRunLeftTheList() {
        ViewUnderTest t;
        addBatch(t.results);
        t.view.RefreshView();
        t.runs()->setCurrentIndex(4);
        t.results.Clear();
        t.view.RefreshView();
        t.expectNoResults();
        addBatch(t.results, 10); // new run ids: the shown one is gone
        t.view.RefreshView();
        t.expectShown(0);
        QCOMPARE(t.runs()->currentText(), QString("14:05 - name - Virtual users=10"));
    }

    void resetForgetsTheRunAndEmptiesTheList() {
        ViewUnderTest t;
        addBatch(t.results);
        t.view.RefreshView();
        t.runs()->setCurrentIndex(2);
        t.view.ResetView();
        QCOMPARE(t.view.shownRunId(), 0);
        QCOMPARE(t.runs()->count(), 0);
        t.expectNoResults();
        t.view.RefreshView();
        t.expectShown(0);
    }

    // Objective 7 has no hint; the user's selection in the hint survives a change of run.
    void hintFollowsTheRunAndKeepsTheSelection() {
        ViewUnderTest t;
        addBatch(t.results);
        t.results.GetAt(4)->objectiveId = 7;
        t.view.RefreshView();
        QPlainTextEdit* hint = t.box("hint");
        QTextCursor cursor   = hint->textCursor();
        cursor.setPosition(4);
        cursor.setPosition(12, QTextCursor::KeepAnchor);
        hint->setTextCursor(cursor);
        t.runs()->setCurrentIndex(2);
        t.expectShown(2);
        QCOMPARE(hint->textCursor().anchor(), 4);
        QCOMPARE(hint->textCursor().selectedText(), hint->toPlainText().mid(4, 8));
        t.runs()->setCurrentIndex(4);
        QCOMPARE(hint->toPlainText(), QString());
    }

    void layoutAtTheUsualSize() {
        ViewUnderTest t;
        t.view.resize(615, 500);
        t.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.view, 5000));
        const QRect caption = t.view.findChild<QLabel*>("caption")->geometry();
        const QRect runs    = t.runs()->geometry();
        const QRect report  = t.box("report")->geometry();
        const QRect hint    = t.box("hint")->geometry();
        QVERIFY(caption.right() < runs.left() && runs.bottom() < report.top());
        QVERIFY(report.bottom() < hint.top() && report.height() > 250);
        QCOMPARE(hint.height(), 90);
        QVERIFY(t.view.rect().contains(runs) && t.view.rect().contains(hint));
    }
};

QTEST_MAIN(ReportFormViewTest)
#include "ReportFormViewTest.moc"
