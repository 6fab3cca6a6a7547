#include "wizards/SettingsWizard.h"
#include "app/AdvancedProxyDialog.h"
#include "app/ModalAnswer.h"
#include "app/QtSettingsStore.h"
#include "app/SettingsDescription.h"
#include "app/WebEngineTestMain.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

using namespace torvex;
using Wizard = CSettingsWizardDlg;

namespace {

using test::describe;
using test::savedSettings;

template <typename Widget = QWidget> Widget* field(const QWidget& window, const QString& name) {
    return window.findChild<Widget*>(name);
}

void press(QWizard& wizard, QWizard::WizardButton which) {
    wizard.button(which)->click();
}

// Settings far from the defaults, as an earlier session could have left them.
const GlobalSettingsValues kEarlier = {7, 1, "old", 3, 81, 1, 1, "u", "p", 0, "10.", 0, 0, 0, 1};

// Page 2 with use proxy and a custom proxy switched on.
void openCustomProxy(Wizard& wizard) {
    wizard.show();
    press(wizard, QWizard::NextButton);
    field<QCheckBox>(wizard, "useProxy")->click();
    field<QRadioButton>(wizard, "customProxy")->click();
}

// Opens the Advanced Proxy Settings dialog, lets `edit` change it and presses its OK.
void editAdvanced(Wizard& wizard, std::function<void(QDialog&)> edit) {
    test::answerNextModal(&wizard, [edit](QWidget* modal) {
        if (auto* advanced = qobject_cast<CAdvancedProxyDialog*>(modal)) {
            edit(*advanced);
            advanced->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        }
    });
    field<QPushButton>(wizard, "advanced")->click();
}

// Which of Back, Next, Finish and Cancel are shown, e.g. "BN-C".
QString shownButtons(Wizard& wizard) {
    QString shown;
    for (auto [which, letter] : {std::pair{QWizard::BackButton, 'B'},
                                 {QWizard::NextButton, 'N'},
                                 {QWizard::FinishButton, 'F'},
                                 {QWizard::CancelButton, 'C'}})
        shown += wizard.button(which)->isVisible() ? QChar(letter) : QChar('-');
    return shown;
}

} // namespace

class SettingsWizardTest : public QObject {
    Q_OBJECT
    QtSettingsStore store_;

private slots:
    // Settings go to the test's own folder, never the user's.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex")).clear(); }

    // The pages show the defaults, not what the global settings hold, and Finish stores them.
    void finishWithoutChangesStoresTheDefaults() {
        CGlobalSettings settings;
        settings.values = kEarlier;
        Wizard wizard(settings, store_);
        wizard.show();
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Settings Wizard"));
        const std::pair<QString, QString> pages[] = {
            {"Global Settings Wizard - Welcome [Page 1 of 4]", "-N-C"},
            {"Global Settings Wizard - Playback Proxy Settings [Page 2 of 4]", "BN-C"},
            {"Global Settings Wizard - Protocols Versions and Timeout [Page 3 of 4]", "BN-C"},
            {"Global Settings Wizard - Finish [Page 4 of 4]", "B-FC"},
        };
        for (int id = Wizard::WelcomePage; id <= Wizard::FinishPage; ++id) {
            if (id > Wizard::WelcomePage) press(wizard, QWizard::NextButton);
            QCOMPARE(wizard.currentId(), id);
            QCOMPARE(wizard.currentPage()->title(), pages[id].first);
            QCOMPARE(shownButtons(wizard), pages[id].second);
            if (id == Wizard::ProxyPage) {
                QVERIFY(!field<QCheckBox>(wizard, "useProxy")->isChecked());
                QVERIFY(!field(wizard, "customProxy")->isEnabled());
                QVERIFY(!field(wizard, "proxyServer")->isEnabled());
            }
            if (id == Wizard::ProtocolsPage)
                QCOMPARE(field<QSpinBox>(wizard, "timeout")->value(), 120);
        }
        press(wizard, QWizard::FinishButton);

        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(describe(settings.values), describe(GlobalSettingsValues{}));
        QVERIFY(store_.open());
        for (auto [name, value] : {std::pair{"Timeout", 120u},
                                   {"HTTPVersion", 1u},
                                   {"BypassProxy", 1u},
                                   {"PromptRecording", 1u}})
            QCOMPARE(store_.readNumber(name), std::optional<std::uint32_t>(value));
        store_.close();
    }

