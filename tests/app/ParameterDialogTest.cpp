// The parameter formula dialog driven as a user would: the component rows and the function kinds,
// what each kind's fields store, deleting, moving and adding components, the number checks, OK and
// Cancel, and the dialog opened from the Editor view.
#include "editor/ParameterDialog.h"
#include "ModalAnswer.h"
#include "WebEngineTestMain.h"
#include "editor/EditorFormView.h"
#include "editor/IntegerSpinEdit.h"
#include "model/Document.h"
#include "model/RequestIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <memory>

using namespace torvex;
using torvex::test::answerNextModal;
using Kind = CReqParamFunction::Kind;

namespace {

CReqParamFunction component(int kind, const char* text, std::uint32_t from = 0,
                            std::uint32_t to = 0, std::uint32_t shift = 0, const char* text2 = "") {
    CReqParamFunction made;
    made.setKind(kind), made.setFrom(from), made.setTo(to), made.setShift(shift);
    made.setStoredText(text), made.setStoredText2(text2);
    return made;
}

CReqParam parameterOf(std::vector<CReqParamFunction> components) {
    CReqParam parameter;
    parameter.name       = "q";
    parameter.extraText  = "extra";
    parameter.encode     = true;
    parameter.components = std::move(components);
    return parameter;
}

// Every field on one line, so that a mismatch shows which one differs.
QString describe(const CReqParam& p) {
    QStringList parts{QString::fromStdString(p.name + " " + p.extraText),
                      QString::number(p.encode)};
    for (const CReqParamFunction& c : p.components)
        parts << QString::asprintf("%d|%s|%u|%u|%u|%s", c.kind(), c.storedText().c_str(), c.from(),
                                   c.to(), c.shift(), c.storedText2().c_str());
    return parts.join(QStringLiteral(" / "));
}

template <typename Widget = QWidget> Widget* control(const QWidget& dialog, const QString& name) {
    auto* found = dialog.findChild<Widget*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
}

QString rows(const QWidget& dialog, const char* list, bool selectedOnly = false) {
    QStringList texts;
    auto* widget = control<QListWidget>(dialog, list);
    for (int row = 0; row < widget->count(); ++row)
        if (!selectedOnly || widget->item(row)->isSelected()) texts << widget->item(row)->text();
    return texts.join(',');
}

// The line edit a user types into: the field itself or the one inside a number box.
QLineEdit* lineOf(QWidget* field) {
    auto* line = qobject_cast<QLineEdit*>(field);
    return line ? line : field->findChild<QLineEdit*>();
}

void type(const QWidget& dialog, const QString& name, const QString& text) {
    QWidget* field = control(dialog, name);
    if (auto* list = qobject_cast<QPlainTextEdit*>(field)) return list->setPlainText(text);
    lineOf(field)->setText(text);
}

// The kind fields shown, top to bottom, each with its value.
QString shownFields(const QWidget& dialog) {
    QStringList shown;
    for (const char* name : {"staticText", "prefix", "from", "to", "start", "shift", "argumentName",
                             "postfix", "mimeType", "list"}) {
        QWidget* field = control(dialog, name);
        if (!field->isVisibleTo(&dialog)) continue;
        auto* list = qobject_cast<QPlainTextEdit*>(field);
        shown << QString(name) + "=" + (list ? list->toPlainText() : lineOf(field)->text());
    }
    return shown.join(' ');
}

void selectRow(const QWidget& dialog, const char* list, int row) {
    control<QListWidget>(dialog, list)->setCurrentRow(row);
}

void click(const QWidget& dialog, const char* button) {
    control<QPushButton>(dialog, button)->click();
}

QString formula(const QWidget& dialog) {
    return control<QLineEdit>(dialog, "formula")->text();
}

// Delete, Up, Down and the functions list: enabled ('1') or not ('0').
QString enabling(const QWidget& dialog) {
    QString flags;
    for (const char* name : {"deleteComponent", "moveUp", "moveDown", "functions"})
        flags += control(dialog, name)->isEnabled() ? '1' : '0';
    return flags;
}

} // namespace

