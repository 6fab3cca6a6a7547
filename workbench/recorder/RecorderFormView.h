#pragma once

#include "app/ResizingFormView.h"
#include "recorder/CaptureNotifier.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWebEngineView;

namespace torvex {

class CHexmillLEDoc;
class CRequestRecorder;
class SplitterBar;

// The Recorder: an embedded browser above the scenario's request list. While recording is on,
// the pages the tester opens arrive in the list as requests; requests can be deleted or all
// cleared here. The split between browser and list is kept in the layout store.
class CRecorderFormView : public CResizingFormView {
    Q_OBJECT
public:
    CRecorderFormView(CHexmillLEDoc& document, CRequestRecorder& recorder,
                      QWidget* parent = nullptr);
    ~CRecorderFormView() override;

    void SaveLayout(const QString& section) override;
    void LoadLayout(const QString& section) override;
    void ResetView() override;
    void RefreshView() override;

    // Lists the scenario's requests anew, scrolled to the last one when asked.
    void refreshList(bool scrollToLast);
    // Opens `url` in the browser; an empty text opens about:blank.
    void navigate(const QString& url);
    QWebEngineView* browser() const { return browser_; }
    // Posts a list refresh to this view for every capture; safe to call on any thread.
    CCaptureNotifier& captureNotifier() { return notifier_; }
    // Where the browser pane ends and the splitter bar begins, in this view's coordinates.
    int split() const { return split_; }

signals:
    void documentModified();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PostedRefresh : public CCaptureNotifier {
    public:
        explicit PostedRefresh(CRecorderFormView& view) : view_(view) {}
        void OnRequestCaptured() override;

    private:
        CRecorderFormView& view_;
    };

    void buildControls();
    void arrangeControls();
    void connectControls();
    void connectBrowser();
    void onNavigationComplete();
    void updateDeleteEnabled();
    void deleteSelected();
    void clearRequests();
    void markModified();
    // Moves the split to `wanted` within its bounds and places pane, bar and list.
    void placeSplit(int wanted);

    CHexmillLEDoc& document_;
    CRequestRecorder& recorder_;
    PostedRefresh notifier_{*this};

    QLineEdit* url_;
    QPushButton* go_;
    QPushButton* back_;
    QPushButton* forward_;
    QPushButton* stop_;
    QWidget* area_; // pane, bar and list, placed by the split
    QWidget* pane_;
    QWebEngineView* browser_;
    SplitterBar* bar_;
    QTreeWidget* requests_;
    QPushButton* delete_;
    QPushButton* clear_;
    QLabel* status_;
    int split_       = -1;    // -1 until laid out or loaded
    bool areaPlaced_ = false; // the area had its first real size
};

} // namespace torvex
