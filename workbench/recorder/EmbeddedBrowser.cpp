#include "recorder/EmbeddedBrowser.h"

#include "recorder/AuthorityCheck.h"
#include "recorder/NavigationMarker.h"
#include "recorder/RecordingProxy.h"
#include "recorder/RequestRecorder.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <unistd.h>

namespace torvex {
namespace {

// Chromium sends requests for loopback hosts direct unless the bypass list takes them out, and
// testers record their local servers all the time.
void pointChromiumAt(int port) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty()) flags += ' ';
    flags += "--proxy-server=http://127.0.0.1:" + QByteArray::number(port) +
             " --proxy-bypass-list=<-loopback>";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// Chromium refuses to start as root with its sandbox on.
void allowStartAsRoot() {
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

} // namespace

EmbeddedBrowser& EmbeddedBrowser::instance() {
    // Owned by the application object, which outlives every browser view.
    static QPointer<EmbeddedBrowser> browser;
    if (!browser) browser = new EmbeddedBrowser;
    return *browser;
}

EmbeddedBrowser::EmbeddedBrowser() : QObject(QCoreApplication::instance()) {
    allowStartAsRoot();
    startProxy();
    prepareProfile();
}

EmbeddedBrowser::~EmbeddedBrowser() {
    // The proxy's threads end here, before anything they call into goes.
    if (proxy_) proxy_->stop();
    proxy_.reset();
}

void EmbeddedBrowser::startProxy() {
    RecordingProxy::Options options;
    options.authorityFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
    options.markedOnly   = true;
    options.upstream     = upstreamFromEnvironment;
    options.onNavigation = [this](const ProxiedNavigation& navigation) { deliver(navigation); };
    options.onProblem    = [this](const std::string& text) {
        emit problemReported(QString::fromStdString(text));
    };
    auto proxy = std::make_unique<RecordingProxy>(std::move(options));
    std::string error;
    if (!proxy->start(error)) {
        unavailableReason_ =
            QStringLiteral("Recording is not available: %1").arg(QString::fromStdString(error));
        return;
    }
    authorityPem_ = proxy->authorityCertificatePem();
    pointChromiumAt(proxy->port());
    proxy_ = std::move(proxy);
}

void EmbeddedBrowser::prepareProfile() {
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    // Every navigation must reach the proxy to be recorded, also a page seen before.
    profile->setHttpCacheType(QWebEngineProfile::NoCache);
    marker_ = new NavigationMarker(this);
    profile->setUrlRequestInterceptor(marker_);
}

int EmbeddedBrowser::proxyPort() const {
    return proxy_ ? proxy_->port() : 0;
}

void EmbeddedBrowser::attach(CRequestRecorder& recorder) {
    std::lock_guard guard(recorderLock_);
    recorder_ = &recorder;
}

void EmbeddedBrowser::detach(CRequestRecorder& recorder) {
    std::lock_guard guard(recorderLock_);
    if (recorder_ == &recorder) recorder_ = nullptr;
}

void EmbeddedBrowser::deliver(const ProxiedNavigation& navigation) {
    std::lock_guard guard(recorderLock_);
    if (!recorder_) return;
    bool cancel = false;
    recorder_->OnBeforeNavigate(navigation.url, navigation.targetFrame, navigation.body,
                                navigation.headerText, cancel);
}

QWebEnginePage* EmbeddedBrowser::createPage(QObject* parent) {
    auto* page = new QWebEnginePage(QWebEngineProfile::defaultProfile(), parent);
    connect(page, &QWebEnginePage::certificateError, this, &EmbeddedBrowser::onCertificateError);
    return page;
}

void EmbeddedBrowser::onCertificateError(const QWebEngineCertificateError& reported) {
    // The proxy shows the browser certificates of Torvex's own authority; any other fault in a
    // certificate is the site's and stays refused.
    QWebEngineCertificateError error   = reported;
    const QList<QSslCertificate> chain = error.certificateChain();
    const QByteArray leaf              = chain.isEmpty() ? QByteArray() : chain.first().toDer();
    const std::string_view leafDer(leaf.constData(), static_cast<std::size_t>(leaf.size()));
    if (issuedByAuthority(leafDer, authorityPem_)) {
        error.acceptCertificate();
    } else {
        error.rejectCertificate();
    }
}

} // namespace torvex
