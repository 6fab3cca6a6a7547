#include "app/SettingsDialog.h"

#include "app/AdvancedProxyDialog.h"
#include "app/CheckedSpinBox.h"
#include "app/NamedWidget.h"
#include "model/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
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
constexpr int kMaxPort    = 65535;

// The chosen index, or `previous` when the stored index matched no item.
int chosenIndex(const QComboBox* combo, int previous) {
    return combo->currentIndex() >= 0 ? combo->currentIndex() : previous;
}

QComboBox* createCombo(const char* name, const QStringList& items) {
    auto* combo = named(new QComboBox, name);
    combo->addItems(items);
    return combo;
}

} // namespace

CSettingsDialog::CSettingsDialog(CGlobalSettings& settings, SettingsStore& store, QWidget* parent)
    : QDialog(parent), settings_(settings), store_(store) {
    setWindowTitle(tr("Settings"));
    working_.assignFrom(settings_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSettingsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createProxyGroup());
    layout->addWidget(createConnectionGroup());
    layout->addWidget(createRecorderGroup());
    layout->addWidget(buttons);

    showFields();
    enableFields();
    connect(useProxy_, &QCheckBox::toggled, this, &CSettingsDialog::enableFields);
    connect(customProxy_, &QRadioButton::toggled, this, &CSettingsDialog::enableFields);
    connect(advanced_, &QPushButton::clicked, this, &CSettingsDialog::openAdvanced);
}

QGroupBox* CSettingsDialog::createProxyGroup() {
    useProxy_    = named(new QCheckBox(tr("&Use proxy server while performing test")), "useProxy");
    systemProxy_ = named(new QRadioButton(tr("Use syst&em proxy settings")), "systemProxy");
    customProxy_ = named(new QRadioButton(tr("Use &custom proxy settings")), "customProxy");
    proxyType_   = createCombo("proxyType", {tr("HTTP"), tr("HTTPS"), tr("SOCKS4"), tr("SOCKS5")});
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

    auto* group  = new QGroupBox(tr("Proxy"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(useProxy_);
    layout->addWidget(systemProxy_);
    layout->addWidget(customProxy_);
    layout->addLayout(customProxyForm_);
    return group;
}

QGroupBox* CSettingsDialog::createConnectionGroup() {
    httpVersion_ = createCombo("httpVersion", {tr("HTTP 1.0"), tr("HTTP 1.1")});
    sslVersion_  = createCombo("sslVersion", {tr("SSL 2.0"), tr("SSL 3.0")});
    timeout_     = named(new CheckedSpinBox(kMinTimeout, kMaxTimeout), "timeout");

    auto* group = new QGroupBox(tr("Connection"));
    auto* form  = new QFormLayout(group);
    form->addRow(tr("&HTTP version:"), httpVersion_);
    form->addRow(tr("SS&L version:"), sslVersion_);
    form->addRow(tr("&Maximum time of waiting for server response (sec):"), timeout_);
    return group;
}

QGroupBox* CSettingsDialog::createRecorderGroup() {
    promptRecording_ = named(new QCheckBox(tr("Sh&ow prompt for Recorder")), "promptRecording");
    startRecording_ = named(new QCheckBox(tr("Alwa&ys start recording when switching to Recorder")),
                            "startRecording");

    auto* group  = new QGroupBox(tr("Recorder"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(promptRecording_);
    layout->addWidget(startRecording_);
    return group;
}

void CSettingsDialog::accept() {
    if (!fieldsAreValid()) return;
    storeFields();
    settings_.assignFrom(working_);
    settings_.save(store_); // a failed save keeps the values for this session only
    QDialog::accept();
}

void CSettingsDialog::showFields() {
    const GlobalSettingsValues& v = working_.values;
    useProxy_->setChecked(v.useProxy != 0);
    (v.customProxy ? customProxy_ : systemProxy_)->setChecked(true);
    proxyType_->setCurrentIndex(v.proxyType);
    proxyServer_->setText(QString::fromStdString(v.proxyServer));
    proxyPort_->setText(v.proxyPort ? QString::number(v.proxyPort) : QString());
    httpVersion_->setCurrentIndex(v.httpVersion);
    sslVersion_->setCurrentIndex(v.sslVersion);
    timeout_->setValue(v.timeout);
    promptRecording_->setChecked(v.promptRecording != 0);
    startRecording_->setChecked(v.startRecording != 0);
}

void CSettingsDialog::enableFields() {
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

void CSettingsDialog::storeFields() {
    GlobalSettingsValues& v = working_.values;
    v.useProxy              = useProxy_->isChecked() ? 1 : 0;
    v.customProxy           = customProxy_->isChecked() ? 1 : 0;
    v.proxyType             = chosenIndex(proxyType_, v.proxyType);
    v.proxyServer           = proxyServer_->text().toStdString();
    v.proxyPort             = proxyPort_->text().toInt();
    v.httpVersion           = chosenIndex(httpVersion_, v.httpVersion);
    v.sslVersion            = chosenIndex(sslVersion_, v.sslVersion);
    v.timeout               = timeout_->value();
    v.promptRecording       = promptRecording_->isChecked() ? 1 : 0;
    v.startRecording        = startRecording_->isChecked() ? 1 : 0;
}

void CSettingsDialog::openAdvanced() {
    // The advanced dialog's enabling follows the proxy choices made here so far.
    storeFields();
    CAdvancedProxyDialog(working_, this).exec();
}

bool CSettingsDialog::refuse(const QString& message, QWidget* field) {
    QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), message);
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    if (auto* spin = qobject_cast<QSpinBox*>(field)) spin->selectAll();
    return false;
}

bool CSettingsDialog::fieldsAreValid() {
    bool isNumber     = false;
    const int timeout = timeout_->cleanText().toInt(&isNumber);
    if (!isNumber || timeout < kMinTimeout || timeout > kMaxTimeout)
        return refuse(
            tr("Please enter an integer between %1 and %2.").arg(kMinTimeout).arg(kMaxTimeout),
            timeout_);
    if (!useProxy_->isChecked() || !customProxy_->isChecked()) return true;
    if (proxyServer_->text().isEmpty())
        return refuse(tr("The server name cannot be empty."), proxyServer_);
    if (proxyPort_->text().toInt() == 0)
        return refuse(tr("The server port cannot be empty."), proxyPort_);
    if (proxyPort_->text().toInt() > kMaxPort)
        return refuse(tr("Please enter an integer between %1 and %2.").arg(1).arg(kMaxPort),
                      proxyPort_);
    return true;
}

} // namespace torvex
