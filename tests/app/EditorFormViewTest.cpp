// The Editor view driven as a user would: the request list and the fields of the selected
// request, renaming through the sequences, the delay corrections, adding, moving, deleting and
// clearing requests, parameters through the parameter dialog, "Use delays" on captured requests,
// the scenario options and the macro address control. Loading never marks the document.
#include "editor/EditorFormView.h"
#include "ModalAnswer.h"
#include "WebEngineTestMain.h"
#include "editor/MacroIPAddressCtrl.h"
#include "model/CapturedRequest.h"
#include "model/Document.h"
#include "model/RequestIds.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include <memory>

using namespace torvex;
using torvex::test::answerNextModal;
using Names = std::vector<std::string>;

namespace {

CReqParam staticParam(const std::string& name, const std::string& value) {
    CReqParam parameter;
    parameter.name = name;
    CReqParamFunction text;
    text.makeStatic(value);
    parameter.components.push_back(text);
    return parameter;
}

CCapturedRequest captured(const std::string& url, int delay) {
    CCapturedRequest each;
    each.uri    = url;
    each.scheme = 1;
    each.delay  = delay;
    return each;
}

} // namespace

class EditorFormViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CHexmillLEDoc> document;
    std::unique_ptr<CEditorFormView> view;
    std::unique_ptr<QSignalSpy> modifications;

    CScenario& scenario() { return document->scenario(); }
    template <typename Widget = QWidget> Widget* control(const QString& name) {
        auto* found = view->findChild<Widget*>(name);
        if (!found) qFatal("no control %s", qPrintable(name));
        return found;
    }
    QTreeWidget* requestList() { return control<QTreeWidget>("requests"); }
    QString cell(const char* list, int row, int column) {
        return control<QTreeWidget>(list)->topLevelItem(row)->text(column);
    }
    CRequest& addRequest(const std::string& name, const std::string& uri = "page") {
        auto request    = std::make_unique<CRequest>();
        request->name   = name;
        request->method = CRequest::kGet;
        request->scheme = CRequest::kHttp;
        request->server = "shop";
        request->uri    = uri;
        return scenario().requests.append(std::move(request));
    }
    Names requestNames() {
        Names names;
        scenario().requests.forEach([&names](const CRequest& each) { names.push_back(each.name); });
        return names;
    }
    // Reloads the view from the scenario; loading must leave the document unmodified.
    bool reload() {
        document->setModified(false);
        modifications->clear();
        view->RefreshView();
        const bool untouched = !document->modified() && modifications->isEmpty();
        document->setModified(false);
        modifications->clear();
        return untouched;
    }
    bool modifiedOnce() { return document->modified() && !modifications->isEmpty(); }
    void selectRow(int row) { requestList()->setCurrentItem(requestList()->topLevelItem(row)); }
    QLineEdit* delayEdit(const char* name) {
        return control<QAbstractSpinBox>(name)->findChild<QLineEdit*>();
    }
    void leave(const char* name) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(control(name), &out);
    }
    // Each of the space-separated controls is enabled, or each is disabled.
    void expectEnabled(const QString& names, bool enabled) {
        for (const QString& name : names.split(' ', Qt::SkipEmptyParts))
            QVERIFY2(control(name)->isEnabled() == enabled, qPrintable(name));
    }
    // Answers the parameter dialog about to open with a name and the first component as a static
    // text (added when there is none), or cancels it.
    void answerParameterDialog(const QString& name, const QString& value, bool ok = true) {
        answerNextModal(view.get(), [=](QWidget* modal) {
            auto* dialog = qobject_cast<QDialog*>(modal);
            if (!dialog) return;
            dialog->findChild<QLineEdit*>("parameterName")->setText(name);
            auto* components = dialog->findChild<QListWidget*>("components");
            if (components->count() == 0) dialog->findChild<QPushButton*>("addComponent")->click();
            components->setCurrentRow(0);
            dialog->findChild<QListWidget*>("functions")->setCurrentRow(CReqParamFunction::kStatic);
            dialog->findChild<QLineEdit*>("staticText")->setText(value);
            ok ? dialog->accept() : dialog->reject();
        });
    }

