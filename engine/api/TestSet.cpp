#include "api/TestSet.h"

#include "api/Options.h"
#include "run/TimingWindow.h"
#include "run/UserSession.h"

#include <atomic>

namespace torvex {

CTestSet::CTestSet() {
    registerOptions(*this);
}

CTestSet::~CTestSet() = default;

int CTestSet::abort() {
    int previous = abortflag.exchange(1);
    stopSignal.raise();
    return previous;
}

void CTestSet::storeRequestTarget(std::string_view host, int requestPort) {
    {
        std::lock_guard lock(targetMutex_);
        if (server.view() != host) server.set(host);
    }
    std::atomic_ref<int>(port).store(requestPort, std::memory_order_relaxed);
}

std::string CTestSet::requestServer() const {
    std::lock_guard lock(targetMutex_);
    return std::string(server.view());
}

int CTestSet::requestPort() const {
    return std::atomic_ref<int>(const_cast<int&>(port)).load(std::memory_order_relaxed);
}

} // namespace torvex
