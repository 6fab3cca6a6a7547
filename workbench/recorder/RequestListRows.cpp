#include "recorder/RequestListRows.h"

#include "model/Request.h"
#include "recorder/RequestRowTexts.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QTreeWidget>

#include <algorithm>

namespace torvex {
namespace {

constexpr int kRequestIdRole = Qt::UserRole;

} // namespace

QTreeWidgetItem* requestRow(const CRequest& request) {
    auto* row = new QTreeWidgetItem;
    showRequestRowTexts(row, request);
    row->setData(0, kRequestIdRole, request.id);
    return row;
}

void showRequestRowTexts(QTreeWidgetItem* row, const CRequest& request) {
    row->setText(0, QString::fromStdString(request.name));
    row->setText(1, QString::fromStdString(requestUrlText(request)));
    row->setText(2, QString::fromStdString(requestDataText(request)));
    row->setText(3, QString::fromStdString(requestDelayText(request)));
}

int requestIdOf(const QTreeWidgetItem* row) {
    return row->data(0, kRequestIdRole).toInt();
}

void fitRequestListColumns(QTreeWidget* list) {
    const int width     = list->viewport()->width();
    const int column    = std::max(0, static_cast<int>(0.43 * (width - 43)));
    QHeaderView* header = list->header();
    header->resizeSection(0, 50);
    header->resizeSection(1, column);
    header->resizeSection(2, column);
    header->resizeSection(3, 70);
}

bool askToClearRequests(QWidget* parent) {
    return QMessageBox::question(
               parent, QStringLiteral("Torvex"),
               QStringLiteral("Are you sure you want to clear the list of requests?"),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace torvex
