#pragma once

#include <QApplication>
#include <QTest>

// The main function of a Qt Test program that shows QtWebEngine views. QtWebEngine wants the
// shared OpenGL contexts asked for before the application object exists, and test machines
// (containers, CI runners) seldom allow the user namespaces Chromium's sandbox needs. The
// organisation and application names are the program's, so that settings and the recording
// authority land where the program keeps them (in Qt's test folders once test mode is on).
#define TORVEX_WEBENGINE_TEST_MAIN(TestObject)                                                     \
    int main(int argc, char* argv[]) {                                                             \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {                           \
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");                                           \
        }                                                                                          \
        QApplication application(argc, argv);                                                      \
        QCoreApplication::setOrganizationName(QStringLiteral("Mekora"));                           \
        QCoreApplication::setApplicationName(QStringLiteral("Torvex"));                            \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
