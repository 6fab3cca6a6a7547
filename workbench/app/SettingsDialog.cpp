#include "app/SettingsDialog.h"

#include "app/AdvancedProxyDialog.h"
#include "app/CheckedSpinBox.h"
#include "app/NamedWidget.h"
#include "app/ProxyFields.h"
#include "model/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

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
    connect(proxy_, &CProxyFields::advancedClicked, this, &CSettingsDialog::openAdvanced);
}

QGroupBox* CSettingsDialog::createProxyGroup() {
    proxy_       = new CProxyFields;
    auto* group  = new QGroupBox(tr("Proxy"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(proxy_);
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
    proxy_->showFields(v);
    httpVersion_->setCurrentIndex(v.httpVersion);
    sslVersion_->setCurrentIndex(v.sslVersion);
    timeout_->setValue(v.timeout);
    promptRecording_->setChecked(v.promptRecording != 0);
    startRecording_->setChecked(v.startRecording != 0);
}

void CSettingsDialog::storeFields() {
    GlobalSettingsValues& v = working_.values;
    proxy_->storeFields(v, CProxyFields::NoTypeChosen::KeepStored);
    v.httpVersion     = chosenIndex(httpVersion_, v.httpVersion);
    v.sslVersion      = chosenIndex(sslVersion_, v.sslVersion);
    v.timeout         = timeout_->value();
    v.promptRecording = promptRecording_->isChecked() ? 1 : 0;
    v.startRecording  = startRecording_->isChecked() ? 1 : 0;
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
    if (!proxy_->usesCustomProxy()) return true;
    QLineEdit* server = proxy_->proxyServer();
    QLineEdit* port   = proxy_->proxyPort();
    if (server->text().isEmpty()) return refuse(tr("The server name cannot be empty."), server);
    if (port->text().toInt() == 0) return refuse(tr("The server port cannot be empty."), port);
    if (port->text().toInt() > kMaxPort)
        return refuse(tr("Please enter an integer between %1 and %2.").arg(1).arg(kMaxPort), port);
    return true;
}

} // namespace torvex
