#pragma once

#include <QWizardPage>

class QComboBox;
class QPlainTextEdit;
class QSpinBox;

namespace torvex {

class CGlobalSettings;
class CProxyFields;

// A page of the settings wizard. Each page edits fields of the wizard's working settings.
class CSettingsWizardPage : public QWizardPage {
    Q_OBJECT
public:
    using QWizardPage::QWizardPage;

    // Called whenever the page is left, by Back as well as by Next: stores the page's fields into
    // the working settings. False keeps the page.
    virtual bool leave() { return true; }
    bool validatePage() override { return leave(); }
};

// Page 1: what the wizard is for.
class CSettingsWelcomePage : public CSettingsWizardPage {
    Q_OBJECT
public:
    explicit CSettingsWelcomePage(QWidget* parent = nullptr);
};

// Page 2: whether and how test runs go through a proxy.
class CSettingsProxyPage : public CSettingsWizardPage {
    Q_OBJECT
public:
    explicit CSettingsProxyPage(CGlobalSettings& working, QWidget* parent = nullptr);

    void initializePage() override;
    // Refuses to let a custom proxy go with a missing type, server, port or credentials.
    bool leave() override;

private:
    void storeFields();
    void openAdvanced();

    CGlobalSettings& working_;
    CProxyFields* proxy_;
};

// Page 3: HTTP and SSL versions and the response time-out.
class CSettingsProtocolsPage : public CSettingsWizardPage {
    Q_OBJECT
public:
    explicit CSettingsProtocolsPage(CGlobalSettings& working, QWidget* parent = nullptr);

    void initializePage() override;
    bool leave() override;

private:
    CGlobalSettings& working_;
    QComboBox* httpVersion_;
    QComboBox* sslVersion_;
    QSpinBox* timeout_;
};

// Page 4: a read-only overview of what Finish will store.
class CSettingsFinishPage : public CSettingsWizardPage {
    Q_OBJECT
public:
    explicit CSettingsFinishPage(CGlobalSettings& working, QWidget* parent = nullptr);

    void initializePage() override;

private:
    CGlobalSettings& working_;
    QPlainTextEdit* summary_;
};

} // namespace torvex
