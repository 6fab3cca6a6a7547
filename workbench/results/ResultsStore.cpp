#include "results/ResultsStore.h"

#include <utility>

namespace torvex {

void CResultsStore::SetTitle(std::string title) {
    title_ = std::move(title);
}

const std::string& CResultsStore::GetTitle() const {
    return title_;
}

} // namespace torvex
