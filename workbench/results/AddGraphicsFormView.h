#pragma once

#include "results/GraphicsFormView.h"

namespace torvex {

class CResultsContainer;

// "Batch Run Graphs": six graphs of a batch against its variable (virtual users or iterations).
// Refreshed on activation, on changes of the results list and after the first finished run of a
// batch.
class CAddGraphicsFormView : public CGraphFormView {
    Q_OBJECT
public:
    explicit CAddGraphicsFormView(CResultsContainer& results, QWidget* parent = nullptr);

protected:
    bool hasGraphs(const ResultsList& list) const override;
    QStringList graphNames(const ResultsList& list) const override;
    GraphChart chartOf(const ResultsList& list, int item) const override;
};

} // namespace torvex
