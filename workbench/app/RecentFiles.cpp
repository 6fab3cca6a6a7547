#include "app/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace torvex {
namespace {

const QString kSection = QStringLiteral("Recent File List");

QString keyOf(int index) {
    return kSection + QStringLiteral("/File%1").arg(index + 1);
}

} // namespace

RecentFiles::RecentFiles() {
    QSettings settings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    for (int i = 0; i < kMaximum; ++i) {
        const QString path = settings.value(keyOf(i)).toString();
        if (!path.isEmpty() && !files_.contains(path)) files_.append(path);
    }
}

void RecentFiles::add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files_.removeAll(absolute);
    files_.prepend(absolute);
    while (files_.size() > kMaximum) files_.removeLast();
    save();
}

void RecentFiles::remove(const QString& path) {
    if (files_.removeAll(QFileInfo(path).absoluteFilePath()) + files_.removeAll(path) > 0) save();
}

void RecentFiles::save() const {
    QSettings settings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    for (int i = 0; i < kMaximum; ++i) {
        if (i < files_.size()) {
            settings.setValue(keyOf(i), files_[i]);
        } else {
            settings.remove(keyOf(i));
        }
    }
}

} // namespace torvex
