#include "app/WebEngineTestMain.h"

#include <QObject>

class ParameterDialogTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

TORVEX_WEBENGINE_TEST_MAIN(ParameterDialogTest)
#include "ParameterDialogTest.moc"
