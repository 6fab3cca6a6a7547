#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <string>

class QWebEngineCertificateError;
class QWebEnginePage;

namespace torvex {

class CRequestRecorder;
class NavigationMarker;
class RecordingProxy;
struct ProxiedNavigation;

// The embedded browser's connection to the recorder: the recording proxy that QtWebEngine is
// pointed at, the marking of navigations, and the acceptance of the proxy's own certificates.
// Chromium takes its proxy from its command line once, when the first QtWebEngine object is
// made, so there is one of these per process, made before that and kept until the application
// object goes.
class EmbeddedBrowser : public QObject {
    Q_OBJECT
public:
    // Made on first use, with its proxy started; needs the application object.
    static EmbeddedBrowser& instance();
    // Authorities whose sites count as verified besides the system's (PEM), for test servers;
    // takes effect only before the first instance().
    static void trustSitesSignedBy(const std::string& pem);

    // Captured navigations go to the recorder's OnBeforeNavigate. Detaching waits for a capture
    // that is under way, so the recorder and its partners may go right after it.
    void attach(CRequestRecorder& recorder);
    void detach(CRequestRecorder& recorder);

    // A page for a browser view: navigations marked, certificates of Torvex's authority accepted,
    // any other certificate only when the user says so.
    QWebEnginePage* createPage(QObject* parent);

    // Empty while navigations can be recorded; otherwise why the browser goes direct.
    QString unavailableReason() const { return unavailableReason_; }
    int proxyPort() const;

signals:
    // A problem the proxy met (an upstream that cannot be reached, a failed handshake, a site
    // whose certificate does not verify), or a certificate the browser refused outright; may be
    // emitted on a proxy thread, so receivers get it queued.
    void problemReported(const QString& text);

private:
    EmbeddedBrowser();
    ~EmbeddedBrowser() override;

    void startProxy();
    void prepareProfile();
    void deliver(const ProxiedNavigation& navigation);
    void onCertificateError(QWebEnginePage* page, const QWebEngineCertificateError& reported);

    std::unique_ptr<RecordingProxy> proxy_;
    std::string authorityPem_;
    QString unavailableReason_;
    NavigationMarker* marker_ = nullptr;

    std::mutex recorderLock_; // held while a capture is delivered
    CRequestRecorder* recorder_ = nullptr;
};

} // namespace torvex
