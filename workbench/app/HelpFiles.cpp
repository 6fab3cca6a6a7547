#include "app/HelpFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace torvex {

namespace {

// A file shipped with the program: beside it in a build tree, under share/torvex when installed.
QString shippedFile(const QString& name) {
    const QString programDir    = QCoreApplication::applicationDirPath();
    const QString besideProgram = programDir + QLatin1Char('/') + name;
    if (QFileInfo::exists(besideProgram)) return besideProgram;
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral("/../share/torvex/") + name);
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
