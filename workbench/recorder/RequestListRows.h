#pragma once

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace torvex {

class CRequest;

// The request list of the Recorder and the Editor: one row per request with its name, URL, data
// and delay, the request id kept in the row.
QTreeWidgetItem* requestRow(const CRequest& request);
void showRequestRowTexts(QTreeWidgetItem* row, const CRequest& request);
int requestIdOf(const QTreeWidgetItem* row);
// "Name" 50, "URL" and "Data" 0.43 of the rest each, "Delay" 70.
void fitRequestListColumns(QTreeWidget* list);
// "Are you sure you want to clear the list of requests?"; true for Yes.
bool askToClearRequests(QWidget* parent);

} // namespace torvex
