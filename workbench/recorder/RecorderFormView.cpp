#include "recorder/RecorderFormView.h"

#include "app/LayoutStore.h"
#include "model/Document.h"
#include "recorder/EmbeddedBrowser.h"
#include "recorder/RequestListRows.h"
#include "recorder/RequestRecorder.h"
#include "recorder/SplitterBar.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <mutex>
#include <optional>

namespace torvex {
namespace {

constexpr int kMaxUrlLength = 1024;
// The split never goes above this many pixels minus the pane's top, and the list below it
// keeps at least kMinListHeight.
constexpr int kSplitFloor    = 150;
constexpr int kMinListHeight = 50;
const QString kLayoutSection = QStringLiteral("Recorder");
const QString kLastSplit     = QStringLiteral("LastSplit");

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* each = new QPushButton(text, parent);
    each->setObjectName(name);
    return each;
}

} // namespace

void CRecorderFormView::PostedRefresh::OnRequestCaptured() {
    CRecorderFormView* view = &view_;
    QMetaObject::invokeMethod(
        view, [view] { view->refreshList(true); }, Qt::QueuedConnection);
}

CRecorderFormView::CRecorderFormView(CHexmillLEDoc& document, CRequestRecorder& recorder,
                                     QWidget* parent)
    : CResizingFormView(parent), document_(document), recorder_(recorder) {
    buildControls();
    arrangeControls();
    connectControls();
    connectBrowser();
    EmbeddedBrowser::instance().attach(recorder_);
    refreshList(false);
    navigate(QString());
}

CRecorderFormView::~CRecorderFormView() {
    // No capture may post to this view once it is gone.
    EmbeddedBrowser::instance().detach(recorder_);
}

void CRecorderFormView::buildControls() {
    // The proxy and Chromium's flags must be in place before the first QtWebEngine object.
    EmbeddedBrowser& embedded = EmbeddedBrowser::instance();

    url_ = new QLineEdit(this);
    url_->setObjectName(QStringLiteral("url"));
    url_->setMaxLength(kMaxUrlLength);
    go_      = button(QStringLiteral("Go"), QStringLiteral("go"), this);
    back_    = button(QStringLiteral("&Back"), QStringLiteral("back"), this);
    forward_ = button(QStringLiteral("&Forward"), QStringLiteral("forward"), this);
    stop_    = button(QStringLiteral("&Stop"), QStringLiteral("stop"), this);
    go_->setDefault(true);

    area_    = new QWidget(this);
    pane_    = new QWidget(area_);
    browser_ = new QWebEngineView(pane_);
    browser_->setObjectName(QStringLiteral("browser"));
    browser_->setPage(embedded.createPage(browser_));
    auto* paneLayout = new QVBoxLayout(pane_);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->addWidget(browser_);
    bar_ = new SplitterBar(area_);

    requests_ = new QTreeWidget(area_);
    requests_->setObjectName(QStringLiteral("requests"));
    requests_->setRootIsDecorated(false);
    requests_->setSelectionBehavior(QAbstractItemView::SelectRows);
    requests_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    requests_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("URL"),
                                QStringLiteral("Data"), QStringLiteral("Delay")});
    requests_->header()->setStretchLastSection(false);

    delete_ = button(QStringLiteral("&Delete"), QStringLiteral("deleteRequests"), this);
    clear_  = button(QStringLiteral("&Clear"), QStringLiteral("clearRequests"), this);
    status_ = new QLabel(embedded.unavailableReason(), this);
    status_->setObjectName(QStringLiteral("status"));
    connect(&embedded, &EmbeddedBrowser::problemReported, status_, [this](const QString& text) {
        status_->setText(QStringLiteral("Recording proxy: %1").arg(text));
    });
}

