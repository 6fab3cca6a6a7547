#pragma once

#include "model/GlobalSettings.h"

#include <QWizard>

namespace torvex {

class SettingsStore;

// "Settings Wizard": the global playback settings step by step, for a first start at which none
// could be loaded. The pages edit a working object that starts at the defaults, whatever
// `settings` holds. Finish commits it into `settings` and saves it to `store`; Cancel leaves both
// as they were.
class CSettingsWizardDlg : public QWizard {
    Q_OBJECT
public:
    // Page ids in the order the pages are shown.
    enum Page { WelcomePage, ProxyPage, ProtocolsPage, FinishPage };

    CSettingsWizardDlg(CGlobalSettings& settings, SettingsStore& store, QWidget* parent = nullptr);

    void done(int result) override;

private:
    // Back leaves the page as Next does: the page stores its fields and may refuse.
    void goBack();

    CGlobalSettings& settings_;
    SettingsStore& store_;
    CGlobalSettings working_;
};

} // namespace torvex