    void proxyPageRefusesToBeLeft_data() {
        QTest::addColumn<bool>("back");
        QTest::addColumn<int>("type");
        for (const char* column : {"server", "port", "message", "focus"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<int>("page");
        const QString noServer = "Please type an address of proxy server.";
        const QString noPort   = "Please select a proxy port.";
        auto row = [](const char* tag, bool back, int type, QString server, QString port,
                      QString message, QString focus, int page = Wizard::ProxyPage) {
            QTest::newRow(tag) << back << type << server << port << message << focus << page;
        };
        row("back, no server", true, 0, "", "3128", noServer, "proxyServer");
        row("next, no server", false, 0, "", "", noServer, "proxyServer");
        row("no type", false, -1, "", "", "Please select a proxy type.", "proxyType");
        row("back, port 0", true, 1, "h", "0", noPort, "proxyPort");
        row("next, port 65536", false, 2, "h", "65536", noPort, "proxyPort");
        row("back, valid", true, 3, "h", "1080", "", "", Wizard::WelcomePage);
        row("next, valid", false, 0, "h", "65535", "", "", Wizard::ProtocolsPage);
    }
    // A refused page keeps the cursor on the field at fault; a page left keeps its values for the
    // way back.
    void proxyPageRefusesToBeLeft() {
        QFETCH(bool, back);
        QFETCH(int, type);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(int, page);
        CGlobalSettings settings;
        Wizard wizard(settings, store_);
        openCustomProxy(wizard);
        field<QComboBox>(wizard, "proxyType")->setCurrentIndex(type);
        QTest::keyClicks(field(wizard, "proxyServer"), server);
        QTest::keyClicks(field(wizard, "proxyPort"), port);
        QString shown;
        test::answerNextModal(&wizard, [&shown](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) shown = box->text(), box->accept();
        });
        press(wizard, back ? QWizard::BackButton : QWizard::NextButton);

        QCOMPARE(shown, message);
        QCOMPARE(wizard.currentId(), page);
        if (!message.isEmpty()) {
            QCOMPARE(wizard.focusWidget(), field(wizard, focus));
            return;
        }
        press(wizard, back ? QWizard::NextButton : QWizard::BackButton);
        QCOMPARE(field<QLineEdit>(wizard, "proxyServer")->text(), server);
        QCOMPARE(field<QComboBox>(wizard, "proxyType")->currentIndex(), type);
        QVERIFY(field<QRadioButton>(wizard, "customProxy")->isChecked());
        QCOMPARE(describe(settings.values), describe(GlobalSettingsValues{}));
    }

    void summaryShowsTheChoicesAndFinishStoresThem_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("stored");
        const QString proxy = "+ Use proxy:\n      Type: HTTP\n      Server: h\n      Port: 3128\n";
        const QString tail  = "+ Protocols versions:\n      HTTP version: HTTP 1.1\n"
                              "      SSL version: SSL 3.0\n\n+ Timeout: %1 sec\n\n";
        QTest::newRow("no authentication")
            << "" << 120 << proxy + "      No authentication\n\n" + tail.arg(120)
            << "t120 up1 h ty0 p3128 cu1 a0 : b1 [] h1 s1 pr1 st0";
        QTest::newRow("five-character password")
            << "se:cr" << 30
            << proxy + "      User: tester\n      Password: *****\n\n" + tail.arg(30)
            << "t30 up1 h ty0 p3128 cu1 a1 tester:se:cr b1 [] h1 s1 pr1 st0";
    }
    // Credentials come through the Advanced Proxy Settings dialog; the time-out is changed on
    // page 3 and survives a Back from there.
    void summaryShowsTheChoicesAndFinishStoresThem() {
        QFETCH(QString, password);
        QFETCH(int, timeout);
        QFETCH(QString, summary);
        QFETCH(QString, stored);
        CGlobalSettings settings;
        Wizard wizard(settings, store_);
        openCustomProxy(wizard);
        QTest::keyClicks(field(wizard, "proxyServer"), "h");
        QTest::keyClicks(field(wizard, "proxyPort"), "3128");
        if (!password.isEmpty())
            editAdvanced(wizard, [password](QDialog& advanced) {
                field<QCheckBox>(advanced, "useAuthentication")->click();
                QTest::keyClicks(field(advanced, "proxyUser"), "tester");
                QTest::keyClicks(field(advanced, "proxyPassword"), password);
            });
        press(wizard, QWizard::NextButton);
        field<QSpinBox>(wizard, "timeout")->setValue(timeout);
        press(wizard, QWizard::BackButton);
        press(wizard, QWizard::NextButton);
        press(wizard, QWizard::NextButton);

        auto* text = field<QPlainTextEdit>(wizard, "summary");
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->toPlainText(), summary);
        QCOMPARE(describe(settings.values), describe(GlobalSettingsValues{}));
        press(wizard, QWizard::FinishButton);
        QCOMPARE(describe(settings.values), stored);
        QCOMPARE(savedSettings(), stored);
    }

    // Everything changed on the way, an advanced value included, then Cancel on the last page.
    void cancelKeepsSettingsAndStore() {
        CGlobalSettings settings;
        settings.values = kEarlier;
        QVERIFY(settings.save(store_));
        const QString before = describe(settings.values);
        Wizard wizard(settings, store_);
        openCustomProxy(wizard);
        QTest::keyClicks(field(wizard, "proxyServer"), "new");
        QTest::keyClicks(field(wizard, "proxyPort"), "8080");
        editAdvanced(wizard,
                     [](QDialog& advanced) { field<QCheckBox>(advanced, "bypassLocal")->click(); });
        press(wizard, QWizard::NextButton);
        field<QSpinBox>(wizard, "timeout")->setValue(999);
        press(wizard, QWizard::NextButton);
        QCOMPARE(wizard.currentId(), int(Wizard::FinishPage));
        press(wizard, QWizard::CancelButton);

        QCOMPARE(wizard.result(), int(QDialog::Rejected));
        QCOMPARE(describe(settings.values), before);
        QCOMPARE(savedSettings(), before);
    }
};

TORVEX_WEBENGINE_TEST_MAIN(SettingsWizardTest)
#include "SettingsWizardTest.moc"
