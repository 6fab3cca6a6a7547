#pragma once

#include "model/GlobalSettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace torvex {

// The proxy controls that the Settings dialog and the settings wizard's proxy page share: whether
// test runs use a proxy, the system's or a custom one, the custom proxy's type, server and port,
// and the button that asks for the Advanced Proxy Settings dialog.
class CProxyFields : public QWidget {
    Q_OBJECT
public:
    // What storeFields writes as the proxy type while no item of the list is chosen.
    enum class NoTypeChosen {
        KeepStored, // the type the values held before
        StoreNone,  // -1, for a validation that asks for a type
    };

    explicit CProxyFields(QWidget* parent = nullptr);

    // Shows `values` and enables the fields to match.
    void showFields(const GlobalSettingsValues& values);
    // Copies the fields into `values` without checking them.
    void storeFields(GlobalSettingsValues& values, NoTypeChosen noType) const;
    // Whether both the proxy and the custom proxy are switched on.
    bool usesCustomProxy() const;

    // The fields that a refusal puts the cursor into.
    QComboBox* proxyType() const { return proxyType_; }
    QLineEdit* proxyServer() const { return proxyServer_; }
    QLineEdit* proxyPort() const { return proxyPort_; }

signals:
    // "Advanced..." was clicked: the owner stores the choices made so far, which the advanced
    // dialog's enabling follows, and opens it on its working settings.
    void advancedClicked();

private:
    void enableFields();

    QCheckBox* useProxy_;
    QRadioButton* systemProxy_;
    QRadioButton* customProxy_;
    QFormLayout* customProxyForm_;
    QComboBox* proxyType_;
    QLineEdit* proxyServer_;
    QLineEdit* proxyPort_;
    QPushButton* advanced_;
};

} // namespace torvex
