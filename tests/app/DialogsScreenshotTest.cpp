// Pictures of the parameter formula dialog and of every page of both wizards on an X server, with
// checks that each window was drawn and that no control is cut off or squeezed below its minimum.
#include "ScreenPictures.h"
#include "WebEngineTestMain.h"
#include "app/QtSettingsStore.h"
#include "editor/ParameterDialog.h"
#include "model/GlobalSettings.h"
#include "model/ReqParam.h"
#include "model/Scenario.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/SettingsWizard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

using namespace torvex;
using torvex::test::colourCount;
using torvex::test::grab;

namespace {

// Saves the window's picture and names every visible control that lies partly outside it or
// got less room than it needs.
QStringList pictureAndCrampedControls(QWidget* window, const QString& name) {
    QTest::qWait(100); // let the window manager place and paint it
    const QImage picture = grab(window);
    picture.save(QStringLiteral(TORVEX_SCREENSHOT_DIR "/") + name + ".png");
    QStringList cramped;
    if (colourCount(picture) < 8) cramped << name + ": not drawn";
    for (QWidget* control : window->findChildren<QWidget*>()) {
        // Qt's own parts (named "qt_...") are laid out by their owners.
        if (!control->isVisible() || control->objectName().isEmpty() ||
            control->objectName().startsWith("qt_"))
            continue;
        const QRect place(control->mapTo(window, QPoint()), control->size());
        const QSize needed = control->minimumSizeHint();
        if (!window->rect().contains(place) ||
            (needed.isValid() &&
             (control->width() < needed.width() || control->height() < needed.height())))
            cramped << name + ": " + control->objectName();
    }
    return cramped;
}

CReqParamFunction component(int kind, const char* text, std::uint32_t from = 0,
                            std::uint32_t to = 0) {
    CReqParamFunction made;
    made.setKind(kind), made.setFrom(from), made.setTo(to), made.setText(text);
    return made;
}

// Walks a wizard from its first page to its last, taking a picture of each.
QStringList picturesOfEveryPage(QWizard& wizard, const QString& name) {
    wizard.show();
    QStringList cramped;
    for (int page = 1;; ++page) {
        cramped << pictureAndCrampedControls(&wizard, name + "-" + QString::number(page));
        if (wizard.currentId() == wizard.pageIds().last()) break;
        wizard.button(QWizard::NextButton)->click();
    }
    return cramped;
}

} // namespace

class DialogsScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under xvfb-run");
        QVERIFY(QDir().mkpath(TORVEX_SCREENSHOT_DIR));
        QStandardPaths::setTestModeEnabled(true);
    }

    void parameterDialogWithEachKind() {
        CReqParam parameter;
        parameter.name       = "category";
        parameter.components = {component(CReqParamFunction::kStatic, "books-"),
                                component(CReqParamFunction::kNumeric, "id", 1, 500),
                                component(CReqParamFunction::kRandomList, "")};
        parameter.components.back().setListText("red\r\ngreen\r\nblue");
        CParameterDialog dialog(parameter);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* components = dialog.findChild<QListWidget*>("components");
        auto* functions  = dialog.findChild<QListWidget*>("functions");
        QStringList cramped;
        for (int row = 0; row < components->count(); ++row) {
            components->setCurrentRow(row);
            cramped << pictureAndCrampedControls(&dialog,
                                                 "parameter-dialog-" + QString::number(row + 1));
        }
        // Every kind's fields fit, whichever is chosen.
        for (int kind = 0; kind < functions->count(); ++kind) {
            functions->setCurrentRow(kind);
            QTest::qWait(20);
            if (!cramped.isEmpty()) break;
            for (QWidget* control : dialog.findChildren<QWidget*>()) {
                if (control->isVisible() && !control->objectName().isEmpty() &&
                    !dialog.rect().contains(
                        QRect(control->mapTo(&dialog, QPoint()), control->size())))
                    cramped << QString("kind %1: %2").arg(kind).arg(control->objectName());
            }
        }
        QVERIFY2(cramped.isEmpty(), qPrintable(cramped.join(", ")));
    }

    void scenarioWizardPages() {
        CScenario target;
        CWizardDlg wizard(target);
        const QStringList cramped = picturesOfEveryPage(wizard, "scenario-wizard");
        QVERIFY2(cramped.isEmpty(), qPrintable(cramped.join(", ")));
        // The endurance objective shows other fields on the volume page.
        wizard.restart();
        wizard.button(QWizard::NextButton)->click();
        wizard.findChild<QListWidget*>("objectives")->setCurrentRow(4);
        while (wizard.currentId() != CWizardDlg::kVolumePage)
            wizard.button(QWizard::NextButton)->click();
        const QStringList endurance =
            pictureAndCrampedControls(&wizard, "scenario-wizard-5-endurance");
        QVERIFY2(endurance.isEmpty(), qPrintable(endurance.join(", ")));
        wizard.reject();
    }

    void settingsWizardPages() {
        CGlobalSettings settings;
        QtSettingsStore store;
        CSettingsWizardDlg wizard(settings, store);
        wizard.show();
        wizard.button(QWizard::NextButton)->click();
        // The custom proxy fields enabled, as a user setting up a proxy sees them.
        wizard.findChild<QCheckBox*>("useProxy")->setChecked(true);
        wizard.findChild<QAbstractButton*>("customProxy")->setChecked(true);
        wizard.findChild<QLineEdit*>("proxyServer")->setText("proxy.example");
        wizard.findChild<QLineEdit*>("proxyPort")->setText("3128");
        wizard.button(QWizard::BackButton)->click();
        const QStringList cramped = picturesOfEveryPage(wizard, "settings-wizard");
        QVERIFY2(cramped.isEmpty(), qPrintable(cramped.join(", ")));
        wizard.reject();
    }
};

TORVEX_WEBENGINE_TEST_MAIN(DialogsScreenshotTest)
#include "DialogsScreenshotTest.moc"