class ParameterDialogTest : public QObject {
    Q_OBJECT
private slots:
    void openingShowsTheRowsAndTheFirstComponent() {
        CReqParam parameter =
            parameterOf({component(Kind::kStatic, "abc"), component(Kind::kNumeric, "x", 1, 10)});
        CParameterDialog dialog(parameter);
        QCOMPARE(dialog.windowTitle(), QString("Parameter Value Dynamic Calculation"));
        QCOMPARE(control<QLineEdit>(dialog, "parameterName")->text(), QString("q"));
        QCOMPARE(control<QLineEdit>(dialog, "parameterName")->maxLength(), 256);
        QCOMPARE(control<QLineEdit>(dialog, "prefix")->maxLength(), 1024);
        QVERIFY(control<QLineEdit>(dialog, "formula")->isReadOnly());
        QCOMPARE(rows(dialog, "components"), QString("Formula 1,Formula 2"));
        QCOMPARE(formula(dialog), QString("abc&$NRand(1,10,x)"));
        QCOMPARE(rows(dialog, "components", true), QString("Formula 1"));
        QCOMPARE(rows(dialog, "functions"),
                 QString("Static text,Numeric random,Alphanumeric random,Random from list,Ordered "
                         "list,Sequence,URL,Hidden parameter,User number,File"));
        auto* functions = control<QListWidget>(dialog, "functions");
        for (int row = 0; row < functions->count(); ++row)
            QCOMPARE(functions->item(row)->data(Qt::UserRole).toInt(), row);
        QCOMPARE(rows(dialog, "functions", true), QString("Static text"));
        QCOMPARE(shownFields(dialog), QString("staticText=abc"));
        QCOMPARE(control<QLabel>(dialog, "description")->text(),
                 QString("Returns the specified string. Initial value is the recorded value of "
                         "parameter."));
        QCOMPARE(enabling(dialog), QString("1011"));

        selectRow(dialog, "components", 1);
        QCOMPARE(rows(dialog, "functions", true), QString("Numeric random"));
        QCOMPARE(shownFields(dialog), QString("prefix=x from=1 to=10"));
        QVERIFY(control<QLabel>(dialog, "description")->text().contains("evently distributed"));
        QCOMPARE(enabling(dialog), QString("1101"));
        // Another kind over shown values: empty and zero, the component untouched.
        selectRow(dialog, "functions", Kind::kSequence);
        QCOMPARE(shownFields(dialog), QString("prefix= start=0 shift=0"));
        QCOMPARE(formula(dialog), QString("abc&$NRand(1,10,x)"));

        // Without components: nothing selected or shown, and no kind to choose.
        CReqParam empty;
        CParameterDialog none(empty);
        QCOMPARE(rows(none, "components") + rows(none, "functions", true), QString());
        QCOMPARE(shownFields(none) + formula(none), QString());
        QCOMPARE(enabling(none), QString("0000"));
    }

