#include "app/SettingsDialog.h"
#include "app/AdvancedProxyDialog.h"
#include "app/QtSettingsStore.h"
#include "app/SettingsDescription.h"
#include "model/GlobalSettings.h"

#include <QApplication>
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
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace torvex;
using Button = QDialogButtonBox::StandardButton;

namespace {

using test::describe;
using test::savedSettings;

// Hands each modal window to `answer` until it returns true; polls every 20 ms for at most 5 s.
// The timer belongs to `owner`, so it never outlives the dialog under test.
void answerModal(QObject* owner, std::function<bool(QWidget*)> answer) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, tries = 0]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal && answer(modal)) || ++tries >= 250) timer->stop();
    });
    timer->start(20);
}

// Answers the next message box with OK and keeps its text.
void catchMessage(QObject* owner, QString& text) {
    answerModal(owner, [&text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box) text = box->text(), box->accept();
        return box != nullptr;
    });
}

template <typename Widget = QWidget> Widget* field(const QWidget& dialog, const QString& name) {
    return dialog.findChild<Widget*>(name);
}

void press(QDialog& dialog, Button which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

bool focusIsIn(const QWidget& dialog, const QString& name) {
    QWidget* focus = dialog.focusWidget();
    QWidget* owner = field(dialog, name);
    return focus && owner && (focus == owner || owner->isAncestorOf(focus));
}

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
    QtSettingsStore store_;

private slots:
    // Settings go to the test's own folder, never the user's.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex")).clear(); }

    // Settings dialog.
    void proxyFieldsFollowTheSwitches_data() {
        QTest::addColumn<bool>("useProxy");
        QTest::addColumn<bool>("custom");
        QTest::newRow("no proxy") << false << false;
        QTest::newRow("custom proxy switched off") << false << true;
        QTest::newRow("system proxy") << true << false;
        QTest::newRow("custom proxy") << true << true;
    }
    void proxyFieldsFollowTheSwitches() {
        QFETCH(bool, useProxy);
        QFETCH(bool, custom);
        CGlobalSettings settings;
        settings.values.useProxy    = useProxy;
        settings.values.customProxy = custom;
        CSettingsDialog dialog(settings, store_);
        auto expectEnabled = [&](bool radios, bool details) {
            for (const char* name : {"systemProxy", "customProxy"})
                QCOMPARE(field(dialog, name)->isEnabled(), radios);
            for (const char* name : {"proxyType", "proxyServer", "proxyPort", "advanced"})
                QCOMPARE(field(dialog, name)->isEnabled(), details);
        };
        expectEnabled(useProxy, useProxy && custom);
        field<QCheckBox>(dialog, "useProxy")->click();
        expectEnabled(!useProxy, !useProxy && custom);
        field<QRadioButton>(dialog, custom ? "systemProxy" : "customProxy")->click();
        expectEnabled(!useProxy, !useProxy && !custom);
    }

    void okRefusesInvalidFields_data() {
        for (const char* column : {"timeout", "server", "port", "message", "focus"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<bool>("custom");
        const QString range  = QStringLiteral("Please enter an integer between 0 and 1000.");
        const QString noName = QStringLiteral("The server name cannot be empty.");
        const QString noPort = QStringLiteral("The server port cannot be empty.");

        auto row = [](const char* tag, QString timeout, QString server, QString port,
                      QString message, QString focus, bool custom = true) {
            QTest::newRow(tag) << timeout << server << port << message << focus << custom;
        };
        row("timeout 1001", "1001", "h", "80", range, "timeout");
        row("timeout 0", "0", "h", "80", "", "");
        row("timeout 1000", "1000", "h", "80", "", "");
        row("no server", "5", "", "80", noName, "proxyServer");
        row("no server, no port", "5", "", "", noName, "proxyServer");
        row("no port", "5", "h", "", noPort, "proxyPort");
        row("port 0", "5", "h", "0", noPort, "proxyPort");
        row("port 65536", "5", "h", "65536",
            QStringLiteral("Please enter an integer between 1 and 65535."), "proxyPort");
        row("system proxy needs neither", "5", "", "", "", "", false);
    }
    // Typed in, then OK: a refused field keeps the dialog open with the cursor on it and saves
    // nothing; accepted fields close it and reach the settings and the file.
    void okRefusesInvalidFields() {
        QFETCH(QString, timeout);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(bool, custom);
        CGlobalSettings settings;
        settings.values.useProxy    = 1;
        settings.values.customProxy = custom;
        const QString before        = describe(settings.values);
        CSettingsDialog dialog(settings, store_);
        dialog.show();
        field<QSpinBox>(dialog, "timeout")->clear();
        QTest::keyClicks(field(dialog, "timeout"), timeout);
        QTest::keyClicks(field(dialog, "proxyServer"), server);
        QTest::keyClicks(field(dialog, "proxyPort"), port);
        QString shown;
        catchMessage(&dialog, shown);
        press(dialog, QDialogButtonBox::Ok);

        QCOMPARE(shown, message);
        QCOMPARE(dialog.isVisible(), !message.isEmpty());
        if (message.isEmpty()) {
            QCOMPARE(settings.values.timeout, timeout.toInt());
            QCOMPARE(savedSettings(), describe(settings.values));
        } else {
            QVERIFY(focusIsIn(dialog, focus));
            QCOMPARE(describe(settings.values), before);
            QCOMPARE(savedSettings(), QStringLiteral("nothing saved"));
        }
    }

    // The arrows stop at the limits that OK accepts.
    void timeoutArrowsStayInRange() {
        CGlobalSettings settings;
        settings.values.timeout = 999;
        CSettingsDialog dialog(settings, store_);
        auto* timeout = field<QSpinBox>(dialog, "timeout");
        timeout->stepUp();
        timeout->stepUp();
        QCOMPARE(timeout->value(), 1000);
        timeout->setValue(0);
        timeout->stepDown();
        QCOMPARE(timeout->value(), 0);
    }

    void okCommitsAndSavesWhileCancelDiscards_data() {
        QTest::addColumn<Button>("button");
        QTest::newRow("ok") << QDialogButtonBox::Ok;
        QTest::newRow("cancel") << QDialogButtonBox::Cancel;
    }
    // Every field changed, the advanced ones through the Advanced Proxy Settings dialog's OK.
    void okCommitsAndSavesWhileCancelDiscards() {
        QFETCH(Button, button);
        CGlobalSettings settings;
        CSettingsDialog dialog(settings, store_);
        dialog.show();
        field<QCheckBox>(dialog, "useProxy")->click();
        field<QRadioButton>(dialog, "customProxy")->click();
        field<QComboBox>(dialog, "proxyType")->setCurrentIndex(3);
        QTest::keyClicks(field(dialog, "proxyServer"), "proxy.test");
        QTest::keyClicks(field(dialog, "proxyPort"), "8a08b0"); // digits only
        field<QComboBox>(dialog, "httpVersion")->setCurrentIndex(0);
        field<QComboBox>(dialog, "sslVersion")->setCurrentIndex(0);
        field<QSpinBox>(dialog, "timeout")->setValue(30);
        field<QCheckBox>(dialog, "promptRecording")->click();
        field<QCheckBox>(dialog, "startRecording")->click();
        bool advancedAnswered = false;
        answerModal(&dialog, [&](QWidget* modal) {
            auto* advanced = qobject_cast<CAdvancedProxyDialog*>(modal);
            if (!advanced) return false;
            field<QCheckBox>(*advanced, "useAuthentication")->click();
            QTest::keyClicks(field(*advanced, "proxyUser"), "tester");
            QTest::keyClicks(field(*advanced, "proxyPassword"), "se:cret");
            field<QCheckBox>(*advanced, "bypassLocal")->click();
            field<QPlainTextEdit>(*advanced, "proxyExceptions")->setPlainText("10.;intranet.");
            press(*advanced, QDialogButtonBox::Ok);
            return advancedAnswered = true;
        });
        field<QPushButton>(dialog, "advanced")->click();
        QVERIFY(advancedAnswered);
        press(dialog, button);

        QVERIFY(!dialog.isVisible());
        const QString expected = button == QDialogButtonBox::Cancel
                                     ? describe(GlobalSettingsValues{})
                                     : "t30 up1 proxy.test ty3 p8080 cu1 a1 tester:se:cret b0 "
                                       "[10.;intranet.] h0 s0 pr0 st1";
        QCOMPARE(describe(settings.values), expected);
        QCOMPARE(savedSettings(),
                 button == QDialogButtonBox::Cancel ? QStringLiteral("nothing saved") : expected);
    }

    // Advanced Proxy Settings dialog.
    void authenticationEnabling_data() {
        QTest::addColumn<int>("proxyType");
        QTest::addColumn<bool>("useProxy");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<bool>("boxEnabled");
        QTest::newRow("SOCKS4 ignores a stored switch") << 2 << true << true << false;
        QTest::newRow("HTTP, switch off") << 0 << true << false << true;
        QTest::newRow("SOCKS5, switch on") << 3 << true << true << true;
        QTest::newRow("no proxy") << 0 << false << true << false;
    }
    void authenticationEnabling() {
        QFETCH(int, proxyType);
        QFETCH(bool, useProxy);
        QFETCH(bool, auth);
        QFETCH(bool, boxEnabled);
        CGlobalSettings working;
        working.values.proxyType = proxyType;
        working.values.useProxy  = useProxy;
        working.values.proxyAuth = auth;
        CAdvancedProxyDialog dialog(working);
        auto* password = field<QLineEdit>(dialog, "proxyPassword");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(field(dialog, "useAuthentication")->isEnabled(), boxEnabled);
        QCOMPARE(field(dialog, "proxyUser")->isEnabled(), boxEnabled && auth);
        QCOMPARE(password->isEnabled(), boxEnabled && auth);
        field<QCheckBox>(dialog, "useAuthentication")->click();
        QCOMPARE(field(dialog, "proxyUser")->isEnabled(), boxEnabled && !auth);
        QCOMPARE(password->isEnabled(), boxEnabled && !auth);
    }

    void authenticationNeedsUserAndPassword_data() {
        for (const char* column : {"user", "password", "message", "focus"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<Button>("button");

        auto row = [](const char* tag, QString user, QString password, QString message,
                      QString focus, Button button = QDialogButtonBox::Ok) {
            QTest::newRow(tag) << user << password << message << focus << button;
        };
        row("no user", "", "pw", "The user name cannot be empty.", "proxyUser");
        row("no password", "u", "", "The password cannot be empty.", "proxyPassword");
        row("both given", "u", "pw", "", "");
        row("cancel", "u", "pw", "", "", QDialogButtonBox::Cancel);
    }
    // Only an accepted OK writes into the working copy.
    void authenticationNeedsUserAndPassword() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(Button, button);
        CGlobalSettings working;
        working.values.useProxy = 1;
        const QString before    = describe(working.values);
        CAdvancedProxyDialog dialog(working);
        dialog.show();
        field<QCheckBox>(dialog, "useAuthentication")->click();
        QTest::keyClicks(field(dialog, "proxyUser"), user);
        QTest::keyClicks(field(dialog, "proxyPassword"), password);
        field<QPlainTextEdit>(dialog, "proxyExceptions")->setPlainText("10.");
        QString shown;
        catchMessage(&dialog, shown);
        press(dialog, button);

        QCOMPARE(shown, message);
        QCOMPARE(dialog.isVisible(), !message.isEmpty());
        if (!message.isEmpty()) QVERIFY(focusIsIn(dialog, focus));
        const bool written = message.isEmpty() && button == QDialogButtonBox::Ok;
        QCOMPARE(describe(working.values),
                 written ? "t120 up1  ty0 p0 cu0 a1 u:pw b1 [10.] h1 s1 pr1 st0" : before);
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
