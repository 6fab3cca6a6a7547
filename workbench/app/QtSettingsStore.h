#pragma once

#include "model/SettingsStore.h"

#include <memory>

class QSettings;

namespace torvex {

// The global settings in the user's Qt settings (organisation "Mekora", application "Torvex",
// group "Settings"); on Linux an INI file in the user's configuration folder.
class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    ~QtSettingsStore() override;

    bool open() override;
    std::optional<std::uint32_t> readNumber(const std::string& name) override;
    std::optional<std::string> readText(const std::string& name) override;
    bool writeNumber(const std::string& name, std::uint32_t value) override;
    bool writeText(const std::string& name, const std::string& value) override;
    bool close() override;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace torvex
