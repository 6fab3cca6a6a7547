#pragma once

#include <mutex>
#include <string>

namespace torvex {

class SettingsStore;

// The tester's preferences that hold for every scenario.
struct GlobalSettingsValues {
    int timeout  = 120; // seconds to wait for a server response
    int useProxy = 0;
    std::string proxyServer;
    int proxyType   = 0; // 0 HTTP, 1 HTTPS (CONNECT), 2 SOCKS4, 3 SOCKS5
    int proxyPort   = 0;
    int customProxy = 0; // 0: the system's proxy settings
    int proxyAuth   = 0;
    std::string proxyUser;
    std::string proxyPassword;
    int bypassProxy = 1;
    std::string proxyExceptions;
    int httpVersion     = 1; // 0 HTTP 1.0, 1 HTTP 1.1
    int sslVersion      = 1;
    int promptRecording = 1;
    int startRecording  = 0;

    // "scheme://[user:password@]server:port" for the engine's proxy option.
    std::string proxyString() const;
};

// The process's one set of global settings, kept in a SettingsStore.
class CGlobalSettings {
public:
    // Reads the values in their fixed order and stops at the first missing one; the values read
    // before it keep their new contents. True when all were read.
    bool load(SettingsStore& store);
    bool save(SettingsStore& store) const;
    // Copies every value from `other` (a dialog's working copy).
    void assignFrom(const CGlobalSettings& other);

    int timeout() const;
    std::string proxyString() const;
    // A consistent copy of every value.
    GlobalSettingsValues snapshot() const;

    GlobalSettingsValues values;

private:
    mutable std::mutex mutex_;
};

} // namespace torvex
