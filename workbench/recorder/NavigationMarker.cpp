#include "recorder/NavigationMarker.h"

#include "recorder/RecordingProxy.h"

namespace torvex {

void NavigationMarker::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QByteArray mark(RecordingProxy::kNavigationMark);
    switch (info.resourceType()) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
        info.setHttpHeader(mark, QByteArrayLiteral("main"));
        break;
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
        info.setHttpHeader(mark, QByteArrayLiteral("frame"));
        break;
    default:
        break;
    }
}

} // namespace torvex
