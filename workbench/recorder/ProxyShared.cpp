#include "recorder/ProxyShared.h"

namespace torvex {

void ProxyShared::reportNavigation(const ProxiedNavigation& navigation) {
    if (!options_.onNavigation) return;
    std::lock_guard guard(callbackLock_);
    options_.onNavigation(navigation);
}

void ProxyShared::reportProblem(const std::string& problem) {
    if (!options_.onProblem) return;
    std::lock_guard guard(callbackLock_);
    options_.onProblem(problem);
}

} // namespace torvex
