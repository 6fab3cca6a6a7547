#pragma once

#include "model/GlobalSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace torvex {

class SettingsStore;

// "Settings": the tester's global settings, edited on a working copy. OK validates, commits the
// copy into `settings` and saves it to `store`; Cancel leaves both exactly as they were, including
// what the Advanced Proxy Settings dialog changed in the copy.
class CSettingsDialog : public QDialog {
    Q_OBJECT
public:
    CSettingsDialog(CGlobalSettings& settings, SettingsStore& store, QWidget* parent = nullptr);

    void accept() override;

private:
    QGroupBox* createProxyGroup();
    QGroupBox* createConnectionGroup();
    QGroupBox* createRecorderGroup();
    void showFields();
    void enableFields();
    // Copies the fields into the working copy without checking them.
    void storeFields();
    void openAdvanced();
    // Shows `message` and puts the cursor into `field`; always false, for `return refuse(...)`.
    bool refuse(const QString& message, QWidget* field);
    bool fieldsAreValid();

    CGlobalSettings& settings_;
    SettingsStore& store_;
    CGlobalSettings working_;

    QCheckBox* useProxy_;
    QRadioButton* systemProxy_;
    QRadioButton* customProxy_;
    QFormLayout* customProxyForm_;
    QComboBox* proxyType_;
    QLineEdit* proxyServer_;
    QLineEdit* proxyPort_;
    QPushButton* advanced_;
    QComboBox* httpVersion_;
    QComboBox* sslVersion_;
    QSpinBox* timeout_;
    QCheckBox* promptRecording_;
    QCheckBox* startRecording_;
};

} // namespace torvex
