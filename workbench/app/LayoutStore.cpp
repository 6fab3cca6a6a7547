#include "app/LayoutStore.h"

#include <QSettings>
#include <QStringList>

namespace torvex {
namespace {

QString keyOf(const QString& section, const QString& name) {
    return QStringLiteral("Layout/") + section + QLatin1Char('/') + name;
}

bool sectionExists(QSettings& settings, const QString& section) {
    settings.beginGroup(QStringLiteral("Layout"));
    const bool exists = settings.childGroups().contains(section);
    settings.endGroup();
    return exists;
}

bool writeValue(const QString& key, const QVariant& value) {
    QSettings settings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

std::optional<std::uint32_t> LayoutStore::readNumber(const QString& section, const QString& name) {
    QSettings settings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    if (!sectionExists(settings, section)) return std::nullopt;
    const QVariant value = settings.value(keyOf(section, name));
    // A number is stored as digits only; anything else (a rectangle, a word) is not one.
    const QString text = value.toString();
    bool ok            = false;
    const uint number  = text.toUInt(&ok);
    if (!value.isValid() || !ok || text.startsWith(QLatin1Char('+'))) return std::nullopt;
    return number;
}

bool LayoutStore::writeNumber(const QString& section, const QString& name, std::uint32_t value) {
    return writeValue(keyOf(section, name), static_cast<uint>(value));
}

std::optional<QRect> LayoutStore::readRect(const QString& section, const QString& name) {
    QSettings settings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    if (!sectionExists(settings, section)) return std::nullopt;
    const QVariant value = settings.value(keyOf(section, name));
    // QSettings hands a comma-separated INI value back as a list.
    const QStringList parts = value.typeId() == QMetaType::QStringList
                                  ? value.toStringList()
                                  : value.toString().split(QLatin1Char(','));
    if (!value.isValid() || parts.size() != 4) return std::nullopt;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok    = false;
        numbers[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    // Stored as left, top, right, bottom with right and bottom just outside the window.
    return QRect(QPoint(numbers[0], numbers[1]), QPoint(numbers[2] - 1, numbers[3] - 1));
}

bool LayoutStore::writeRect(const QString& section, const QString& name, const QRect& rect) {
    const QString text = QStringLiteral("%1,%2,%3,%4")
                             .arg(rect.left())
                             .arg(rect.top())
                             .arg(rect.right() + 1)
                             .arg(rect.bottom() + 1);
    return writeValue(keyOf(section, name), text);
}

} // namespace torvex
