#pragma once

#include "app/ResizingFormView.h"

#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace torvex {

class CHexmillLEDoc;
class CMacroIPAddressCtrl;
class CRequest;
class CommittedNumberBox;

// The Editor view: the scenario's request list, the selected request's options and parameters,
// and the options of the whole scenario. Every change goes into the scenario at once and marks
// the document modified.
class CEditorFormView : public CResizingFormView {
    Q_OBJECT
public:
    explicit CEditorFormView(CHexmillLEDoc& document, QWidget* parent = nullptr);

    // Activation: refills the request list, then loads the scenario options.
    void RefreshView() override;
    // Deactivation: stores the scenario options.
    void DeactivateView() override;
    // A new or opened scenario: no current request, options reloaded, lists emptied.
    void ResetView() override;
    // Writes the scenario option controls into the scenario (Run Test does this first).
    void saveScenarioOptions();

    // The row of the request whose options are shown; -1 for none.
    int currentRow() const { return currentRow_; }

signals:
    // A change was stored into the scenario and the document marked modified.
    void documentModified();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a user may type into the text fields.
    static constexpr int kMaxNameLength      = 256;
    static constexpr int kMaxServerLength    = 1024;
    static constexpr int kMaxUserNameLength  = 256;
    static constexpr int kMaxPasswordLength  = 256;
    static constexpr int kMaxUserAgentLength = 1024;
    // Shows a stored value whole: a longer one from a file is not cut to what typing allows,
    // which would be written back at the next change.
    static void showStoredText(QLineEdit* field, const std::string& text, int typingLimit);
    enum class DelayField { kFrom, kTo };

    // Building the controls (EditorFormLayout.cpp).
    void buildControls();
    QWidget* createRequestsPane();
    QWidget* createRequestPane();
    QWidget* createScenarioPane();
    void connectControls();

    // The request list (EditorRequestList.cpp).
    void fillRequestList();
    void onRequestSelectionChanged();
    void loadRequest(QTreeWidgetItem* row);
    void rebuildUriChoices();
    void addRequest();
    void moveRequest(int step);
    void deleteRequests();
    void clearRequests();
    // The request of a row by its id; the caller holds the container's lock.
    CRequest* requestOf(const QTreeWidgetItem* row) const;
    // The row of the request the fields show (else the list's current row), or null.
    QTreeWidgetItem* markedRow() const;
    static void showRequestRow(QTreeWidgetItem* row, const CRequest& request);

    // Request options and parameters (EditorFormView.cpp).
    void applyRequestOptions();
    void onDelayChanged(DelayField which);
    void onDelayLeft(DelayField which);
    void setDelayText(DelayField which, int value, bool selectAll = false);
    void fillParameters(const CRequest& request);
    void addParameter();
    void editSelectedParameter();
    void deleteSelectedParameter();
    void fitParameterColumns();

    // Scenario options and enabling (EditorFormView.cpp).
    void onUseDelaysClicked();
    void onScenarioOptionChanged();
    void loadScenarioOptions();
    void updateEnabling();
    void resetRequestFields();
    void markModified();

    CHexmillLEDoc& document_;
    bool ready_        = false; // the initial update is done
    int loading_       = 0;     // > 0 while controls are filled from the model
    bool delayEditing_ = false; // a delay change handler is rewriting the fields
    int currentRow_    = -1;
    int currentId_     = 0; // the current request's id; 0 for none
    int lastFrom_      = 0; // the delays last applied to the request
    int lastTo_        = 0;

    QTreeWidget* requests_             = nullptr;
    QPushButton* addRequest_           = nullptr;
    QPushButton* deleteRequests_       = nullptr;
    QPushButton* clearRequests_        = nullptr;
    QPushButton* moveUp_               = nullptr;
    QPushButton* moveDown_             = nullptr;
    QLineEdit* name_                   = nullptr;
    QLineEdit* server_                 = nullptr;
    QComboBox* uri_                    = nullptr;
    QComboBox* method_                 = nullptr;
    QCheckBox* secure_                 = nullptr;
    CommittedNumberBox* delayFrom_     = nullptr;
    CommittedNumberBox* delayTo_       = nullptr;
    QTreeWidget* parameters_           = nullptr;
    QPushButton* addParameter_         = nullptr;
    QPushButton* editParameter_        = nullptr;
    QPushButton* deleteParameter_      = nullptr;
    QCheckBox* useDelays_              = nullptr;
    QCheckBox* keepAlive_              = nullptr;
    QCheckBox* basicAuth_              = nullptr;
    QLabel* userNameLabel_             = nullptr;
    QLineEdit* userName_               = nullptr;
    QLabel* passwordLabel_             = nullptr;
    QLineEdit* password_               = nullptr;
    QCheckBox* addForwardedFor_        = nullptr;
    CMacroIPAddressCtrl* forwardedFor_ = nullptr;
    QCheckBox* ignoreErrors_           = nullptr;
    QCheckBox* limitSpeed_             = nullptr;
    QComboBox* speed_                  = nullptr;
    QCheckBox* customUserAgent_        = nullptr;
    QComboBox* userAgent_              = nullptr;
};

} // namespace torvex
