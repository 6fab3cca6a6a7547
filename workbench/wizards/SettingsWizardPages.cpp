#include "wizards/SettingsWizardPages.h"

#include "app/AdvancedProxyDialog.h"
#include "app/NamedWidget.h"
#include "model/GlobalSettings.h"
#include "wizards/SettingsSummary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include <initializer_list>

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
    useProxy_    = named(new QCheckBox(tr("&Use proxy server while performing test")), "useProxy");
    systemProxy_ = named(new QRadioButton(tr("Use syst&em proxy settings")), "systemProxy");
    customProxy_ = named(new QRadioButton(tr("Use &custom proxy settings")), "customProxy");
    proxyType_   = createCombo("proxyType", kProxyTypeNames);
    proxyServer_ = named(new QLineEdit, "proxyServer");
    proxyPort_   = named(new QLineEdit, "proxyPort");
    proxyPort_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), this));
    advanced_ = named(new QPushButton(tr("&Advanced...")), "advanced");
    advanced_->setAutoDefault(false);

    customProxyForm_ = new QFormLayout;
    customProxyForm_->addRow(tr("&Type:"), proxyType_);
    customProxyForm_->addRow(tr("&Server:"), proxyServer_);
    customProxyForm_->addRow(tr("&Port:"), proxyPort_);
    customProxyForm_->addRow(QString(), advanced_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(useProxy_);
    layout->addWidget(systemProxy_);
    layout->addWidget(customProxy_);
    layout->addLayout(customProxyForm_);
    layout->addStretch();

    connect(useProxy_, &QCheckBox::toggled, this, &CSettingsProxyPage::enableFields);
    connect(customProxy_, &QRadioButton::toggled, this, &CSettingsProxyPage::enableFields);
    connect(advanced_, &QPushButton::clicked, this, &CSettingsProxyPage::openAdvanced);
}

void CSettingsProxyPage::initializePage() {
    showFields();
    enableFields();
}

void CSettingsProxyPage::showFields() {
    const GlobalSettingsValues& v = working_.values;
    useProxy_->setChecked(v.useProxy != 0);
    (v.customProxy ? customProxy_ : systemProxy_)->setChecked(true);
    proxyType_->setCurrentIndex(v.proxyType);
    proxyServer_->setText(QString::fromStdString(v.proxyServer));
    proxyPort_->setText(v.proxyPort ? QString::number(v.proxyPort) : QString());
}

void CSettingsProxyPage::enableFields() {
    const bool useProxy = useProxy_->isChecked();
    const bool custom   = useProxy && customProxy_->isChecked();
    systemProxy_->setEnabled(useProxy);
    customProxy_->setEnabled(useProxy);
    for (QWidget* field :
         std::initializer_list<QWidget*>{proxyType_, proxyServer_, proxyPort_, advanced_}) {
        field->setEnabled(custom);
        if (QWidget* label = customProxyForm_->labelForField(field)) label->setEnabled(custom);
    }
}

void CSettingsProxyPage::storeFields() {
    GlobalSettingsValues& v = working_.values;
    v.useProxy              = useProxy_->isChecked() ? 1 : 0;
    v.customProxy           = customProxy_->isChecked() ? 1 : 0;
    v.proxyType             = proxyType_->currentIndex(); // -1 when none is chosen
    v.proxyServer           = proxyServer_->text().toStdString();
    v.proxyPort             = proxyPort_->text().toInt();
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
    if (fault == ProxyPageFault::Type) field = proxyType_;
    if (fault == ProxyPageFault::Server) field = proxyServer_;
    if (fault == ProxyPageFault::Port) field = proxyPort_;
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
