#include "app/AdvancedProxyDialog.h"

#include "model/GlobalSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace torvex {
namespace {

constexpr int kSocks4 = 2; // the proxy type without password authentication

} // namespace

CAdvancedProxyDialog::CAdvancedProxyDialog(CGlobalSettings& working, QWidget* parent)
    : QDialog(parent), working_(working),
      useAuthentication_(new QCheckBox(tr("&Use authentication"))), user_(new QLineEdit),
      password_(new QLineEdit),
      bypassLocal_(new QCheckBox(tr("&Bypass proxy server for local addresses"))),
      exceptions_(new QPlainTextEdit) {
    setWindowTitle(tr("Advanced Proxy Settings"));
    useAuthentication_->setObjectName(QStringLiteral("useAuthentication"));
    user_->setObjectName(QStringLiteral("proxyUser"));
    password_->setObjectName(QStringLiteral("proxyPassword"));
    password_->setEchoMode(QLineEdit::Password);
    bypassLocal_->setObjectName(QStringLiteral("bypassLocal"));
    exceptions_->setObjectName(QStringLiteral("proxyExceptions"));
    exceptions_->setTabChangesFocus(true);

    auto* credentials = new QFormLayout;
    credentials->addRow(tr("U&ser:"), user_);
    credentials->addRow(tr("&Password:"), password_);

    auto* exceptionsLabel =
        new QLabel(tr("&Do not use proxy server for addresses beginning with:"));
    exceptionsLabel->setBuddy(exceptions_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAdvancedProxyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAdvancedProxyDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(useAuthentication_);
    layout->addLayout(credentials);
    layout->addWidget(bypassLocal_);
    layout->addWidget(exceptionsLabel);
    layout->addWidget(exceptions_);
    layout->addWidget(new QLabel(tr("Use semicolons ( ; ) to separate entries")));
    layout->addWidget(buttons);

    showFields();
    enableFields();
    connect(useAuthentication_, &QCheckBox::clicked, this, [this](bool checked) {
        user_->setEnabled(checked);
        password_->setEnabled(checked);
    });
}

void CAdvancedProxyDialog::accept() {
    if (!fieldsAreValid()) return;
    GlobalSettingsValues& v = working_.values;
    v.proxyAuth             = useAuthentication_->isChecked() ? 1 : 0;
    v.proxyUser             = user_->text().toStdString();
    v.proxyPassword         = password_->text().toStdString();
    v.bypassProxy           = bypassLocal_->isChecked() ? 1 : 0;
    v.proxyExceptions       = exceptions_->toPlainText().toStdString();
    QDialog::accept();
}

void CAdvancedProxyDialog::showFields() {
    const GlobalSettingsValues& v = working_.values;
    useAuthentication_->setChecked(v.proxyAuth != 0);
    user_->setText(QString::fromStdString(v.proxyUser));
    password_->setText(QString::fromStdString(v.proxyPassword));
    bypassLocal_->setChecked(v.bypassProxy != 0);
    exceptions_->setPlainText(QString::fromStdString(v.proxyExceptions));
}

void CAdvancedProxyDialog::enableFields() {
    const GlobalSettingsValues& v = working_.values;
    // SOCKS 4 knows no password authentication, whatever the stored switch says.
    const bool socks4 = v.proxyType == kSocks4;
    useAuthentication_->setEnabled(!socks4 && v.useProxy);
    user_->setEnabled(!socks4 && v.useProxy && v.proxyAuth);
    password_->setEnabled(user_->isEnabled());
}

bool CAdvancedProxyDialog::refuse(const QString& message, QLineEdit* field) {
    QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), message);
    field->setFocus();
    field->selectAll();
    return false;
}

bool CAdvancedProxyDialog::fieldsAreValid() {
    // Only credentials the tester can edit are checked: a disabled, checked box (SOCKS 4, or no
    // proxy) must not trap the dialog on a field that cannot be filled in.
    if (!useAuthentication_->isEnabled() || !useAuthentication_->isChecked()) return true;
    if (user_->text().isEmpty()) return refuse(tr("The user name cannot be empty."), user_);
    if (password_->text().isEmpty()) return refuse(tr("The password cannot be empty."), password_);
    return true;
}

} // namespace torvex
