// The Editor's request list: filling it, loading the selected request, and adding, moving,
// deleting and clearing requests. Every read or change of the requests holds the container's
// lock, so that a test run reading the scenario on its own thread sees each edit whole.
#include "editor/EditorFormView.h"
#include "model/Document.h"
#include "recorder/RequestListRows.h"
#include "runner/CommittedNumberBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <mutex>

namespace torvex {
namespace {

// The nodes in list order (pre-order), so that a row index names its node.
void collectNodes(std::vector<std::unique_ptr<CRequestsContainer::Node>>& nodes,
                  std::vector<CRequestsContainer::Node*>& order) {
    for (auto& node : nodes) {
        order.push_back(node.get());
        collectNodes(node->children, order);
    }
}

} // namespace

CRequest* CEditorFormView::requestOf(const QTreeWidgetItem* row) const {
    if (!row) return nullptr;
    return document_.scenario().requests.findById(requestIdOf(row));
}

QTreeWidgetItem* CEditorFormView::markedRow() const {
    // The row of the request the fields show: the keyboard can move the list's current item
    // (Ctrl+Up/Down) without loading another request, and edits must not reach a request that
    // is not on screen.
    for (int i = 0; currentId_ != 0 && i < requests_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = requests_->topLevelItem(i);
        if (requestIdOf(row) == currentId_) return row;
    }
    return requests_->currentItem();
}

void CEditorFormView::fillRequestList() {
    CRequestsContainer& requests = document_.scenario().requests;
    ++loading_; // the selection made here loads its request below, once
    requests_->clear();
    {
        std::lock_guard guard(requests);
        QList<QTreeWidgetItem*> rows;
        requests.forEach([&rows](const CRequest& request) { rows.append(requestRow(request)); });
        requests_->addTopLevelItems(rows);
        requests_->setFocus();
        if (!rows.isEmpty()) {
            if (currentRow_ < 0 || currentRow_ >= rows.size()) currentRow_ = 0;
            requests_->setCurrentItem(rows[currentRow_]);
        }
        --loading_;
        if (rows.isEmpty()) {
            currentId_ = 0;
        } else {
            loadRequest(rows[currentRow_]);
        }
    }
    rebuildUriChoices();
    updateEnabling();
    fitRequestListColumns(requests_);
}

void CEditorFormView::onRequestSelectionChanged() {
    if (loading_ > 0) return;
    if (QTreeWidgetItem* row = requests_->currentItem()) loadRequest(row);
    updateEnabling();
}

void CEditorFormView::loadRequest(QTreeWidgetItem* row) {
    std::lock_guard guard(document_.scenario().requests);
    const CRequest* request = requestOf(row);
    if (row->isSelected()) currentRow_ = requests_->indexOfTopLevelItem(row);
    if (!request) return;
    currentId_ = request->id;
    lastFrom_  = request->delayMin;
    lastTo_    = request->delayMax;

    ++loading_;
    showStoredText(name_, request->name, kMaxNameLength);
    secure_->setChecked(request->scheme == CRequest::kHttps);
    showStoredText(server_, request->server, kMaxServerLength);
    setDelayText(DelayField::kFrom, request->delayMin);
    setDelayText(DelayField::kTo, request->delayMax);
    method_->setCurrentIndex(request->method - 1);
    fillParameters(*request);
    --loading_;
    // Rebuilt for every load, so the choices never show another request's URI.
    rebuildUriChoices();
}

void CEditorFormView::rebuildUriChoices() {
    ++loading_;
    uri_->clear();
    {
        std::lock_guard guard(document_.scenario().requests);
        const CRequest* request =
            currentId_ ? document_.scenario().requests.findById(currentId_) : nullptr;
        if (request) {
            // The two dynamic entries take the URI from the previous response.
            const QString own = QString::fromStdString(request->uri);
            for (const QString& each : {own, QStringLiteral("$href()"), QStringLiteral("$action")})
                if (uri_->findText(each) < 0) uri_->addItem(each);
            uri_->setCurrentIndex(uri_->findText(own));
        }
    }
    --loading_;
}

void CEditorFormView::addRequest() {
    CRequestsContainer& requests = document_.scenario().requests;
    {
        std::lock_guard guard(requests);
        auto request    = std::make_unique<CRequest>();
        request->method = CRequest::kGet;
        // The counter may give a name a row already shows: draw again until it is free.
        const auto shown = [this](const std::string& name) {
            const QString text = QString::fromStdString(name);
            for (int row = 0; row < requests_->topLevelItemCount(); ++row)
                if (requests_->topLevelItem(row)->text(0) == text) return true;
            return false;
        };
        while (shown(request->name)) request->newId();
        currentId_ = request->id;
        requests.append(std::move(request));
        currentRow_ = requests.count() - 1;
    }
    fillRequestList();
    if (QTreeWidgetItem* row = requests_->topLevelItem(currentRow_)) requests_->scrollToItem(row);
    markModified();
}

void CEditorFormView::moveRequest(int step) {
    QTreeWidgetItem* marked = markedRow();
    if (!marked) return;
    const int row   = requests_->indexOfTopLevelItem(marked);
    const int other = row + step;
    {
        std::lock_guard guard(document_.scenario().requests);
        std::vector<CRequestsContainer::Node*> order;
        collectNodes(document_.scenario().requests.nodes(), order);
        if (other < 0 || other >= static_cast<int>(order.size()) ||
            row >= static_cast<int>(order.size()))
            return;
        // Children stay where they are; only the two requests change places.
        std::swap(order[static_cast<std::size_t>(row)]->request,
                  order[static_cast<std::size_t>(other)]->request);
        currentRow_ = other;
    }
    fillRequestList();
    markModified();
    if (QTreeWidgetItem* current = requests_->topLevelItem(currentRow_))
        requests_->scrollToItem(current);
}

void CEditorFormView::deleteRequests() {
    std::vector<int> rows;
    for (const QModelIndex& each : requests_->selectionModel()->selectedRows())
        rows.push_back(each.row());
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());

    CScenario& scenario = document_.scenario();
    {
        std::lock_guard guard(scenario.requests);
        for (int row : rows) {
            if (const CRequest* request = requestOf(requests_->topLevelItem(row)))
                scenario.removeRequest(request->id);
        }
        const int left = scenario.requests.count();
        currentRow_    = left > 0 ? std::min(rows.back(), left - 1) : -1;
        if (left == 0) currentId_ = 0;
    }
    fillRequestList();
    markModified();
    if (QTreeWidgetItem* selected = requests_->topLevelItem(currentRow_)) {
        requests_->scrollToItem(selected);
        requests_->setFocus();
    }
}

void CEditorFormView::clearRequests() {
    if (!askToClearRequests(this)) return;
    document_.scenario().clearRequests();
    fillRequestList();
    markModified();
}

// Rewrites the row's texts after its request changed in place.
void CEditorFormView::showRequestRow(QTreeWidgetItem* row, const CRequest& request) {
    showRequestRowTexts(row, request);
}

} // namespace torvex
