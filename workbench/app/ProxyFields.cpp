#include "app/ProxyFields.h"

#include "app/NamedWidget.h"
#include "wizards/SettingsSummary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <initializer_list>

namespace torvex {

CProxyFields::CProxyFields(QWidget* parent) : QWidget(parent) {
    useProxy_    = named(new QCheckBox(tr("&Use proxy server while performing test")), "useProxy");
    systemProxy_ = named(new QRadioButton(tr("Use syst&em proxy settings")), "systemProxy");
    customProxy_ = named(new QRadioButton(tr("Use &custom proxy settings")), "customProxy");
    proxyType_   = named(new QComboBox, "proxyType");
    for (const char* name : kProxyTypeNames) proxyType_->addItem(QString::fromUtf8(name));
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

    // No margins of its own: the controls line up as if they sat in the owner's layout.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(useProxy_);
    layout->addWidget(systemProxy_);
    layout->addWidget(customProxy_);
    layout->addLayout(customProxyForm_);

    connect(useProxy_, &QCheckBox::toggled, this, &CProxyFields::enableFields);
    connect(customProxy_, &QRadioButton::toggled, this, &CProxyFields::enableFields);
    connect(advanced_, &QPushButton::clicked, this, &CProxyFields::advancedClicked);
}

void CProxyFields::showFields(const GlobalSettingsValues& v) {
    useProxy_->setChecked(v.useProxy != 0);
    (v.customProxy ? customProxy_ : systemProxy_)->setChecked(true);
    proxyType_->setCurrentIndex(v.proxyType);
    proxyServer_->setText(QString::fromStdString(v.proxyServer));
    proxyPort_->setText(v.proxyPort ? QString::number(v.proxyPort) : QString());
    enableFields();
}

void CProxyFields::enableFields() {
    const bool useProxy = useProxy_->isChecked();
    const bool custom   = usesCustomProxy();
    systemProxy_->setEnabled(useProxy);
    customProxy_->setEnabled(useProxy);
    for (QWidget* field :
         std::initializer_list<QWidget*>{proxyType_, proxyServer_, proxyPort_, advanced_}) {
        field->setEnabled(custom);
        if (QWidget* label = customProxyForm_->labelForField(field)) label->setEnabled(custom);
    }
}

void CProxyFields::storeFields(GlobalSettingsValues& v, NoTypeChosen noType) const {
    const int type = proxyType_->currentIndex(); // -1 when none is chosen
    v.useProxy     = useProxy_->isChecked() ? 1 : 0;
    v.customProxy  = customProxy_->isChecked() ? 1 : 0;
    if (type >= 0 || noType == NoTypeChosen::StoreNone) v.proxyType = type;
    v.proxyServer = proxyServer_->text().toStdString();
    v.proxyPort   = proxyPort_->text().toInt();
}

bool CProxyFields::usesCustomProxy() const {
    return useProxy_->isChecked() && customProxy_->isChecked();
}

} // namespace torvex
