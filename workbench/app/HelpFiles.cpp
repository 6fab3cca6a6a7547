#include "app/HelpFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace torvex {

namespace {

// Where an installed program's data folder lies, seen from the program's folder; the build
// computes it from the install directories (bin and share/torvex by default).
#ifndef TORVEX_DATA_FROM_PROGRAM
#define TORVEX_DATA_FROM_PROGRAM "../share/torvex"
#endif

// A file shipped with the program: beside it in a build tree, in the data folder when installed.
QString shippedFile(const QString& name) {
    const QString programDir    = QCoreApplication::applicationDirPath();
    const QString besideProgram = programDir + QLatin1Char('/') + name;
    if (QFileInfo::exists(besideProgram)) return besideProgram;
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral("/" TORVEX_DATA_FROM_PROGRAM "/") + name);
    if (QFileInfo::exists(installed)) return installed;
    return besideProgram;
}

} // namespace

QString helpPagePath() {
    return shippedFile(QStringLiteral("Torvex.html"));
}

QString tipsFilePath() {
    return shippedFile(QStringLiteral("torvex-tips.txt"));
}

} // namespace torvex