void CRecorderFormView::arrangeControls() {
    auto* top = new QHBoxLayout;
    top->addWidget(url_, 1);
    for (QPushButton* each : {go_, back_, forward_, stop_}) top->addWidget(each);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(delete_);
    bottom->addWidget(clear_);
    bottom->addWidget(status_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(area_, 1);
    layout->addLayout(bottom);
}

void CRecorderFormView::connectControls() {
    area_->installEventFilter(this);
    requests_->installEventFilter(this);
    requests_->viewport()->installEventFilter(this);

    connect(go_, &QPushButton::clicked, this, [this] { navigate(url_->text()); });
    connect(url_, &QLineEdit::returnPressed, go_, &QPushButton::click);
    connect(back_, &QPushButton::clicked, browser_, &QWebEngineView::back);
    connect(forward_, &QPushButton::clicked, browser_, &QWebEngineView::forward);
    connect(stop_, &QPushButton::clicked, browser_, &QWebEngineView::stop);
    connect(delete_, &QPushButton::clicked, this, &CRecorderFormView::deleteSelected);
    connect(clear_, &QPushButton::clicked, this, &CRecorderFormView::clearRequests);
    connect(requests_, &QTreeWidget::itemSelectionChanged, this,
            &CRecorderFormView::updateDeleteEnabled);
    connect(bar_, &SplitterBar::dragFinished, this, [this](int top) {
        placeSplit(area_->y() + top);
        LayoutStore::writeNumber(kLayoutSection, kLastSplit, static_cast<std::uint32_t>(split_));
    });
}

void CRecorderFormView::connectBrowser() {
    // Back and Forward follow the browser's history, as its own actions do.
    const auto follow = [this](QWebEnginePage::WebAction command, QPushButton* target) {
        QAction* action = browser_->pageAction(command);
        target->setEnabled(action->isEnabled());
        connect(action, &QAction::changed, target,
                [action, target] { target->setEnabled(action->isEnabled()); });
    };
    follow(QWebEnginePage::Back, back_);
    follow(QWebEnginePage::Forward, forward_);
    connect(browser_, &QWebEngineView::urlChanged, this, &CRecorderFormView::onNavigationComplete);
    connect(browser_, &QWebEngineView::loadFinished, this,
            &CRecorderFormView::onNavigationComplete);
}

void CRecorderFormView::onNavigationComplete() {
    url_->setText(browser_->url().toString());
    if (recorder_.IsRecording()) markModified();
}

void CRecorderFormView::navigate(const QString& url) {
    const QString target = url.trimmed().isEmpty() ? QStringLiteral("about:blank") : url.trimmed();
    browser_->setUrl(QUrl::fromUserInput(target));
}

void CRecorderFormView::markModified() {
    document_.setModified();
    emit documentModified();
}

void CRecorderFormView::refreshList(bool scrollToLast) {
    requests_->setUpdatesEnabled(false);
    requests_->clear();
    QList<QTreeWidgetItem*> rows;
    {
        const CRequestsContainer& requests = document_.scenario().requests;
        std::lock_guard guard(requests);
        requests.forEach([&rows](const CRequest& request) { rows.append(requestRow(request)); });
    }
    requests_->addTopLevelItems(rows);
    clear_->setEnabled(!rows.isEmpty());
    updateDeleteEnabled();
    if (scrollToLast && !rows.isEmpty()) requests_->scrollToItem(rows.last());
    requests_->setUpdatesEnabled(true);
}

void CRecorderFormView::updateDeleteEnabled() {
    delete_->setEnabled(!requests_->selectedItems().isEmpty());
}

void CRecorderFormView::deleteSelected() {
    QList<int> rows;
    for (QTreeWidgetItem* each : requests_->selectedItems()) {
        rows.append(requests_->indexOfTopLevelItem(each));
    }
    if (rows.isEmpty()) return;
    std::sort(rows.begin(), rows.end());

    CScenario& scenario = document_.scenario();
    {
        std::lock_guard guard(scenario.requests);
        for (int row : std::as_const(rows)) {
            scenario.removeRequest(requestIdOf(requests_->topLevelItem(row)));
        }
    }
    markModified();
    refreshList(false);

    const int count = requests_->topLevelItemCount();
    if (count == 0) return;
    QTreeWidgetItem* next = requests_->topLevelItem(std::min(rows.last(), count - 1));
    requests_->setCurrentItem(next);
    requests_->setFocus();
    requests_->scrollToItem(next);
}

void CRecorderFormView::clearRequests() {
    if (!askToClearRequests(this)) return;
    document_.scenario().clearRequests();
    refreshList(false);
    markModified();
}

void CRecorderFormView::RefreshView() {
    refreshList(false);
    url_->selectAll();
}

void CRecorderFormView::ResetView() {
    navigate(QStringLiteral("about:blank"));
    refreshList(false);
}

void CRecorderFormView::SaveLayout(const QString& section) {
    if (split_ < 0) return; // never laid out: nothing worth keeping
    LayoutStore::writeNumber(section, kLastSplit, static_cast<std::uint32_t>(split_));
}

void CRecorderFormView::LoadLayout(const QString& section) {
    const std::optional<std::uint32_t> saved = LayoutStore::readNumber(section, kLastSplit);
    if (!saved) return;
    placeSplit(static_cast<int>(std::min<std::uint32_t>(*saved, 1u << 20)));
}

void CRecorderFormView::placeSplit(int wanted) {
    split_ = wanted;
    // Until the area has its first real size the wanted split waits; the bounds need it.
    if (!areaPlaced_) return;
    const QRect area  = area_->geometry();
    const int paneTop = area.top();
    int split         = std::max(wanted, kSplitFloor - paneTop);
    split  = std::min(split, area.top() + area.height() - bar_->height() - kMinListHeight);
    split_ = std::max(split, paneTop);

    const int paneHeight = split_ - paneTop;
    const int listTop    = paneHeight + bar_->height();
    pane_->setGeometry(0, 0, area.width(), paneHeight);
    bar_->setGeometry(0, paneHeight, area.width(), bar_->height());
    requests_->setGeometry(0, listTop, area.width(), std::max(0, area.height() - listTop));
}

bool CRecorderFormView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == area_) {
        areaPlaced_ = true;
        // Without a saved split the browser takes two thirds of the area.
        const QRect area = area_->geometry();
        placeSplit(split_ < 0 ? area.top() + area.height() * 2 / 3 : split_);
    } else if (event->type() == QEvent::Resize && watched == requests_->viewport()) {
        fitRequestListColumns(requests_);
    } else if (event->type() == QEvent::KeyPress && watched == requests_ &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteSelected();
        return true;
    }
    return CResizingFormView::eventFilter(watched, event);
}

} // namespace torvex
