#include "run/UserResults.h"

namespace torvex {

void UserResults::prepare(Form storageForm, int entryCount, int iterationCount, bool withStamps) {
    form       = storageForm;
    entries    = entryCount;
    iterations = iterationCount;
    cells.clear();
    rows.clear();
    stamps.clear();
    aggregates.clear();
    scriptResults.clear();
    switch (form) {
    case Form::Detailed:
        cells.assign(static_cast<std::size_t>(entries) * static_cast<std::size_t>(iterations),
                     kNotExecuted);
        for (int entry = 0; entry < entries; ++entry)
            rows.push_back(cells.data() +
                           static_cast<std::size_t>(entry) * static_cast<std::size_t>(iterations));
        if (withStamps) stamps.assign(static_cast<std::size_t>(iterations), {});
        break;
    case Form::Aggregate:
        aggregates.assign(static_cast<std::size_t>(entries), {});
        break;
    case Form::Script:
        break;
    }
}

} // namespace torvex
