// The side panel, splash screen, tips of the day, feedback mail and the files shipped with the
// program, driven the way the main window and the user drive them.

#include "app/FeedbackMail.h"
#include "app/HelpFiles.h"
#include "app/NavigationBar.h"
#include "app/SplashScreen.h"
#include "app/TipsDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace torvex;

namespace {

QSettings userSettings() {
    return QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QString shownTip(const CTipsDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("tipText"))->text();
}

void clickNextTip(CTipsDialog& dialog) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("nextTipButton")),
                      Qt::LeftButton);
}

} // namespace

class SideFeaturesTest : public QObject {
    Q_OBJECT

private slots:
    // Settings go to the test's own folder, never the user's.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { userSettings().remove(QStringLiteral("Tip")); }

    // --- navigation bar ---

    void navigationBarOpensTheTestGroupWithTheViewsInOrder() {
        CNavigationBar bar;
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QCOMPARE(bar.currentGroup(), 0);
        QCOMPARE(bar.groupButton(0)->text(), QStringLiteral("Test"));
        QCOMPARE(bar.groupButton(1)->text(), QStringLiteral("Results"));
        const QStringList labels[] = {{"Recorder", "Editor", "Runner"},
                                      {"Text Report", "Graphs", "Batch Run Graphs"}};
        for (int group = 0; group < 2; ++group) {
            for (int item = 0; item < 3; ++item) {
                QAbstractButton* button = bar.itemButton(group, item);
                // Long labels may be wrapped to fit the bar's width.
                QCOMPARE(button->text().replace(u'\n', u' '), labels[group][item]);
                QCOMPARE(button->accessibleName(), labels[group][item]);
                QVERIFY(!button->icon().isNull());
                QCOMPARE(button->isVisible(), group == 0);
            }
        }
        QCOMPARE(bar.itemButton(2, 0), nullptr);
        QCOMPARE(bar.itemButton(0, 3), nullptr);
    }

    void navigationBarReportsGroupClicksAndShowsThatGroup() {
        CNavigationBar bar;
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy groups(&bar, &CNavigationBar::groupChanged);
        QSignalSpy items(&bar, &CNavigationBar::itemClicked);

        QTest::mouseClick(bar.groupButton(1), Qt::LeftButton);
        QCOMPARE(groups.count(), 1);
        QCOMPARE(groups.takeFirst().at(0).toInt(), 1);
        QCOMPARE(bar.currentGroup(), 1);
        QVERIFY(bar.itemButton(1, 2)->isVisible());
        QVERIFY(!bar.itemButton(0, 0)->isVisible());

        // The open group's header changes nothing.
        QTest::mouseClick(bar.groupButton(1), Qt::LeftButton);
        QCOMPARE(groups.count(), 0);

        QTest::mouseClick(bar.groupButton(0), Qt::LeftButton);
        QCOMPARE(groups.count(), 1);
        QCOMPARE(groups.takeFirst().at(0).toInt(), 0);
        QVERIFY(bar.itemButton(0, 1)->isVisible());
        QVERIFY(!bar.itemButton(1, 1)->isVisible());
        QCOMPARE(items.count(), 0);
    }

    void navigationBarReportsItemsByTheirIndexWithinTheGroup() {
        CNavigationBar bar;
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy items(&bar, &CNavigationBar::itemClicked);

        QTest::mouseClick(bar.itemButton(0, 2), Qt::LeftButton);
        QTest::mouseClick(bar.groupButton(1), Qt::LeftButton);
        QTest::mouseClick(bar.itemButton(1, 0), Qt::LeftButton);
        QTest::mouseClick(bar.itemButton(1, 2), Qt::LeftButton);
        QCOMPARE(items.count(), 3);
        QCOMPARE(items.at(0).at(0).toInt(), 2);
        QCOMPARE(items.at(1).at(0).toInt(), 0);
        QCOMPARE(items.at(2).at(0).toInt(), 2);
    }

    void navigationBarSelectGroupOpensSilently() {
        CNavigationBar bar;
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy groups(&bar, &CNavigationBar::groupChanged);

        bar.selectGroup(1);
        QCOMPARE(bar.currentGroup(), 1);
        QVERIFY(bar.itemButton(1, 0)->isVisible());
        QVERIFY(!bar.itemButton(0, 0)->isVisible());
        bar.selectGroup(7);
        QCOMPARE(bar.currentGroup(), 1);
        bar.selectGroup(0);
        QCOMPARE(bar.currentGroup(), 0);
        QCOMPARE(groups.count(), 0);

        // After a silent change, clicking the formerly open group is a real change again.
        bar.selectGroup(1);
        QTest::mouseClick(bar.groupButton(0), Qt::LeftButton);
        QCOMPARE(groups.count(), 1);
    }