    void fieldsStoreIntoTheirMembers_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shownFirst");
        QTest::addColumn<QStringList>("typed"); // field, text, field, text...
        QTest::addColumn<QString>("shownAgain");
        QTest::addColumn<QString>("stored");
        // The component starts as the static text "old" with every other member set: another kind
        // shows empty texts and zeros, and the members it does not show keep their values.
        auto row = [](const char* tag, int kind, const char* first, QStringList typed,
                      const char* again, const char* stored) {
            QTest::newRow(tag) << kind << QString(first) << typed << QString(again)
                               << QString(stored);
        };
        row("static text with a comma", 0, "staticText=old", {"staticText", "a,b"},
            "staticText=a,b", "0|a%2cb|3|4|5|k");
        row("numeric random", 1, "prefix= from=0 to=0", {"prefix", "p,", "from", "2", "to", "9"},
            "prefix=p, from=2 to=9", "1|p%2c|2|9|5|k");
        row("alphanumeric random", 2, "from=0 to=0", {"from", "6", "to", "8"}, "from=6 to=8",
            "2|old|6|8|5|k");
        row("random from list", 3, "list=", {"list", "red\ngreen\nblue"}, "list=red\ngreen\nblue",
            "3|red,green,blue|3|4|5|k");
        row("ordered list, breaks at the ends, a comma inside", 4,
            "list=", {"list", "\n\na,b\r\nc\n"}, "list=a,b\nc", "4|a%2cb,c|3|4|5|k");
        row("sequence", 5, "prefix= start=0 shift=0",
            {"prefix", "id", "start", "100", "shift", "10"}, "prefix=id start=100 shift=10",
            "5|id|100|4|10|k");
        row("url", 6, "argumentName=", {"argumentName", "sid"}, "argumentName=sid",
            "6|sid|3|4|5|k");
        row("hidden parameter", 7, "argumentName=", {"argumentName", "t"}, "argumentName=t",
            "7|t|3|4|5|k");
        row("user number", 8, "prefix= postfix=", {"prefix", "u", "postfix", "x,y"},
            "prefix=u postfix=x,y", "8|u|3|4|5|x%2cy");
        row("file", 9, "argumentName= mimeType=", {"argumentName", "a", "mimeType", "text/plain"},
            "argumentName=a mimeType=text/plain", "9|a|3|4|5|text/plain");
    }
    // Choosing a kind changes nothing until a field is edited; then the component takes the kind
    // and the shown values, and shows them again when it is selected again.
    void fieldsStoreIntoTheirMembers() {
        QFETCH(int, kind);
        QFETCH(QString, shownFirst);
        QFETCH(QStringList, typed);
        QFETCH(QString, shownAgain);
        QFETCH(QString, stored);
        CReqParam parameter = parameterOf(
            {component(Kind::kStatic, "old", 3, 4, 5, "k"), component(Kind::kStatic, "z")});
        CParameterDialog dialog(parameter);
        selectRow(dialog, "functions", kind);
        QCOMPARE(shownFields(dialog), shownFirst);
        QCOMPARE(formula(dialog), QString("old&z"));
        for (int i = 0; i + 1 < typed.size(); i += 2) type(dialog, typed[i], typed[i + 1]);

        selectRow(dialog, "components", 1);
        QCOMPARE(shownFields(dialog), QString("staticText=z"));
        selectRow(dialog, "components", 0);
        QCOMPARE(control<QListWidget>(dialog, "functions")->selectedItems().size(), 1);
        QCOMPARE(control<QListWidget>(dialog, "functions")->currentRow(), kind);
        QCOMPARE(shownFields(dialog), shownAgain);
        dialog.accept();
        QCOMPARE(describe(parameter), "q extra / 1 / " + stored + " / 0|z|0|0|0|");
    }

    // Rows keep their "Formula %d" names in order while components are deleted, moved and added;
    // the buttons follow the selection.
    void rowsDeleteMoveAndAdd() {
        CReqParam parameter =
            parameterOf({component(Kind::kStatic, "a"), component(Kind::kNumeric, "b", 1, 2),
                         component(Kind::kUrl, "c"), component(Kind::kStatic, "d")});
        CParameterDialog dialog(parameter);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        selectRow(dialog, "components", 2);
        QCOMPARE(enabling(dialog), QString("1111"));
        selectRow(dialog, "components", 3);
        QCOMPARE(enabling(dialog), QString("1101"));
        click(dialog, "deleteComponent");
        QCOMPARE(rows(dialog, "components"), QString("Formula 1,Formula 2,Formula 3"));
        selectRow(dialog, "components", 0);
        click(dialog, "deleteComponent");
        QCOMPARE(rows(dialog, "components"), QString("Formula 1,Formula 2"));
        QCOMPARE(formula(dialog), QString("$NRand(1,2,b)&$UrlParam(c)"));
        // No current component: no kind shown or choosable, typing into a hidden field stores
        // nothing.
        QCOMPARE(rows(dialog, "components", true) + rows(dialog, "functions", true), QString());
        QCOMPARE(shownFields(dialog), QString());
        QCOMPARE(enabling(dialog), QString("0001"));
        selectRow(dialog, "functions", Kind::kFile);
        QCOMPARE(rows(dialog, "functions", true), QString());
        type(dialog, "staticText", "lost");

        selectRow(dialog, "components", 1);
        click(dialog, "moveUp");
        QCOMPARE(formula(dialog), QString("$UrlParam(c)&$NRand(1,2,b)"));
        QCOMPARE(rows(dialog, "components", true), QString("Formula 1"));
        QCOMPARE(shownFields(dialog), QString("argumentName=c"));
        QCOMPARE(enabling(dialog), QString("1011"));
        click(dialog, "moveDown");
        QCOMPARE(rows(dialog, "components", true), QString("Formula 2"));
        QCOMPARE(formula(dialog), QString("$NRand(1,2,b)&$UrlParam(c)"));

        click(dialog, "addComponent");
        QCOMPARE(rows(dialog, "components", true), QString("Formula 3"));
        QCOMPARE(dialog.focusWidget(), control(dialog, "components"));
        QCOMPARE(shownFields(dialog), QString("staticText="));
        QCOMPARE(formula(dialog), QString("$NRand(1,2,b)&$UrlParam(c)")); // empty: no "&"
        type(dialog, "staticText", "e");
        dialog.accept();
        QCOMPARE(describe(parameter),
                 QString("q extra / 1 / 1|b|1|2|0| / 6|c|0|0|0| / 0|e|0|0|0|"));
    }

    void okStoresWhileCancelAndClosingKeepTheParameter_data() {
        QTest::addColumn<QString>("how");
        for (const char* how : {"ok", "cancel", "close"}) QTest::newRow(how) << QString(how);
    }
    void okStoresWhileCancelAndClosingKeepTheParameter() {
        QFETCH(QString, how);
        CReqParam parameter  = parameterOf({component(Kind::kStatic, "a%2cb"),
                                            component(Kind::kSequence, "s", 1, 0, 2),
                                            component(Kind::kFile, "f", 0, 0, 0, "m")});
        const QString before = describe(parameter);
        CParameterDialog dialog(parameter);
        dialog.show();
        control<QLineEdit>(dialog, "parameterName")->setText("renamed");
        type(dialog, "staticText", "x");
        selectRow(dialog, "components", 1);
        type(dialog, "shift", "9");
        click(dialog, "moveDown");
        selectRow(dialog, "components", 0);
        click(dialog, "deleteComponent");
        click(dialog, "addComponent");

        if (how == "close")
            dialog.close();
        else
            click(dialog, how == "ok" ? "ok" : "cancel");
        QCOMPARE(dialog.result(), how == "ok" ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(describe(parameter),
                 how == "ok" ? "renamed extra / 1 / 9|f|0|0|0|m / 5|s|1|0|9| / 0||0|0|0|" : before);
    }

    void numbersAreChecked_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("onOk"); // else on leaving the field with Tab
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored"); // the "to" member afterwards
        const QString integer = QStringLiteral("Please enter an integer.");
        const QString range   = QStringLiteral("Please enter an integer between 0 and 2147483647.");
        for (bool onOk : {false, true}) {
            const char* when = onOk ? "OK" : "leaving";
            QTest::addRow("12x, %s", when) << "12x" << onOk << integer << "7";
            QTest::addRow("empty, %s", when) << "" << onOk << integer << "7";
            QTest::addRow("99999999999, %s", when) << "99999999999" << onOk << range << "7";
            QTest::addRow("2147483648, %s", when) << "2147483648" << onOk << range << "7";
            QTest::addRow("2147483647, %s", when) << "2147483647" << onOk << ""
                                                  << "2147483647";
            QTest::addRow("-5 becomes 0, %s", when) << "-5" << onOk << ""
                                                    << "0";
        }
    }
    // A refused number keeps the dialog open with the cursor on the field, and is not stored.
    void numbersAreChecked() {
        QFETCH(QString, typed);
        QFETCH(bool, onOk);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        CReqParam parameter = parameterOf({component(Kind::kNumeric, "p", 1, 7)});
        CParameterDialog dialog(parameter);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* to = control<IntegerSpinEdit>(dialog, "to");
        to->setFocus();
        lineOf(to)->clear();
        QTest::keyClicks(to, typed);
        QString said;
        answerNextModal(&dialog, [&said](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) said = box->text(), box->accept();
        });
        onOk ? click(dialog, "ok") : QTest::keyClick(to, Qt::Key_Tab);
        QCOMPARE(said, message);
        QCOMPARE(lineOf(to)->text(), stored == "0" ? QString("0") : typed);
        if (!message.isEmpty()) {
            QVERIFY(dialog.isVisible());
            QWidget* focus = dialog.focusWidget();
            QVERIFY2(focus == to || to->isAncestorOf(focus), qPrintable(focus->objectName()));
            type(dialog, "to", "7");
        }
        if (dialog.isVisible()) dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(describe(parameter), "q extra / 1 / 1|p|1|" + stored + "|0|");

        // The arrows stay within 0 to 2147483647 and store what they show.
        CParameterDialog again(parameter);
        auto* from = control<IntegerSpinEdit>(again, "from");
        from->stepDown();
        from->stepDown();
        control<IntegerSpinEdit>(again, "to")->stepBy(2147483647);
        QCOMPARE(shownFields(again), QString("prefix=p from=0 to=2147483647"));
    }

    // Only the bounds from, to and start turn a negative number into 0; a negative shift is out
    // of range. A name that is not UTF-8 keeps its bytes when it is not edited.
    void negativeShiftIsRefusedAndAnUntouchedNameKeepsItsBytes() {
        CReqParam parameter = parameterOf({component(Kind::kSequence, "s", 1, 0, 4)});
        parameter.name      = "caf\xE9";
        CParameterDialog dialog(parameter);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* shift = control<IntegerSpinEdit>(dialog, "shift");
        shift->setFocus();
        lineOf(shift)->clear();
        QTest::keyClicks(shift, "-3");
        QString said;
        answerNextModal(&dialog, [&said](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) said = box->text(), box->accept();
        });
        QTest::keyClick(shift, Qt::Key_Tab);
        QCOMPARE(said, QString("Please enter an integer between 0 and 2147483647."));
        type(dialog, "shift", "6");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(parameter.name, std::string("caf\xE9"));
        QCOMPARE(parameter.components.front().shift(), 6u);
    }

    // The Editor opens the dialog on the selected parameter, and forgets a new one on Cancel.
    void openedFromTheEditor() {
        resetRequestIds();
        CHexmillLEDoc document;
        auto request            = std::make_unique<CRequest>();
        request->params         = {parameterOf({component(Kind::kStatic, "one")}),
                                   parameterOf({component(Kind::kStatic, "two")})};
        request->params[1].name = "second";
        CRequest& added         = document.scenario().requests.append(std::move(request));
        CEditorFormView view(document);
        view.show();
        view.RefreshView();
        auto* parameters = control<QTreeWidget>(view, "parameters");
        parameters->setCurrentItem(parameters->topLevelItem(1));

        QString seen;
        auto lookAndCancel = [&view, &seen] {
            answerNextModal(&view, [&seen](QWidget* modal) {
                auto* dialog = qobject_cast<CParameterDialog*>(modal);
                if (!dialog) return;
                seen = control<QLineEdit>(*dialog, "parameterName")->text() + " " +
                       rows(*dialog, "components") + " " + formula(*dialog);
                dialog->reject();
            });
        };
        lookAndCancel();
        click(view, "editParameter");
        QCOMPARE(seen, QString("second Formula 1 two"));
        lookAndCancel();
        click(view, "addParameter");
        QCOMPARE(seen, QString(" Formula 1 "));
        QCOMPARE(added.params.size(), 2u);
        QVERIFY(!document.modified());
    }
};

TORVEX_WEBENGINE_TEST_MAIN(ParameterDialogTest)
#include "ParameterDialogTest.moc"
