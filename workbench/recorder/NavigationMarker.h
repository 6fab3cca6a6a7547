#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace torvex {

// Marks the embedded browser's page and frame navigations with the recording proxy's private
// header, so that the proxy captures them and lets pictures, scripts and style sheets pass.
// Requests that follow a server's redirect are marked as such, which the proxy does not count.
class NavigationMarker : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};

} // namespace torvex
