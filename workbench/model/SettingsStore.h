#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace torvex {

// The per-user store behind the global settings: named 32-bit numbers and texts under one key.
// The program keeps them with QSettings; tests use a store in memory.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // False when the key cannot be opened (nothing is read or written then).
    virtual bool open()                                                       = 0;
    virtual std::optional<std::uint32_t> readNumber(const std::string& name)  = 0;
    virtual std::optional<std::string> readText(const std::string& name)      = 0;
    virtual bool writeNumber(const std::string& name, std::uint32_t value)    = 0;
    virtual bool writeText(const std::string& name, const std::string& value) = 0;
    // Ends a read or a write; false when what was written did not reach the store.
    virtual bool close() { return true; }
};

} // namespace torvex
