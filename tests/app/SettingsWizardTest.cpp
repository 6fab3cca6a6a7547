#include "app/WebEngineTestMain.h"

#include <QObject>

class SettingsWizardTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

TORVEX_WEBENGINE_TEST_MAIN(SettingsWizardTest)
#include "SettingsWizardTest.moc"
