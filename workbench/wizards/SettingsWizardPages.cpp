#include "wizards/SettingsWizardPages.h"

#include "app/AdvancedProxyDialog.h"
#include "app/NamedWidget.h"
#include "app/ProxyFields.h"
#include "model/GlobalSettings.h"
#include "wizards/SettingsSummary.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace torvex {
namespace {

constexpr int kMinTimeout = 0;
constexpr int kMaxTimeout = 1000;

template <std::size_t N>
QComboBox* createCombo(const char* name, const std::array<const char*, N>& items) {
    auto* combo = named(new QComboBox, name);
    for (const char* item : items) combo->addItem(QString::fromUtf8(item));
    return combo;
}

// The chosen index, or `previous` when the stored index matched no item.
int chosenIndex(const QComboBox* combo, int previous) {
    return combo->currentIndex() >= 0 ? combo->currentIndex() : previous;
}

} // namespace

CSettingsWelcomePage::CSettingsWelcomePage(QWidget* parent) : CSettingsWizardPage(parent) {
    setTitle(tr("Global Settings Wizard - Welcome [Page 1 of 4]"));
    auto* text = named(
        new QLabel(tr("This wizard sets up how Torvex plays back tests: whether test runs go "
                      "through a proxy server, which HTTP and SSL versions they use and how long "
                      "they wait for a server response.\n\nYou can change these settings later "
                      "with Settings in the Edit menu.")),
        "welcomeText");
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addStretch();
}

CSettingsProxyPage::CSettingsProxyPage(CGlobalSettings& working, QWidget* parent)
    : CSettingsWizardPage(parent), working_(working) {
    setTitle(tr("Global Settings Wizard - Playback Proxy Settings [Page 2 of 4]"));
    proxy_       = new CProxyFields;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(proxy_);
    layout->addStretch();
    connect(proxy_, &CProxyFields::advancedClicked, this, &CSettingsProxyPage::openAdvanced);
}

void CSettingsProxyPage::initializePage() {
    proxy_->showFields(working_.values);
}

void CSettingsProxyPage::storeFields() {
    // The page's validation asks for a type, so no choice is stored as none.
    proxy_->storeFields(working_.values, CProxyFields::NoTypeChosen::StoreNone);
}

void CSettingsProxyPage::openAdvanced() {
    // The advanced dialog's enabling follows the proxy choices made here so far.
    storeFields();
    CAdvancedProxyDialog(working_, this).exec();
}

bool CSettingsProxyPage::leave() {
    storeFields();
    const ProxyPageFault fault = firstProxyPageFault(working_.values);
    if (fault == ProxyPageFault::None) return true;
    QMessageBox::warning(this, QGuiApplication::applicationDisplayName(),
                         QString::fromUtf8(proxyPageFaultMessage(fault)));
    // User and password live in the advanced dialog; the other fields are on this page.
    QWidget* field = nullptr;
    if (fault == ProxyPageFault::Type) field = proxy_->proxyType();
    if (fault == ProxyPageFault::Server) field = proxy_->proxyServer();
    if (fault == ProxyPageFault::Port) field = proxy_->proxyPort();
    if (field) field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    return false;
}

CSettingsProtocolsPage::CSettingsProtocolsPage(CGlobalSettings& working, QWidget* parent)
    : CSettingsWizardPage(parent), working_(working) {
    setTitle(tr("Global Settings Wizard - Protocols Versions and Timeout [Page 3 of 4]"));
    httpVersion_ = createCombo("httpVersion", kHttpVersionNames);
    sslVersion_  = createCombo("sslVersion", kSslVersionNames);
    timeout_     = named(new QSpinBox, "timeout");
    timeout_->setRange(kMinTimeout, kMaxTimeout);

    auto* form = new QFormLayout(this);
    form->addRow(tr("&HTTP version:"), httpVersion_);
    form->addRow(tr("SS&L version:"), sslVersion_);
    form->addRow(tr("&Maximum time of waiting for server response (sec):"), timeout_);
}

void CSettingsProtocolsPage::initializePage() {
    const GlobalSettingsValues& v = working_.values;
    httpVersion_->setCurrentIndex(v.httpVersion);
    sslVersion_->setCurrentIndex(v.sslVersion);
    timeout_->setValue(v.timeout);
}

bool CSettingsProtocolsPage::leave() {
    GlobalSettingsValues& v = working_.values;
    v.httpVersion           = chosenIndex(httpVersion_, v.httpVersion);
    v.sslVersion            = chosenIndex(sslVersion_, v.sslVersion);
    v.timeout               = timeout_->value();
    return true;
}

CSettingsFinishPage::CSettingsFinishPage(CGlobalSettings& working, QWidget* parent)
    : CSettingsWizardPage(parent), working_(working) {
    setTitle(tr("Global Settings Wizard - Finish [Page 4 of 4]"));
    summary_ = named(new QPlainTextEdit, "summary");
    summary_->setReadOnly(true);
    summary_->setTabChangesFocus(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
}

void CSettingsFinishPage::initializePage() {
    // The summary's lines end in CR LF; the text box wants plain line feeds.
    QString text = QString::fromStdString(settingsSummary(working_.snapshot()));
    summary_->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

} // namespace torvex
