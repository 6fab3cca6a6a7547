#include "model/GlobalSettings.h"

#include "model/SettingsStore.h"

namespace torvex {
namespace {

const char* const kSchemes[] = {"http", "httpc", "socks4", "socks5"};

// At most `limit` bytes, never ending inside a UTF-8 sequence.
std::string cutText(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

struct Reader {
    SettingsStore& store;
    bool ok = true;

    void number(const char* name, int& field) {
        if (!ok) return;
        auto value = store.readNumber(name);
        if (value)
            field = static_cast<int>(*value);
        else
            ok = false;
    }
    void text(const char* name, std::string& field) {
        if (!ok) return;
        auto value = store.readText(name);
        if (value)
            field = cutText(*value, 1023); // the registry's 1024-byte buffers
        else
            ok = false;
    }
};

} // namespace

std::string GlobalSettingsValues::proxyString() const {
    const char* scheme = proxyType >= 0 && proxyType < 4 ? kSchemes[proxyType] : "";
    std::string out    = std::string(scheme) + "://";
    if (proxyAuth) out += proxyUser + ":" + proxyPassword + "@";
    return out + proxyServer + ":" + std::to_string(proxyPort);
}

bool CGlobalSettings::load(SettingsStore& store) {
    if (!store.open()) return false;
    std::lock_guard guard(mutex_);
    GlobalSettingsValues& v = values;
    Reader r{store};
    r.number("CustomProxy", v.customProxy);
    r.number("StartRecording", v.startRecording);
    r.number("PromptRecording", v.promptRecording);
    r.number("UseProxy", v.useProxy);
    r.number("ProxyType", v.proxyType);
    r.text("ProxyServer", v.proxyServer);
    r.number("ProxyPort", v.proxyPort);
    r.number("ProxyAuth", v.proxyAuth);
    r.text("ProxyUser", v.proxyUser);
    r.text("ProxyPassword", v.proxyPassword);
    r.number("Timeout", v.timeout);
    r.number("HTTPVersion", v.httpVersion);
    r.number("SSLVersion", v.sslVersion);
    r.number("BypassProxy", v.bypassProxy);
    r.text("ProxyExceptions", v.proxyExceptions);
    store.close();
    return r.ok;
}

bool CGlobalSettings::save(SettingsStore& store) const {
    if (!store.open()) return false;
    std::lock_guard guard(mutex_);
    const GlobalSettingsValues& v = values;
    bool ok                       = true;
    auto number                   = [&](const char* name, int value) {
        ok = store.writeNumber(name, static_cast<std::uint32_t>(value)) && ok;
    };
    auto text = [&](const char* name, const std::string& value) {
        ok = store.writeText(name, value) && ok;
    };
    number("CustomProxy", v.customProxy);
    number("UseProxy", v.useProxy);
    number("ProxyType", v.proxyType);
    number("ProxyPort", v.proxyPort);
    text("ProxyServer", v.proxyServer);
    number("ProxyAuth", v.proxyAuth);
    text("ProxyUser", v.proxyUser);
    text("ProxyPassword", v.proxyPassword);
    number("Timeout", v.timeout);
    number("PromptRecording", v.promptRecording);
    number("StartRecording", v.startRecording);
    number("HTTPVersion", v.httpVersion);
    number("SSLVersion", v.sslVersion);
    number("BypassProxy", v.bypassProxy);
    text("ProxyExceptions", v.proxyExceptions);
    ok = store.close() && ok;
    return ok;
}

void CGlobalSettings::assignFrom(const CGlobalSettings& other) {
    if (&other == this) return;
    GlobalSettingsValues copy = other.snapshot();
    std::lock_guard guard(mutex_);
    values = std::move(copy);
}

int CGlobalSettings::timeout() const {
    std::lock_guard guard(mutex_);
    return values.timeout;
}

std::string CGlobalSettings::proxyString() const {
    std::lock_guard guard(mutex_);
    return values.proxyString();
}

GlobalSettingsValues CGlobalSettings::snapshot() const {
    std::lock_guard guard(mutex_);
    return values;
}

} // namespace torvex
