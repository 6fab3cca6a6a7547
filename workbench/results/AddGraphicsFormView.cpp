#include "results/AddGraphicsFormView.h"

namespace torvex {

CAddGraphicsFormView::CAddGraphicsFormView(CResultsContainer& results, QWidget* parent)
    : CGraphFormView(results, tr("&Graph:"), "graphs", parent) {}

bool CAddGraphicsFormView::hasGraphs(const ResultsList& list) const {
    return hasBatchGraphs(list);
}

QStringList CAddGraphicsFormView::graphNames(const ResultsList&) const {
    QStringList names;
    for (const std::string& name : batchGraphNames()) names << QString::fromStdString(name);
    return names;
}

GraphChart CAddGraphicsFormView::chartOf(const ResultsList& list, int item) const {
    return batchGraphChart(list, item);
}

} // namespace torvex
