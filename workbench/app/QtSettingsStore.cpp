#include "app/QtSettingsStore.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace torvex {

QtSettingsStore::QtSettingsStore()  = default;
QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::open() {
    settings_ = std::make_unique<QSettings>(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    settings_->beginGroup(QStringLiteral("Settings"));
    // A damaged file reads as missing values (the wizard then runs) and is rewritten on save.
    return settings_->status() != QSettings::AccessError;
}

std::optional<std::uint32_t> QtSettingsStore::readNumber(const std::string& name) {
    QVariant value = settings_->value(QString::fromStdString(name));
    bool ok        = false;
    uint number    = value.toUInt(&ok);
    if (!value.isValid() || !ok) return std::nullopt;
    return number;
}

std::optional<std::string> QtSettingsStore::readText(const std::string& name) {
    QVariant value = settings_->value(QString::fromStdString(name));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

bool QtSettingsStore::writeNumber(const std::string& name, std::uint32_t value) {
    settings_->setValue(QString::fromStdString(name), static_cast<uint>(value));
    return true;
}

bool QtSettingsStore::writeText(const std::string& name, const std::string& value) {
    settings_->setValue(QString::fromStdString(name), QString::fromStdString(value));
    return true;
}

bool QtSettingsStore::close() {
    if (!settings_) return true;
    settings_->endGroup();
    settings_->sync();
    const bool written = settings_->status() == QSettings::NoError;
    settings_.reset();
    return written;
}

} // namespace torvex
