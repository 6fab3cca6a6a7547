#include "app/DataFolders.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QString>

namespace torvex {

DefaultFolders userDataFolders() {
    if (QCoreApplication::organizationName().isEmpty())
        QCoreApplication::setOrganizationName(QStringLiteral("Mekora"));
    if (QCoreApplication::applicationName().isEmpty())
        QCoreApplication::setApplicationName(QStringLiteral("Torvex"));
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (base.isEmpty()) return defaultFolders();
    return {(base + QStringLiteral("/Logs")).toStdString(),
            (base + QStringLiteral("/Reports")).toStdString()};
}

} // namespace torvex
