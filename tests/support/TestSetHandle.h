#pragma once

#include "torvexcore.h"

#include "api/TestSet.h"

#include <memory>
#include <string>

namespace torvex::test {

struct TestSetDeleter {
    void operator()(void* ts) const { FreeTestSet(ts); }
};
// A test set from CreateTestSet, freed with FreeTestSet.
using TestSetHandle = std::unique_ptr<void, TestSetDeleter>;

inline CTestSet& internals(const TestSetHandle& ts) {
    return *static_cast<CTestSet*>(ts.get());
}

// The text report of the test set's last run.
inline std::string reportOf(const TestSetHandle& ts, void* summary = nullptr) {
    std::string text;
    SaveResults(
        ts.get(), &text,
        [](void* ctx, const char* piece) {
            static_cast<std::string*>(ctx)->append(piece);
            return 0;
        },
        summary);
    return text;
}

} // namespace torvex::test
