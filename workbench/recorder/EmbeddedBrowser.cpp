#include "recorder/EmbeddedBrowser.h"

#include "recorder/AuthorityCheck.h"
#include "recorder/NavigationMarker.h"
#include "recorder/RecordingProxy.h"
#include "recorder/RequestRecorder.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <unistd.h>

namespace torvex {
namespace {

std::string& extraTrustedSites() {
    static std::string pem;
    return pem;
}

// Chromium sends requests for loopback hosts direct unless the bypass list takes them out, and
// testers record their local servers all the time. The key of the proxy's trusted certificates
// is trusted outright, so that Chromium accepts them without asking, also for sites it keeps
// to HTTPS strictly (HSTS), where it lets no one override a certificate error.
void pointChromiumAt(int port, const std::string& trustedKeyPin) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty()) flags += ' ';
    flags += "--proxy-server=http://127.0.0.1:" + QByteArray::number(port) +
             " --proxy-bypass-list=<-loopback>";
    if (!trustedKeyPin.empty())
        flags +=
            " --ignore-certificate-errors-spki-list=" + QByteArray::fromStdString(trustedKeyPin);
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

void EmbeddedBrowser::trustSitesSignedBy(const std::string& pem) {
    extraTrustedSites() += pem;
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
    options.markedOnly      = true;
    options.extraTrustedPem = extraTrustedSites();
    options.upstream        = upstreamFromEnvironment;
    options.onNavigation    = [this](const ProxiedNavigation& navigation) { deliver(navigation); };
    options.onProblem       = [this](const std::string& text) {
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
    pointChromiumAt(proxy->port(), proxy->hostKeyPin());
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
    connect(
        page, &QWebEnginePage::certificateError, this,
        [this, page](const QWebEngineCertificateError& error) { onCertificateError(page, error); });
    return page;
}

void EmbeddedBrowser::onCertificateError(QWebEnginePage* page,
                                         const QWebEngineCertificateError& reported) {
    // The proxy shows the browser certificates of Torvex's own authority for sites whose own
    // certificate verifies; those pass silently.
    QWebEngineCertificateError error   = reported;
    const QList<QSslCertificate> chain = error.certificateChain();
    const QByteArray leaf              = chain.isEmpty() ? QByteArray() : chain.first().toDer();
    const std::string_view leafDer(leaf.constData(), static_cast<std::size_t>(leaf.size()));
    if (issuedByAuthority(leafDer, authorityPem_)) {
        error.acceptCertificate();
        return;
    }
    const QString host = error.url().host();
    if (!error.isOverridable()) {
        error.rejectCertificate();
        emit problemReported(QStringLiteral("the certificate of %1 is not valid: %2")
                                 .arg(host, error.description()));
        return;
    }
    // Anything else is the site's own fault (the proxy signs it with an untrusted issuer):
    // the user decides, as in any browser. The box does not block, so the page goes on
    // loading other things meanwhile.
    error.defer();
    auto* box = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Torvex"),
        QStringLiteral("The certificate of %1 is not valid: %2. Open the page anyway?")
            .arg(host, error.description()),
        QMessageBox::Yes | QMessageBox::No, QWebEngineView::forPage(page));
    box->setDefaultButton(QMessageBox::No);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, error]() mutable {
        if (box->clickedButton() == box->button(QMessageBox::Yes))
            error.acceptCertificate();
        else
            error.rejectCertificate();
    });
    box->show();
}

} // namespace torvex
