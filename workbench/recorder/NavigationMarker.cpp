#include "recorder/NavigationMarker.h"

#include "recorder/RecordingProxy.h"

namespace torvex {

void NavigationMarker::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QWebEngineUrlRequestInfo::ResourceType type = info.resourceType();
    if (type != QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
        type != QWebEngineUrlRequestInfo::ResourceTypeSubFrame)
        return;
    const QByteArray mark(RecordingProxy::kNavigationMark);
    // The browser follows a server's redirect on its own, and so does playback: no navigation of
    // the tester's. The proxy counts neither this value nor a mark the first request handed on.
    if (info.navigationType() == QWebEngineUrlRequestInfo::NavigationTypeRedirect)
        info.setHttpHeader(mark, QByteArrayLiteral("redirect"));
    else if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        info.setHttpHeader(mark, QByteArrayLiteral("main"));
    else
        info.setHttpHeader(mark, QByteArrayLiteral("frame"));
}

} // namespace torvex
