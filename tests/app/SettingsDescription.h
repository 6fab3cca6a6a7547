#pragma once

#include "app/QtSettingsStore.h"
#include "model/GlobalSettings.h"

#include <QString>

namespace torvex::test {

// Every value on one line, so that a mismatch shows which one differs.
inline QString describe(const GlobalSettingsValues& v) {
    return QString::asprintf("t%d up%d %s ty%d p%d cu%d a%d %s:%s b%d [%s] h%d s%d pr%d st%d",
                             v.timeout, v.useProxy, v.proxyServer.c_str(), v.proxyType, v.proxyPort,
                             v.customProxy, v.proxyAuth, v.proxyUser.c_str(),
                             v.proxyPassword.c_str(), v.bypassProxy, v.proxyExceptions.c_str(),
                             v.httpVersion, v.sslVersion, v.promptRecording, v.startRecording);
}

// What the user's settings file holds.
inline QString savedSettings() {
    QtSettingsStore store;
    CGlobalSettings saved;
    return saved.load(store) ? describe(saved.values) : QStringLiteral("nothing saved");
}

} // namespace torvex::test