    // --- system description and feedback mail ---

    void systemDescriptionNamesTheDistributionAndKernel_data() {
        QTest::addColumn<QByteArray>("osRelease");
        QTest::addColumn<QString>("distribution");
        QTest::newRow("double quotes")
            << QByteArray("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                          "(bookworm)\"\nID=debian\n")
            << QStringLiteral("Debian GNU/Linux 12 (bookworm)");
        QTest::newRow("unquoted") << QByteArray("ID=arch\nPRETTY_NAME=Arch\n")
                                  << QStringLiteral("Arch");
        QTest::newRow("single quotes") << QByteArray("PRETTY_NAME='Alpine Linux v3.19'\n")
                                       << QStringLiteral("Alpine Linux v3.19");
        QTest::newRow("escaped quote") << QByteArray("PRETTY_NAME=\"The \\\"Best\\\" OS\"\n")
                                       << QStringLiteral("The \"Best\" OS");
        QTest::newRow("similar key only")
            << QByteArray("XPRETTY_NAME=\"Wrong\"\nNAME=Wrong\n") << QString();
        QTest::newRow("empty name") << QByteArray("PRETTY_NAME=\"\"\n") << QString();
    }

    void systemDescriptionNamesTheDistributionAndKernel() {
        QFETCH(QByteArray, osRelease);
        QFETCH(QString, distribution);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("os-release"));
        writeFile(path, osRelease);
        const QString kernel = QStringLiteral("Linux ") + QSysInfo::kernelVersion();
        const QString expected =
            distribution.isEmpty() ? kernel : distribution + QStringLiteral(", ") + kernel;
        QCOMPARE(systemDescription(path), expected);
    }

    void systemDescriptionWithoutOsReleaseIsTheKernelOnly() {
        QTemporaryDir dir;
        QCOMPARE(systemDescription(dir.filePath(QStringLiteral("missing"))),
                 QStringLiteral("Linux ") + QSysInfo::kernelVersion());
    }

    void feedbackMailDecodesToSubjectAndBody_data() {
        QTest::addColumn<QString>("system");
        QTest::newRow("plain") << QStringLiteral("Debian GNU/Linux 12 (bookworm), Linux 6.1.0");
        QTest::newRow("query characters") << QStringLiteral("A&B=C+D #1 50% ?x");
        QTest::newRow("unknown") << QString();
    }

    void feedbackMailDecodesToSubjectAndBody() {
        QFETCH(QString, system);
        const QUrl url = feedbackMailUrl(system);
        QVERIFY2(url.isValid(), qPrintable(url.errorString()));
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.path(), QStringLiteral("support@torvex.dev"));
        QCOMPARE(url.path(), QString::fromLatin1(kSupportAddress));

        const QUrlQuery query(url);
        const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyDecoded);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).first, QStringLiteral("subject"));
        QCOMPARE(items.at(0).second, QStringLiteral("Torvex 2.0 Feedback"));
        QCOMPARE(items.at(1).first, QStringLiteral("body"));
        const QRegularExpression body(
            QStringLiteral("^[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}\\r\\nOS: (.*)\\r\\n\\r\\n$"),
            QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = body.match(items.at(1).second);
        QVERIFY2(match.hasMatch(), qPrintable(items.at(1).second));
        QCOMPARE(match.captured(1), system);
        // Mail clients get no raw spaces or line breaks.
        const QByteArray encoded = url.toEncoded();
        QVERIFY(!encoded.contains(' '));
        QVERIFY(encoded.contains("%0D%0A%0D%0A") || encoded.contains("%0d%0a%0d%0a"));
    }

    // --- tips of the day ---

    void tipsCycleFromTheRememberedTipAndWrap() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tips.txt"));
        writeFile(path, "; Tips for testers\n\nFirst tip.\n   ; indented comment\nSecond tip.\r\n"
                        "\n  Third tip.  \n");
        userSettings().setValue(QStringLiteral("Tip/FilePos"), 1);

        CTipsDialog dialog(path);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tip of the Day"));
        QCOMPARE(shownTip(dialog), QStringLiteral("Second tip."));
        QCOMPARE(userSettings().value(QStringLiteral("Tip/FilePos")).toInt(), 2);
        clickNextTip(dialog);
        QCOMPARE(shownTip(dialog), QStringLiteral("Third tip."));
        QCOMPARE(userSettings().value(QStringLiteral("Tip/FilePos")).toInt(), 0);
        clickNextTip(dialog);
        QCOMPARE(shownTip(dialog), QStringLiteral("First tip."));

        // The next opening goes on where this one stopped.
        CTipsDialog again(path);
        QCOMPARE(shownTip(again), QStringLiteral("Second tip."));
    }

    void tipsStartOverWhenTheRememberedTipIsGone() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tips.txt"));
        writeFile(path, "Only tip.\nOther tip.\n");
        for (int position : {2, 40, -3}) {
            userSettings().setValue(QStringLiteral("Tip/FilePos"), position);
            CTipsDialog dialog(path);
            QCOMPARE(shownTip(dialog), QStringLiteral("Only tip."));
        }
    }

    void tipsShowOnStartupIsRemembered() {
        QVERIFY(CTipsDialog::showAtStartup());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tips.txt"));
        writeFile(path, "A tip.\n");
        CTipsDialog dialog(path);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("showOnStartup"));
        QVERIFY(box->isChecked());
        QCOMPARE(box->text(), QStringLiteral("&Show tips on startup"));

        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(userSettings().value(QStringLiteral("Tip/StartUp")).toInt(), 0);
        QVERIFY(!CTipsDialog::showAtStartup());
        CTipsDialog later(path);
        QVERIFY(!later.findChild<QCheckBox*>(QStringLiteral("showOnStartup"))->isChecked());

        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(CTipsDialog::showAtStartup());
    }

    void tipsFileMissingOrEmptyIsExplained_data() {
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << false;
        QTest::newRow("comments only") << true;
    }

    void tipsFileMissingOrEmptyIsExplained() {
        QFETCH(bool, exists);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("torvex-tips.txt"));
        if (exists) writeFile(path, "; nothing yet\n\n");
        CTipsDialog dialog(path);
        QVERIFY2(shownTip(dialog).contains(path), qPrintable(shownTip(dialog)));
        QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("nextTipButton"))->isEnabled());
        QVERIFY(!userSettings().contains(QStringLiteral("Tip/FilePos")));
    }

    // --- splash screen ---

    void splashClosesOnAKeyOrButtonAnywhere_data() {
        QTest::addColumn<bool>("useKey");
        QTest::newRow("key") << true;
        QTest::newRow("mouse button") << false;
    }

    void splashClosesOnAKeyOrButtonAnywhere() {
        QFETCH(bool, useKey);
        QWidget elsewhere;
        elsewhere.resize(200, 100);
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));

        CSplashScreen splash;
        QVERIFY(!splash.pixmap().isNull());
        splash.showForAWhile(60000);
        QVERIFY(splash.isVisible());
        if (useKey)
            QTest::keyClick(&elsewhere, Qt::Key_Space);
        else
            QTest::mouseClick(&elsewhere, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 2000);

        // Closed once, it no longer reacts to input.
        splash.show();
        QTest::keyClick(&elsewhere, Qt::Key_Space);
        QVERIFY(splash.isVisible());
    }

    void splashClosesByItselfAfterItsTime() {
        CSplashScreen splash;
        splash.showForAWhile(100);
        QVERIFY(splash.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 3000);
    }

    // --- files shipped with the program ---

    void shippedFilesAreFoundBesideTheProgramThenInShare() {
        const QString programDir = QCoreApplication::applicationDirPath();
        const QString beside     = programDir + QStringLiteral("/torvex-tips.txt");
        const QString shareDir   = QDir::cleanPath(programDir + QStringLiteral("/../share/torvex"));
        const QString installed  = shareDir + QStringLiteral("/torvex-tips.txt");
        const auto cleanUp       = [&] {
            QFile::remove(beside);
            QDir(shareDir).removeRecursively();
            QDir(programDir).rmdir(QStringLiteral("../share"));
        };
        cleanUp(); // what an interrupted earlier run left
        const auto cleanUpAtEnd = qScopeGuard(cleanUp);

        QCOMPARE(tipsFilePath(), beside);
        QCOMPARE(helpPagePath(), programDir + QStringLiteral("/Torvex.html"));

        QVERIFY(QDir().mkpath(shareDir));
        writeFile(installed, "Installed tip.\n");
        QCOMPARE(tipsFilePath(), installed);
        QCOMPARE(helpPagePath(), programDir + QStringLiteral("/Torvex.html"));
        writeFile(beside, "Build tip.\n");
        QCOMPARE(tipsFilePath(), beside);
        {
            CTipsDialog dialog;
            QCOMPARE(shownTip(dialog), QStringLiteral("Build tip."));
        }
    }
};

QTEST_MAIN(SideFeaturesTest)
#include "SideFeaturesTest.moc"
