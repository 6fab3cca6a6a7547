#include "app/TorvexApp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("Torvex 2.0");
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("Usage: Torvex [FILE.tvs | FILE.rlt]\n"
                      "The Torvex workbench: records, edits and runs load test scenarios.\n"
                      "A scenario file named on the command line is opened; a results file is\n"
                      "shown in the Text Report view.");
            return 0;
        }
    }
    // The Recorder's embedded browser (QtWebEngine) shares OpenGL contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    torvex::CTorvexApp torvex;
    if (!torvex.start(QApplication::arguments().mid(1))) return 1;
    return QApplication::exec();
}
