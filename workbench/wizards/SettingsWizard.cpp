#include "wizards/SettingsWizard.h"

#include "wizards/SettingsWizardPages.h"

#include <QAbstractButton>

namespace torvex {

CSettingsWizardDlg::CSettingsWizardDlg(CGlobalSettings& settings, SettingsStore& store,
                                       QWidget* parent)
    : QWizard(parent), settings_(settings), store_(store) {
    setObjectName(QStringLiteral("settingsWizard"));
    setWindowTitle(tr("Settings Wizard"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    // Wide enough for the longest page title on one line.
    setMinimumWidth(fontMetrics().averageCharWidth() * 110);

    setPage(WelcomePage, new CSettingsWelcomePage);
    setPage(ProxyPage, new CSettingsProxyPage(working_));
    setPage(ProtocolsPage, new CSettingsProtocolsPage(working_));
    setPage(FinishPage, new CSettingsFinishPage(working_));
    page(WelcomePage)->setObjectName(QStringLiteral("welcomePage"));
    page(ProxyPage)->setObjectName(QStringLiteral("proxyPage"));
    page(ProtocolsPage)->setObjectName(QStringLiteral("protocolsPage"));
    page(FinishPage)->setObjectName(QStringLiteral("finishPage"));

    // QWizard asks a page only before going forward; the Back button is routed through goBack so
    // that the proxy page can refuse to be left in that direction too.
    QAbstractButton* backButton = button(QWizard::BackButton);
    backButton->disconnect(this);
    connect(backButton, &QAbstractButton::clicked, this, &CSettingsWizardDlg::goBack);
}

void CSettingsWizardDlg::goBack() {
    auto* current = qobject_cast<CSettingsWizardPage*>(currentPage());
    if (current && !current->leave()) return;
    back();
}

void CSettingsWizardDlg::done(int result) {
    if (result == QDialog::Accepted) {
        if (!validateCurrentPage()) return;
        settings_.assignFrom(working_);
        settings_.save(store_); // a failed save keeps the values for this session only
    }
    QWizard::done(result);
}

} // namespace torvex