private slots:
    void init() {
        resetRequestIds();
        document = std::make_unique<CHexmillLEDoc>();
        view     = std::make_unique<CEditorFormView>(*document);
        modifications =
            std::make_unique<QSignalSpy>(view.get(), &CEditorFormView::documentModified);
        view->resize(900, 600);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    void cleanup() {
        modifications.reset();
        view.reset();
        document.reset();
    }

    void listRowsAndLoadedRequest() {
        CRequest& home = addRequest("home", "$action");
        home.params    = {staticParam("q", "a,b"), staticParam("n", "1")};
        home.delayMin  = 2;
        home.delayMax  = 5;
        CRequest& pay  = addRequest("pay", "cart/pay");
        pay.scheme     = CRequest::kHttps;
        pay.method     = CRequest::kPost;
        QVERIFY(reload());

        QTreeWidget* list = requestList();
        QCOMPARE(list->headerItem()->text(3), QString("Delay"));
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), pay.id);
        QCOMPARE(cell("requests", 0, 1), QString("http://shop/$action"));
        QCOMPARE(cell("requests", 0, 2), QString("q=a,b&n=1"));
        QCOMPARE(cell("requests", 0, 3), QString("2-5 sec"));
        QCOMPARE(list->header()->sectionSize(0), 50);
        QCOMPARE(list->header()->sectionSize(3), 70);
        // The first row is selected and shown; its URI is not offered twice.
        QVERIFY(list->topLevelItem(0)->isSelected());
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString("home"));
        QCOMPARE(delayEdit("delayTo")->text(), QString("5"));
        auto* uri = control<QComboBox>("uri");
        QCOMPARE(uri->count(), 2);
        QCOMPARE(uri->currentText(), QString("$action"));
        QCOMPARE(control<QTreeWidget>("parameters")->topLevelItemCount(), 2);
        QCOMPARE(cell("parameters", 0, 1), QString("a,b"));

        selectRow(1);
        QCOMPARE(view->currentRow(), 1);
        QCOMPARE(control<QComboBox>("method")->currentText(), QString("POST"));
        QVERIFY(control<QCheckBox>("secure")->isChecked());
        QCOMPARE(uri->count(), 3);
        QCOMPARE(uri->itemText(1), QString("$href()"));
        QCOMPARE(control<QTreeWidget>("parameters")->topLevelItemCount(), 0);
        QVERIFY(!document->modified());
        QVERIFY(modifications->isEmpty());
        view->ResetView();
        QVERIFY(!document->modified());
    }

    void editedOptionsReachTheRequestAndTheSequences() {
        addRequest("a");
        CRequest& b             = addRequest("b");
        scenario().run.mainSeq  = {"a", "b", "a"};
        scenario().run.finalSeq = {"a"};
        QVERIFY(reload());

        control<QLineEdit>("requestName")->setText("x");
        QVERIFY(modifiedOnce());
        QCOMPARE(scenario().run.mainSeq, (Names{"x", "b", "x"}));
        QCOMPARE(scenario().run.finalSeq, Names{"x"});
        QCOMPARE(cell("requests", 0, 0), QString("x"));
        // A name another request has is accepted.
        control<QLineEdit>("requestName")->setText("b");
        QCOMPARE(requestNames(), (Names{"b", "b"}));
        QCOMPARE(scenario().run.mainSeq, (Names{"b", "b", "b"}));

        selectRow(1);
        control<QLineEdit>("server")->setText("h:81");
        control<QComboBox>("uri")->setCurrentIndex(2);
        control<QComboBox>("method")->setCurrentIndex(1);
        control<QCheckBox>("secure")->setChecked(true);
        QCOMPARE(b.server, std::string("h:81"));
        QCOMPARE(b.uri, std::string("$action"));
        QCOMPARE(b.method, int(CRequest::kPost));
        QCOMPARE(b.scheme, int(CRequest::kHttps));
        QCOMPARE(cell("requests", 1, 1), QString("https://h:81/$action"));
        control<QCheckBox>("secure")->setChecked(false);
        QCOMPARE(b.scheme, int(CRequest::kHttp));
    }

    void editsReachTheShownRequestWhenTheKeyboardMovedTheCurrentRow() {
        CRequest& alpha        = addRequest("alpha", "a");
        CRequest& beta         = addRequest("beta", "b");
        scenario().run.mainSeq = {"beta"};
        QVERIFY(reload());
        selectRow(0);
        requestList()->setFocus();
        // Ctrl+Down moves the current item but leaves the selection, so alpha stays shown.
        QTest::keyClick(requestList(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(requestList()->currentItem(), requestList()->topLevelItem(1));
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString("alpha"));

        control<QLineEdit>("requestName")->setText("alpha2");
        QCOMPARE(alpha.name, std::string("alpha2"));
        QCOMPARE(beta.name, std::string("beta"));
        QCOMPARE(beta.uri, std::string("b"));
        QCOMPARE(scenario().run.mainSeq, Names{"beta"});
    }

    void longerStoredTextsThanTypingAllowsAreKeptWhole() {
        const std::string name(300, 'n'), agent(1100, 'a');
        CRequest& request            = addRequest(name);
        scenario().run.mainSeq       = {name};
        scenario().general.userAgent = agent;
        QVERIFY(reload());
        control<QLineEdit>("server")->setText("other:8080");
        view->DeactivateView();
        QCOMPARE(request.name, name);
        QCOMPARE(scenario().run.mainSeq, Names{name});
        QCOMPARE(scenario().general.userAgent, agent);
    }

    void delayFieldsAreCorrected_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<int>("shownFrom");
        QTest::addColumn<int>("shownTo");
        QTest::newRow("above a day") << 0 << 0 << "delayFrom"
                                     << "90000" << false << 86400 << 86400;
        QTest::newRow("from raises to") << 0 << 5 << "delayFrom"
                                        << "12" << false << 12 << 12;
        QTest::newRow("to lowers from") << 12 << 20 << "delayTo"
                                        << "3" << false << 3 << 3;
        QTest::newRow("typed 5x") << 3 << 9 << "delayFrom"
                                  << "5x" << false << 5 << 9;
        QTest::newRow("pasted 7x") << 3 << 9 << "delayFrom"
                                   << "7x" << true << 3 << 9;
        QTest::newRow("pasted negative") << 3 << 9 << "delayTo"
                                         << "-4" << true << 0 << 0;
        QTest::newRow("emptied") << 3 << 9 << "delayFrom"
                                 << "" << true << 0 << 9;
    }
    void delayFieldsAreCorrected() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, pasted);
        QFETCH(int, shownFrom);
        QFETCH(int, shownTo);
        CRequest& request            = addRequest("r");
        request.delayMin             = from;
        request.delayMax             = to;
        scenario().general.useDelays = 1;
        QVERIFY(reload());

        const QByteArray name = field.toLatin1();
        QLineEdit* edit       = delayEdit(name.constData());
        if (pasted) {
            edit->setText(text);
        } else {
            edit->selectAll();
            QTest::keyClicks(edit, text);
        }
        if (text.isEmpty()) QCOMPARE(edit->selectedText(), QString("0"));
        leave(name.constData());
        QCOMPARE(delayEdit("delayFrom")->text(), QString::number(shownFrom));
        QCOMPARE(delayEdit("delayTo")->text(), QString::number(shownTo));
        QCOMPARE(request.delayMin, shownFrom);
        QCOMPARE(request.delayMax, shownTo);
        QCOMPARE(request.useDelay, 1);
        if (shownFrom != from || shownTo != to) QVERIFY(modifiedOnce());
    }

    void addingSkipsNamesTheListShows() {
        addRequest("req_5");
        addRequest("req_6");
        QVERIFY(reload());
        restoreRequestIds(4); // the counter's next name would be req_5
        control<QPushButton>("addRequest")->click();
        QCOMPARE(requestNames(), (Names{"req_5", "req_6", "req_7"}));
        QCOMPARE(view->currentRow(), 2);
        QVERIFY(requestList()->topLevelItem(2)->isSelected());
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString("req_7"));
        QCOMPARE(control<QComboBox>("method")->currentText(), QString("GET"));
        QVERIFY(modifiedOnce());
        control<QPushButton>("addRequest")->click();
        QCOMPARE(requestNames().back(), std::string("req_8"));
    }

    void movingAndItsEnabling() {
        for (const char* name : {"a", "b", "c"}) addRequest(name);
        QVERIFY(reload());
        const struct {
            int row;
            bool up;
            bool down;
        } cases[] = {{0, false, true}, {1, true, true}, {2, true, false}};
        for (const auto& each : cases) {
            selectRow(each.row);
            QCOMPARE(control("moveUp")->isEnabled(), each.up);
            QCOMPARE(control("moveDown")->isEnabled(), each.down);
        }
        selectRow(0);
        control<QPushButton>("moveDown")->click();
        QCOMPARE(requestNames(), (Names{"b", "a", "c"}));
        QCOMPARE(view->currentRow(), 1);
        QVERIFY(requestList()->topLevelItem(1)->isSelected());
        QVERIFY(modifiedOnce());
        control<QPushButton>("moveUp")->click();
        QCOMPARE(requestNames(), (Names{"a", "b", "c"}));
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString("a"));
    }

    void deletingReselectsAndUpdatesSequences() {
        for (const char* name : {"a", "b", "c"}) addRequest(name);
        scenario().run.mainSeq    = {"a", "c", "b", "a"};
        scenario().run.initialSeq = {"c"};
        QVERIFY(reload());
        expectEnabled("deleteRequests clearRequests requestName method parameters", true);

        // The Delete key on the last of three rows selects the new last row.
        selectRow(2);
        requestList()->setFocus();
        QTest::keyClick(requestList(), Qt::Key_Delete);
        QCOMPARE(requestNames(), (Names{"a", "b"}));
        QVERIFY(requestList()->topLevelItem(1)->isSelected());
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString("b"));
        QCOMPARE(scenario().run.initialSeq, Names{});
        QVERIFY(modifiedOnce());

        // One entry of the name leaves each sequence.
        selectRow(0);
        control<QPushButton>("deleteRequests")->click();
        QCOMPARE(scenario().run.mainSeq, (Names{"b", "a"}));
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString("b"));
        control<QPushButton>("deleteRequests")->click();
        QCOMPARE(scenario().requests.count(), 0);
        QCOMPARE(view->currentRow(), -1);
        QCOMPARE(control<QLineEdit>("requestName")->text(), QString());
        expectEnabled("deleteRequests clearRequests requestName server uri method secure "
                      "parameters addParameter editParameter moveUp moveDown",
                      false);
        expectEnabled("addRequest", true);
    }

    void clearingAsksFirst() {
        for (const char* name : {"a", "b"}) addRequest(name);
        scenario().run.mainSeq = {"a", "b"};
        QVERIFY(reload());
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            QString question;
            answerNextModal(view.get(), [answer, &question](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box) return;
                question = box->text();
                box->button(answer)->click();
            });
            control<QPushButton>("clearRequests")->click();
            QCOMPARE(question, QString("Are you sure you want to clear the list of requests?"));
            const bool yes = answer == QMessageBox::Yes;
            QCOMPARE(scenario().requests.count(), yes ? 0 : 2);
            QCOMPARE(scenario().run.mainSeq.size(), yes ? 0u : 2u);
            QCOMPARE(requestList()->topLevelItemCount(), yes ? 0 : 2);
            QCOMPARE(document->modified(), yes);
        }
    }

    void parametersThroughTheDialog() {
        CRequest& request = addRequest("r");
        QVERIFY(reload());
        expectEnabled("addParameter", true);
        expectEnabled("editParameter deleteParameter", false);

        answerParameterDialog("q", "x,y", false);
        control<QPushButton>("addParameter")->click();
        QVERIFY(request.params.empty());
        QVERIFY(!document->modified());

        answerParameterDialog("q", "x,y");
        control<QPushButton>("addParameter")->click();
        QCOMPARE(request.params.size(), 1u);
        QCOMPARE(request.params[0].components[0].kind(), int(CReqParamFunction::kStatic));
        QCOMPARE(request.params[0].components[0].storedText(), std::string("x%2cy"));
        QCOMPARE(cell("parameters", 0, 1), QString("x,y"));
        QCOMPARE(cell("requests", 0, 2), QString("q=x,y"));
        QVERIFY(modifiedOnce());

        auto* parameters = control<QTreeWidget>("parameters");
        parameters->setCurrentItem(parameters->topLevelItem(0));
        expectEnabled("editParameter deleteParameter", true);
        answerParameterDialog("q", "z");
        control<QPushButton>("editParameter")->click();
        QCOMPARE(request.params[0].components[0].text(), std::string("z"));
        QCOMPARE(cell("requests", 0, 2), QString("q=z"));
        // A double click edits as "Function" does.
        answerParameterDialog("p", "w");
        emit parameters->itemDoubleClicked(parameters->topLevelItem(0), 0);
        QCOMPARE(request.params[0].name, std::string("p"));

        parameters->setCurrentItem(parameters->topLevelItem(0));
        control<QPushButton>("deleteParameter")->click();
        QVERIFY(request.params.empty());
        QCOMPARE(parameters->topLevelItemCount(), 0);
        QCOMPARE(cell("requests", 0, 2), QString());
    }

    void useDelaysReachesCapturedRequests() {
        scenario().requests.AddCapturedRequest(captured("http://h/a", 0));
        scenario().requests.AddCapturedRequest(captured("http://h/b", 4));
        QVERIFY(reload());
        expectEnabled("delayFrom delayTo", false);
        control<QCheckBox>("useDelays")->click();
        QVERIFY(modifiedOnce());
        QCOMPARE(scenario().general.useDelays, 1);
        expectEnabled("delayFrom delayTo", true);
        scenario().requests.forEach([](const CRequest& each) { QCOMPARE(each.useDelay, 1); });

        // A later capture keeps its delays off until its options are edited.
        scenario().requests.AddCapturedRequest(captured("http://h/c", 3));
        QVERIFY(reload());
        CRequest* last = scenario().requests.findById(
            requestList()->topLevelItem(2)->data(0, Qt::UserRole).toInt());
        QCOMPARE(last->useDelay, 0);
        selectRow(2);
        QCOMPARE(last->useDelay, 0);
        control<QLineEdit>("requestName")->setText("c");
        QCOMPARE(last->useDelay, 1);
    }

    void scenarioOptionsSaveAndLoad() {
        CGeneralSection& general = scenario().general;
        general.speed            = 56000;
        general.proxyMask        = "10.0.$R1.$C2";
        general.basicAuth        = 1;
        general.userName         = "ann";
        QVERIFY(reload());
        auto* speed = control<QComboBox>("speed");
        QCOMPARE(speed->currentText(), QString("56K"));
        QCOMPARE(control<CMacroIPAddressCtrl>("forwardedFor")->text(), QString("10.0.$R1.$C2"));
        QCOMPARE(control<QLineEdit>("userName")->text(), QString("ann"));
        expectEnabled("userName userNameLabel password passwordLabel speed", true);
        expectEnabled("forwardedFor userAgent", false);

        speed->setCurrentText("T1");
        QCOMPARE(general.speed, 1000000);
        QVERIFY(modifiedOnce());
        speed->setCurrentText("True line speed");
        QCOMPARE(general.speed, -1);
        const struct {
            const char* check;
            int CGeneralSection::*field;
            const char* opens;
        } checks[] = {{"keepAlive", &CGeneralSection::keepAlive, ""},
                      {"ignoreErrors", &CGeneralSection::ignoreErrors, ""},
                      {"basicAuth", &CGeneralSection::basicAuth, "userName password"},
                      {"addForwardedFor", &CGeneralSection::addForwardedFor, "forwardedFor"},
                      {"limitSpeed", &CGeneralSection::limitSpeed, "speed"},
                      {"customUserAgent", &CGeneralSection::customUserAgent, "userAgent"}};
        for (const auto& each : checks) {
            const int before = general.*each.field;
            control<QCheckBox>(each.check)->click();
            QVERIFY2(general.*each.field == 1 - before, each.check);
            expectEnabled(each.opens, before == 0);
        }

        auto* agents = control<QComboBox>("userAgent");
        QCOMPARE(agents->count(), 70);
        QCOMPARE(agents->itemText(0), QString("* Torvex*"));
        QCOMPARE(agents->itemText(40), QString("* IE 4.0 *"));
        QCOMPARE(agents->itemText(69),
                 QString("Mozilla/4.0 (compatible; MSIE 6.0b; Windows NT 5.0)"));
        agents->setCurrentIndex(2);
        QCOMPARE(general.userAgent, std::string("* IE 3.0 *"));
        agents->setEditText("TorvexBot/1");
        QCOMPARE(general.userAgent, std::string("TorvexBot/1"));
        control<CMacroIPAddressCtrl>("forwardedFor")->field(0)->setText("172");
        QCOMPARE(general.proxyMask, std::string("172.0.$R1.$C2"));

        // A stored speed no entry has shows the first entry; a reset shows the default address.
        general.speed = 1234;
        QVERIFY(reload());
        QCOMPARE(speed->currentIndex(), 0);
        control<QComboBox>("method")->setCurrentIndex(1);
        view->ResetView();
        QCOMPARE(control<CMacroIPAddressCtrl>("forwardedFor")->text(), QString("192.168.$C2.$C1"));
        QCOMPARE(control<QComboBox>("method")->currentIndex(), 0);
        QCOMPARE(control<QComboBox>("uri")->count(), 0);
        view->DeactivateView();
        QCOMPARE(general.speed, -1);
        QCOMPARE(general.proxyMask, std::string("192.168.$C2.$C1"));
    }

    void addressControlTakesNumbersAndMacros() {
        CMacroIPAddressCtrl address;
        address.show();
        QVERIFY(QTest::qWaitForWindowExposed(&address));
        QSignalSpy changes(&address, &CMacroIPAddressCtrl::fieldChanged);
        address.field(0)->setFocus();
        QTest::keyClicks(address.field(0), "$c1");
        QCOMPARE(address.field(0)->text(), QString("$C1"));
        QCOMPARE(address.focusWidget(), address.field(1));
        QVERIFY(!changes.isEmpty());

        // A letter no macro goes on with is refused; numbers keep to 0..255.
        QTest::keyClicks(address.field(1), "$x");
        QCOMPARE(address.field(1)->text(), QString("$"));
        address.field(1)->clear();
        QTest::keyClicks(address.field(1), "q7");
        QCOMPARE(address.field(1)->text(), QString("7"));
        QTest::keyClicks(address.field(2), "300");
        QCOMPARE(address.field(2)->text(), QString("255"));
        QCOMPARE(address.focusWidget(), address.field(3));
        QTest::keyClicks(address.field(3), "$R");
        QCOMPARE(address.text(), QString("$C1.7.255.$R"));

        changes.clear();
        const struct {
            const char* set;
            const char* fields;
            const char* text;
        } texts[] = {{"192.168.$C2.$C1", "192 168 $C2 $C1", "192.168.$C2.$C1"},
                     {"10.$R2", "  10 $R2", "..10.$R2"},
                     {"1.2.3", " 1 2 3", ".1.2.3"},
                     {"4.$C1..", "4 $C1  ", "4.$C1"},
                     {"", "   ", ""}};
        for (const auto& each : texts) {
            address.setText(each.set);
            QStringList fields;
            for (int i = 0; i < 4; ++i) fields << address.field(i)->text();
            QCOMPARE(fields.join(' '), QString(each.fields));
            QCOMPARE(address.text(), QString(each.text));
        }
        QVERIFY(changes.isEmpty());
    }
};

TORVEX_WEBENGINE_TEST_MAIN(EditorFormViewTest)
#include "EditorFormViewTest.moc"
