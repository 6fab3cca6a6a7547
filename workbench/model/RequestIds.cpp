#include "model/RequestIds.h"

#include <atomic>

namespace torvex {
namespace {

std::atomic<int> counter{0};

} // namespace

int nextRequestId() {
    return counter.fetch_add(1) + 1;
}

void resetRequestIds() {
    counter.store(0);
}

int lastRequestId() {
    return counter.load();
}

void restoreRequestIds(int last) {
    counter.store(last);
}

} // namespace torvex
