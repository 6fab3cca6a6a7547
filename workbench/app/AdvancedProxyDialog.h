#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace torvex {

class CGlobalSettings;

// "Advanced Proxy Settings": proxy authentication, bypassing local addresses and the exception
// list, edited in the caller's working copy (the Settings dialog's or the settings wizard's). OK
// validates and leaves the values in the copy; Cancel leaves the copy as it was.
class CAdvancedProxyDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAdvancedProxyDialog(CGlobalSettings& working, QWidget* parent = nullptr);

    void accept() override;

private:
    void showFields();
    void enableFields();
    // Shows `message` and puts the cursor into `field`; always false, for `return refuse(...)`.
    bool refuse(const QString& message, QLineEdit* field);
    bool fieldsAreValid();

    CGlobalSettings& working_;
    QCheckBox* useAuthentication_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* bypassLocal_;
    QPlainTextEdit* exceptions_;
};

} // namespace torvex
