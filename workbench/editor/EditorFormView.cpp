#include "editor/EditorFormView.h"

#include "editor/DelayFieldRules.h"
#include "editor/MacroIPAddressCtrl.h"
#include "editor/ParameterDialog.h"
#include "model/Document.h"
#include "recorder/RequestListRows.h"
#include "runner/CommittedNumberBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <initializer_list>
#include <mutex>

namespace torvex {
namespace {

const QString kDefaultAddress = QStringLiteral("192.168.$C2.$C1");

// The first parameter of that name; requests may repeat a name.
std::vector<CReqParam>::iterator findParameter(CRequest& request, const QString& name) {
    const std::string wanted = name.toStdString();
    return std::find_if(request.params.begin(), request.params.end(),
                        [&wanted](const CReqParam& each) { return each.name == wanted; });
}

QTreeWidgetItem* selectedItem(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace

CEditorFormView::CEditorFormView(CHexmillLEDoc& document, QWidget* parent)
    : CResizingFormView(parent), document_(document) {
    buildControls();
    connectControls();
    // The initial update; edits are written back only from here on.
    fillRequestList();
    loadScenarioOptions();
    ready_ = true;
}

void CEditorFormView::RefreshView() {
    fillRequestList();
    loadScenarioOptions();
}

void CEditorFormView::DeactivateView() {
    saveScenarioOptions();
}

void CEditorFormView::ResetView() {
    ++loading_;
    currentId_  = 0;
    currentRow_ = -1;
    // The rows name requests of the scenario that was replaced.
    requests_->clear();
    loadScenarioOptions();
    uri_->clear();
    parameters_->clear();
    method_->setCurrentIndex(0);
    forwardedFor_->setText(kDefaultAddress);
    --loading_;
    updateEnabling();
}

void CEditorFormView::markModified() {
    document_.setModified();
    emit documentModified();
}

// ---- Request options

void CEditorFormView::applyRequestOptions() {
    if (!ready_ || loading_ > 0) return;
    QTreeWidgetItem* row = markedRow();
    if (!row) return;
    CScenario& scenario = document_.scenario();
    {
        std::lock_guard guard(scenario.requests);
        CRequest* request = requestOf(row);
        if (!request) return;
        // The sequences name requests: a renamed request keeps its places in them.
        const std::string name = name_->text().toStdString();
        if (name != request->name) {
            for (auto* sequence :
                 {&scenario.run.initialSeq, &scenario.run.mainSeq, &scenario.run.finalSeq})
                std::replace(sequence->begin(), sequence->end(), request->name, name);
        }
        lastFrom_ = delayOnLeave(delayFrom_->text().toStdString(), lastFrom_);
        lastTo_   = delayOnLeave(delayTo_->text().toStdString(), lastTo_);

        request->name     = name;
        request->uri      = uri_->currentText().toStdString();
        request->server   = server_->text().toStdString();
        request->useDelay = useDelays_->isChecked() ? 1 : 0;
        request->delayMin = lastFrom_;
        request->delayMax = lastTo_;
        request->scheme   = secure_->isChecked() ? CRequest::kHttps : CRequest::kHttp;
        request->method   = method_->currentIndex() + 1; // 0 when nothing is chosen
        showRequestRow(row, *request);
    }
    markModified();
}

void CEditorFormView::setDelayText(DelayField which, int value, bool selectAll) {
    CommittedNumberBox* box = which == DelayField::kFrom ? delayFrom_ : delayTo_;
    const bool editing      = delayEditing_;
    delayEditing_           = true;
    box->setValue(value);
    if (selectAll) box->selectAll();
    delayEditing_ = editing;
}

void CEditorFormView::onDelayChanged(DelayField which) {
    if (delayEditing_ || loading_ > 0 || !ready_) return;
    const bool from         = which == DelayField::kFrom;
    CommittedNumberBox* box = from ? delayFrom_ : delayTo_;
    const DelayCorrection corrected =
        delayOnChange(box->text().toStdString(), from ? lastFrom_ : lastTo_);
    if (box->text() != QString::number(corrected.value) || corrected.selectAll)
        setDelayText(which, corrected.value, corrected.selectAll);

    // The range stays ordered: the other bound follows the one being typed.
    const int fromValue = delayOnLeave(delayFrom_->text().toStdString(), lastFrom_);
    const int toValue   = delayOnLeave(delayTo_->text().toStdString(), lastTo_);
    if (from && toValue < fromValue) setDelayText(DelayField::kTo, fromValue);
    if (!from && fromValue > toValue) setDelayText(DelayField::kFrom, toValue);
    applyRequestOptions();
}

void CEditorFormView::onDelayLeft(DelayField which) {
    if (delayEditing_ || loading_ > 0 || !ready_) return;
    const bool from         = which == DelayField::kFrom;
    CommittedNumberBox* box = from ? delayFrom_ : delayTo_;
    const int last          = from ? lastFrom_ : lastTo_;
    const int value         = delayOnLeave(box->text().toStdString(), last);
    const bool corrected    = box->text() != QString::number(value);
    if (corrected) setDelayText(which, value);
    // Every change was applied as it was typed: only a correction is news.
    if (corrected || value != last) applyRequestOptions();
}

// ---- Parameters

void CEditorFormView::fillParameters(const CRequest& request) {
    parameters_->clear();
    QList<QTreeWidgetItem*> rows;
    for (const CReqParam& each : request.params) {
        rows.append(new QTreeWidgetItem(QStringList{
            QString::fromStdString(each.name), QString::fromStdString(each.valueText(true, "&"))}));
    }
    parameters_->addTopLevelItems(rows);
    fitParameterColumns();
}

void CEditorFormView::addParameter() {
    QTreeWidgetItem* row = markedRow();
    if (!row) return;
    {
        // Held while the dialog is open, so a test run never reads the request half-edited.
        std::lock_guard guard(document_.scenario().requests);
        CRequest* request = requestOf(row);
        if (!request) return;
        CReqParam parameter;
        parameter.components.emplace_back(); // one static text, empty
        if (!torvex::editParameter(parameter, this)) return;
        request->params.push_back(std::move(parameter));
    }
    applyRequestOptions();
    fillRequestList();
    markModified();
}

void CEditorFormView::editSelectedParameter() {
    QTreeWidgetItem* row       = markedRow();
    QTreeWidgetItem* parameter = selectedItem(parameters_);
    if (!row || !parameter) return;
    const int parameterRow = parameters_->indexOfTopLevelItem(parameter);
    {
        std::lock_guard guard(document_.scenario().requests);
        CRequest* request = requestOf(row);
        if (!request) return;
        const auto found = findParameter(*request, parameter->text(0));
        if (found == request->params.end()) return;
        if (!torvex::editParameter(*found, this)) return;
        ++loading_;
        fillParameters(*request);
        --loading_;
        if (QTreeWidgetItem* again = parameters_->topLevelItem(parameterRow))
            parameters_->setCurrentItem(again);
    }
    applyRequestOptions();
    markModified();
}

void CEditorFormView::deleteSelectedParameter() {
    QTreeWidgetItem* row       = markedRow();
    QTreeWidgetItem* parameter = selectedItem(parameters_);
    if (!row || !parameter) return;
    {
        std::lock_guard guard(document_.scenario().requests);
        CRequest* request = requestOf(row);
        if (!request) return;
        const auto found = findParameter(*request, parameter->text(0));
        if (found == request->params.end()) return;
        request->params.erase(found);
        delete parameter;
    }
    markModified();
    applyRequestOptions();
    updateEnabling();
}

void CEditorFormView::fitParameterColumns() {
    const int width     = parameters_->viewport()->width();
    QHeaderView* header = parameters_->header();
    header->resizeSection(0, std::max(0, width / 3 - 10));
    header->resizeSection(1, std::max(0, width * 2 / 3 - 10));
}

// ---- Scenario options

void CEditorFormView::onUseDelaysClicked() {
    if (!ready_) return;
    {
        // Captured requests start with delays off; the box turns them on for all at once.
        CRequestsContainer& requests = document_.scenario().requests;
        std::lock_guard guard(requests);
        const int on = useDelays_->isChecked() ? 1 : 0;
        requests.forEach([on](CRequest& request) { request.useDelay = on; });
    }
    saveScenarioOptions();
    markModified();
    updateEnabling();
}

void CEditorFormView::onScenarioOptionChanged() {
    updateEnabling();
    if (!ready_ || loading_ > 0) return;
    saveScenarioOptions();
    markModified();
}

void CEditorFormView::showStoredText(QLineEdit* field, const std::string& text, int typingLimit) {
    const QString shown = QString::fromStdString(text);
    field->setMaxLength(std::max(typingLimit, int(shown.size())));
    field->setText(shown);
}

void CEditorFormView::saveScenarioOptions() {
    if (!ready_) return;
    CGeneralSection& general = document_.scenario().general;
    general.ignoreErrors     = ignoreErrors_->isChecked() ? 1 : 0;
    general.keepAlive        = keepAlive_->isChecked() ? 1 : 0;
    general.addForwardedFor  = addForwardedFor_->isChecked() ? 1 : 0;
    general.customUserAgent  = customUserAgent_->isChecked() ? 1 : 0;
    general.userAgent        = userAgent_->currentText().toStdString();
    general.userName         = userName_->text().toStdString();
    general.password         = password_->text().toStdString();
    general.basicAuth        = basicAuth_->isChecked() ? 1 : 0;
    general.proxyMask        = forwardedFor_->text().toStdString();
    general.useDelays        = useDelays_->isChecked() ? 1 : 0;
    general.limitSpeed       = limitSpeed_->isChecked() ? 1 : 0;
    general.speed            = speed_->currentIndex() < 0 ? -1 : speed_->currentData().toInt();
}

void CEditorFormView::loadScenarioOptions() {
    const CGeneralSection& general = document_.scenario().general;
    ++loading_;
    ignoreErrors_->setChecked(general.ignoreErrors);
    keepAlive_->setChecked(general.keepAlive);
    addForwardedFor_->setChecked(general.addForwardedFor);
    customUserAgent_->setChecked(general.customUserAgent);
    showStoredText(userAgent_->lineEdit(), general.userAgent, kMaxUserAgentLength);
    showStoredText(userName_, general.userName, kMaxUserNameLength);
    showStoredText(password_, general.password, kMaxPasswordLength);
    basicAuth_->setChecked(general.basicAuth);
    forwardedFor_->setText(QString::fromStdString(general.proxyMask));
    useDelays_->setChecked(general.useDelays);
    limitSpeed_->setChecked(general.limitSpeed);
    speed_->setCurrentIndex(0);
    const int stored = speed_->findData(general.speed);
    if (stored >= 0) speed_->setCurrentIndex(stored);
    --loading_;
    rebuildUriChoices();
    updateEnabling();
}

// ---- Enabling

void CEditorFormView::updateEnabling() {
    userAgent_->setEnabled(customUserAgent_->isChecked());
    for (QWidget* each :
         std::initializer_list<QWidget*>{userNameLabel_, userName_, passwordLabel_, password_})
        each->setEnabled(basicAuth_->isChecked());
    forwardedFor_->setEnabled(addForwardedFor_->isChecked());
    speed_->setEnabled(limitSpeed_->isChecked());

    const int rows         = requests_->topLevelItemCount();
    const bool hasRows     = rows > 0;
    const bool anySelected = !requests_->selectedItems().isEmpty();
    deleteRequests_->setEnabled(anySelected);
    moveUp_->setEnabled(anySelected && !requests_->topLevelItem(0)->isSelected());
    moveDown_->setEnabled(anySelected && !requests_->topLevelItem(rows - 1)->isSelected());

    for (QWidget* each : std::initializer_list<QWidget*>{
             clearRequests_, name_, server_, uri_, secure_, method_, parameters_, addParameter_})
        each->setEnabled(hasRows);
    delayFrom_->setEnabled(hasRows && useDelays_->isChecked());
    delayTo_->setEnabled(hasRows && useDelays_->isChecked());
    const bool parameterSelected = hasRows && selectedItem(parameters_) != nullptr;
    editParameter_->setEnabled(parameterSelected);
    deleteParameter_->setEnabled(parameterSelected);
    if (!hasRows) resetRequestFields();
}

void CEditorFormView::resetRequestFields() {
    ++loading_;
    setDelayText(DelayField::kFrom, 0);
    setDelayText(DelayField::kTo, 0);
    server_->clear();
    uri_->clear();
    name_->clear();
    secure_->setChecked(false);
    parameters_->clear();
    --loading_;
    currentRow_ = -1;
    currentId_  = 0;
    lastFrom_   = 0;
    lastTo_     = 0;
}

bool CEditorFormView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == requests_->viewport()) {
        fitRequestListColumns(requests_);
    } else if (event->type() == QEvent::Resize && watched == parameters_->viewport()) {
        fitParameterColumns();
    } else if (event->type() == QEvent::KeyPress && watched == requests_ &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteRequests();
        return true;
    }
    return CResizingFormView::eventFilter(watched, event);
}

} // namespace torvex
