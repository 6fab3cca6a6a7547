#pragma once

#include "model/GlobalSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QSpinBox;

namespace torvex {

class CProxyFields;
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
    // Copies the fields into the working copy without checking them.
    void storeFields();
    void openAdvanced();
    // Shows `message` and puts the cursor into `field`; always false, for `return refuse(...)`.
    bool refuse(const QString& message, QWidget* field);
    bool fieldsAreValid();

    CGlobalSettings& settings_;
    SettingsStore& store_;
    CGlobalSettings working_;

    CProxyFields* proxy_;
    QComboBox* httpVersion_;
    QComboBox* sslVersion_;
    QSpinBox* timeout_;
    QCheckBox* promptRecording_;
    QCheckBox* startRecording_;
};

} // namespace torvex
