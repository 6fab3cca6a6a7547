#include "app/WebEngineTestMain.h"

#include <QObject>

class ScenarioWizardTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

TORVEX_WEBENGINE_TEST_MAIN(ScenarioWizardTest)
#include "ScenarioWizardTest.moc"
