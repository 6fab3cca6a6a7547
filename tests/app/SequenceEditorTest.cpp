// The sequence editor as the user drives it: adding after the selected row or at the end,
// duplicates, removing, moving selected rows, which buttons are enabled, hidden empty names, and
// OK against Cancel.
#include "editor/SequenceEditorDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <initializer_list>
#include <string>
#include <vector>

using namespace torvex;
using Names = std::vector<std::string>;

namespace {

QString joined(const Names& names) {
    QStringList all;
    for (const std::string& name : names) all << QString::fromStdString(name);
    return all.join(',');
}

struct Editor {
    CSequenceEditorDialog dialog;

    Editor(const Names& choices, const Names& sequence) {
        dialog.setCaption("&Main sequence:");
        dialog.setChoices(choices);
        dialog.setSequence(sequence);
    }
    QListWidget* list(const char* name) const { return dialog.findChild<QListWidget*>(name); }
    void click(const char* button) { dialog.findChild<QPushButton*>(button)->click(); }

    // A list's rows, or only its selected rows.
    QString rows(const char* name, bool selectedOnly = false) const {
        QStringList all;
        for (int row = 0; row < list(name)->count(); ++row)
            if (!selectedOnly || list(name)->item(row)->isSelected())
                all << list(name)->item(row)->text();
        return all.join(',');
    }
    void select(const char* name, std::initializer_list<int> rows) {
        list(name)->clearSelection();
        for (int row : rows) list(name)->item(row)->setSelected(true);
    }
    // Which of add, remove, up and down are enabled, as "ARUD" with "-" for a disabled one.
    QString enabled() const {
        QString state;
        for (const char* name : {"add", "remove", "up", "down"})
            state += dialog.findChild<QPushButton*>(name)->isEnabled() ? QChar(name[0]).toUpper()
                                                                       : QChar('-');
        return state;
    }
};

} // namespace

class SequenceEditorTest : public QObject {
    Q_OBJECT

private slots:
    void showsItsLabelsAndBothListsWithoutEmptyNames() {
        Editor e({"x", "", "y"}, {"a", "", "b"});
        QCOMPARE(e.rows("choices"), QString("x,y"));
        QCOMPARE(e.rows("sequence"), QString("a,b"));
        QStringList labels;
        for (QLabel* label : e.dialog.findChildren<QLabel*>()) labels << label->text();
        QVERIFY(labels.contains("&Requests:") && labels.contains("&Main sequence:"));
        const char* buttons[][3] = {{"add", "&Add >>", "Insert Request"},
                                    {"remove", "<< Re&move", "Remove Request"},
                                    {"up", "Up", "Move Up"},
                                    {"down", "Down", "Move Down"}};
        for (const auto& [name, text, tip] : buttons) {
            auto* button = e.dialog.findChild<QPushButton*>(name);
            QCOMPARE(button->text() + '|' + button->toolTip(), QString(text) + '|' + tip);
        }
    }

    void addInsertsAfterTheFirstSelectedRowOrAppends_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("result");
        QTest::newRow("after b, in reverse order") << QList<int>{1} << "a,b,y,x,c";
        QTest::newRow("after the first of b and c") << QList<int>{1, 2} << "a,b,y,x,c";
        QTest::newRow("after the last row") << QList<int>{2} << "a,b,c,y,x";
        QTest::newRow("nothing selected: appended in order") << QList<int>{} << "a,b,c,x,y";
    }
    void addInsertsAfterTheFirstSelectedRowOrAppends() {
        QFETCH(QList<int>, selected);
        QFETCH(QString, result);
        Editor e({"w", "x", "y"}, {"a", "b", "c"});
        e.dialog.show();
        for (int row : selected) e.list("sequence")->item(row)->setSelected(true);
        e.select("choices", {1, 2});
        e.click("add");
        QCOMPARE(e.rows("sequence"), result);
        QCOMPARE(e.dialog.focusWidget(), e.list("choices"));
    }

    void duplicatesStayAndRemoveDeletesEverySelectedRow() {
        Editor e({"x"}, {"a", "x"});
        e.dialog.show();
        e.select("choices", {0});
        e.click("add");
        e.click("add");
        QCOMPARE(e.rows("sequence"), QString("a,x,x,x"));
        e.select("sequence", {0, 2, 3});
        e.click("remove");
        QCOMPARE(e.rows("sequence"), QString("x"));
        QCOMPARE(e.dialog.focusWidget(), e.list("sequence"));
    }

    void selectedRowsMoveUpAndDownAndStaySelected() {
        Editor e({}, {"a", "b", "c"});
        e.select("sequence", {1, 2});
        QCOMPARE(e.enabled(), QString("-RU-"));
        e.click("up");
        QCOMPARE(e.rows("sequence") + '|' + e.rows("sequence", true), QString("b,c,a|b,c"));
        QCOMPARE(e.enabled(), QString("-R-D"));

        Editor f({}, {"a", "b", "c", "d", "e"});
        f.select("sequence", {0, 2});
        f.click("down");
        f.click("down");
        QCOMPARE(f.rows("sequence"), QString("b,d,a,e,c"));
        QCOMPARE(f.enabled(), QString("-RU-"));
        f.click("up");
        f.click("up");
        QCOMPARE(f.rows("sequence") + '|' + f.rows("sequence", true), QString("a,b,c,d,e|a,c"));
    }

    void buttonsFollowTheSelectionsAndRowCount() {
        Editor e({"x", "y"}, {});
        QCOMPARE(e.enabled(), QString("----"));
        e.select("choices", {0});
        QCOMPARE(e.enabled(), QString("A---"));
        e.click("add");
        e.select("sequence", {0});
        QCOMPARE(e.enabled(), QString("AR--")); // a single row cannot move
        e.click("add");                         // a second row below the selected one
        QCOMPARE(e.enabled(), QString("AR-D"));
        e.list("choices")->clearSelection();
        e.select("sequence", {0, 1});
        QCOMPARE(e.enabled(), QString("-R--"));
        e.click("remove");
        QCOMPARE(e.enabled(), QString("----"));
    }

    void okStoresTheRowsAndCancelLeavesTheSequence_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("result");
        QTest::newRow("OK") << "OK"
                            << "b,c,x";
        QTest::newRow("Cancel") << "Cancel"
                                << "a,,b,c";
    }
    void okStoresTheRowsAndCancelLeavesTheSequence() {
        QFETCH(QString, button);
        QFETCH(QString, result);
        Editor e({"x"}, {"a", "", "b", "c"});
        e.select("sequence", {0});
        e.click("remove");
        e.select("choices", {0});
        e.click("add");
        QCOMPARE(joined(e.dialog.sequence()), QString("a,,b,c")); // nothing stored before OK
        for (QPushButton* closing : e.dialog.findChildren<QPushButton*>())
            if (closing->text() == button) closing->click();
        QCOMPARE(e.dialog.result(), button == "OK" ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(joined(e.dialog.sequence()), result);
    }
};

QTEST_MAIN(SequenceEditorTest)
#include "SequenceEditorTest.moc"
